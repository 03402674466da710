// The program's own 24 × 24 toolbar and menu artwork, drawn once with QPainter.
// Each icon carries a normal, a hot (Active) and a disabled pixmap, so menus and tool buttons pick
// the right picture for the control's state without any owner drawing.
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
// Normal, hot and disabled pixmaps of icon `index`.
QIcon MainIcon(int index);
// The window and application icon (a chart curve on a board).
QIcon ApplicationIcon();
