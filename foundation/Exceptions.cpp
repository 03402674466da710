// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Exceptions.h"

#include <cerrno>
#include <cstring>

tException::tException(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}

QString SystemErrorText(int errnum) {
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not live in `buffer`.
    const char* text = strerror_r(errnum, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

QString LastSystemErrorText() {
    return SystemErrorText(errno);
}

QString DeviceGoneText(int errnum) {
    return QStringLiteral("device unplugged (%1)").arg(SystemErrorText(errnum));
}
