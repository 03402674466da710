// SPDX-License-Identifier: GPL-3.0-or-later
// Readable failure output for Qt texts in GoogleTest messages.
#pragma once

#include <QString>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
