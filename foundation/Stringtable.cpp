// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Stringtable.h"

#include <QCoreApplication>

QString FormatStr(int id, const QString& a1, const QString& a2) {
    QString text = LoadStr(id);
    qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0) {
        text.replace(at, 2, a1);
        at = text.indexOf(QStringLiteral("%s"), at + a1.size());
        if (at >= 0) text.replace(at, 2, a2);
    }
    return text;
}

QString ProductTitle() {
    return QCoreApplication::translate("Stringtable", "Ровелин для начальной школы");
}
