// SPDX-License-Identifier: GPL-3.0-or-later
// Memory figures of the running benchmark from /proc/self/status, for the programs in bench/.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>

// The value of a kB line of /proc/self/status ("VmRSS:", "VmHWM:") in bytes; 0 when unknown.
inline int64_t ProcStatusBytes(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}
