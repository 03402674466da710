// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Splitter.h"

#include <QKeyEvent>
#include <QPainter>
#include <QSplitterHandle>
#include <algorithm>

#include "components/Contrast.h"

namespace {
// A twentieth of the charts per press is fine enough to set and few enough presses to cross.
constexpr int kKeySteps = 20;
constexpr int kPageSteps = 5;

class tKeyHandle : public QSplitterHandle {
  public:
    tKeyHandle(Qt::Orientation orientation, TKeySplitter* parent)
        : QSplitterHandle(orientation, parent), FSplitter(parent) {
        setFocusPolicy(Qt::TabFocus);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool vertical = orientation() == Qt::Vertical;
        int delta = 0;
        switch (event->key()) {
            case Qt::Key_Up:
                delta = vertical ? -1 : 0;
                break;
            case Qt::Key_Down:
                delta = vertical ? 1 : 0;
                break;
            case Qt::Key_Left:
                delta = vertical ? 0 : -1;
                break;
            case Qt::Key_Right:
                delta = vertical ? 0 : 1;
                break;
            case Qt::Key_PageUp:
                delta = -kPageSteps;
                break;
            case Qt::Key_PageDown:
                delta = kPageSteps;
                break;
            default:
                break;
        }
        if (delta == 0) {
            QSplitterHandle::keyPressEvent(event);
            return;
        }
        FSplitter->MoveBorder(FSplitter->indexOf(this), delta);
        event->accept();
    }
    void focusInEvent(QFocusEvent* event) override {
        QSplitterHandle::focusInEvent(event);
        update();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QSplitterHandle::focusOutEvent(event);
        update();
    }
    void paintEvent(QPaintEvent* event) override {
        QSplitterHandle::paintEvent(event);
        if (!hasFocus()) return;
        // The whole border in the focus colour: it is thin, so all of it is the mark.
        QPainter painter(this);
        painter.fillRect(contentsRect(), FocusColour());
    }

  private:
    TKeySplitter* FSplitter;
};
}  // namespace

TKeySplitter::TKeySplitter(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {}

int TKeySplitter::KeyStep() const {
    const int length = orientation() == Qt::Vertical ? height() : width();
    return std::max(1, length / kKeySteps);
}

void TKeySplitter::MoveBorder(int index, int steps) {
    // Where the border starts: just past the part before it (the handle's own geometry may reach
    // over it by a pixel, to be easier to grab).
    const QWidget* before = index > 0 ? widget(index - 1) : nullptr;
    if (!before) return;
    const bool vertical = orientation() == Qt::Vertical;
    const int position = vertical ? before->geometry().bottom() + 1 : before->geometry().right() + 1;
    moveSplitter(closestLegalPosition(position + steps * KeyStep(), index), index);
}

QSplitterHandle* TKeySplitter::createHandle() {
    return new tKeyHandle(orientation(), this);
}
