// Interim number-pattern formatter; replaced by the full implementation.
#include <QLocale>

#include "foundation/Functions.h"

QString FormatFloat(const QString& pattern, double value) {
    if (pattern.isEmpty()) return QString::number(value, 'g', 15).replace(u'.', DecimalSeparator());
    const qsizetype dot = pattern.indexOf(u'.');
    const int decimals = dot < 0 ? 0 : int(pattern.size() - dot - 1);
    return QString::number(value, 'f', decimals).replace(u'.', DecimalSeparator());
}
