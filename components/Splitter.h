// SPDX-License-Identifier: GPL-3.0-or-later
// TKeySplitter: a splitter whose borders a pupil can also move without a mouse. Tab reaches a
// border (never a click, so dragging shows no frame), the border then shows in the focus colour,
// and the arrow keys across the splitter move it by a twentieth of the splitter's length (Page Up
// and Page Down by a quarter). Each border is a grip to assistive technology; name it with
// handle(i)->setAccessibleName. MoveBorder moves one the same way for a menu or button, so that a
// pointer can also move it without dragging.
#pragma once

#include <QSplitter>

class TKeySplitter : public QSplitter {
  public:
    explicit TKeySplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    // How far one key press moves a border, in pixels (Page Up/Down: five times as far).
    int KeyStep() const;
    // Moves the border before the part at `index` by `steps` key steps (negative: up or left).
    void MoveBorder(int index, int steps);

  protected:
    QSplitterHandle* createHandle() override;
};
