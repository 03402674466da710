// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Searchprogress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

// A box the user cannot close: it goes when the search is over.
class TfmSearchProgress : public QDialog {
  public:
    using QDialog::QDialog;
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

tSearchProgress::tSearchProgress(QWidget* owner) : FOwner(owner) {}

tSearchProgress::~tSearchProgress() {
    Done();
    delete FBox;
}

void tSearchProgress::Searching(const QString& sensorName) {
    // The searches hold the window for seconds (every port opened waits "Timeout" ms): the cursor
    // says so.
    if (!FBusy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        FBusy = true;
    }
    if (!FBox) {
        // Modal, it keeps clicks and keys off the window; the pump lets only painting and timers
        // through (user input waits until the search is over), so the window under it never shows
        // the image of a box that has closed.
        FBox = new TfmSearchProgress(FOwner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        FBox->setObjectName(QStringLiteral("fmSearchProgress"));
        FBox->setWindowTitle(tr("Подключение"));
        FBox->setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(FBox);
        FName = new QLabel(FBox);
        FName->setObjectName(QStringLiteral("lbSearching"));
        FSeconds = new QLabel(FBox);
        FSeconds->setObjectName(QStringLiteral("lbSeconds"));
        layout->addWidget(FName);
        layout->addWidget(FSeconds);
        FClock.start();
    }
    const QString name = tr("Поиск датчика %1...").arg(sensorName);
    if (FName->text() != name) {
        FName->setText(name);
        // Wide enough for the title and the longest sensor name without a cut.
        FBox->setMinimumWidth(std::max(FBox->fontMetrics().horizontalAdvance(FBox->windowTitle()) + 160,
                                       FName->sizeHint().width() + 80));
    }
    ShowSeconds();
    if (!FBox->isVisible()) {
        FBox->adjustSize();
        FBox->move(FOwner->geometry().center() - FBox->rect().center());
        FBox->show();
        FOwner->repaint();  // paints over whatever an earlier box left on the screen
    }
    Pump();
}

void tSearchProgress::Done() {
    if (FBusy) {
        QGuiApplication::restoreOverrideCursor();
        FBusy = false;
    }
    if (!FBox || !FBox->isVisible()) return;
    FBox->hide();
    FOwner->repaint();
    Pump();
}

void tSearchProgress::ShowSeconds() {
    const qint64 seconds = FClock.elapsed() / 1000;
    if (seconds == FShownSeconds) return;
    FShownSeconds = seconds;
    FSeconds->setText(tr("Прошло %1 с").arg(seconds));
}

void tSearchProgress::Pump() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
