// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own toolbar and menu artwork, drawn with QPainter on a 24 × 24 canvas and painted
// afresh at the device pixels a control needs, so it stays sharp on scaled screens.
// Each icon has a normal, a hot (Active) and a disabled picture, so menus and tool buttons pick
// the right one for the control's state without any owner drawing.
#pragma once

#include <QIcon>
#include <QPixmap>

enum tIconIndex : int {
    icExit = 0,
    icAbout = 1,
    icConnect = 2,
    icChoose = 3,
    icStop = 4,
    icStart = 5,
    icMark = 6,
    icExport = 7,
    icPrint = 8,
    icAddImage = 9,
    icCount = 10,
};

// The normal picture of icon `index` (0..9); a null pixmap outside that range.
QPixmap DrawIconPixmap(int index);
// Icon `index`, painted at the size and screen scale asked for; hot and disabled are tinted.
QIcon MainIcon(int index);
// The window and application icon: the same artwork as the installed icon (packaging/rovelin.svg).
QIcon ApplicationIcon();
