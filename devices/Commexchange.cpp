// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Commexchange.h"

#include <QCoreApplication>
#include <algorithm>

#include "devices/Devicetimings.h"
#include "devices/Ftdiport.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Settingkeys.h"
#include "foundation/Settings.h"
#include "foundation/Stringtable.h"

QString HexBytes(const uint8_t* data, uint32_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(static_cast<qsizetype>(n) * 5);
    for (uint32_t i = 0; i < n; ++i) {
        text += QStringLiteral("0x");
        text += QChar(kDigits[data[i] >> 4]);
        text += QChar(kDigits[data[i] & 0x0F]);
        text += u' ';
    }
    return text;
}

QString BinBytes(const uint8_t* data, uint32_t n) {
    return QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(n));
}

namespace {

bool WriteRequest(tCommPort& port, bool oneBytePerCall, const uint8_t* request, uint32_t length) {
    if (length == 0) return true;
    if (!oneBytePerCall) {
        uint32_t written = 0;
        return port.Write(request, length, written) && written == length;
    }
    // The hub reads its command byte by byte; the first short write ends the request.
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t written = 0;
        if (!port.Write(request + i, 1, written) || written != 1) return false;
    }
    return true;
}

}  // namespace

bool CommExchange(tCommPort& port, bool hubMode, const uint8_t* request, uint32_t length, int timeoutMs,
                  uint32_t replyLength, uint8_t* reply) {
    const uint32_t timeout = static_cast<uint32_t>(std::max(timeoutMs, 0));
    tCommTimeouts timeouts;
    port.GetTimeouts(timeouts);
    if (replyLength != 0 && timeouts.ReadTotalTimeoutConstant != timeout) {
        // Kept after the exchange: consecutive requests with the same time-out rewrite nothing.
        timeouts.ReadTotalTimeoutConstant = timeout;
        port.SetTimeouts(timeouts);
    }
    if (length != 0) {
        // A read-only request (the second identification step) must keep what already arrived.
        LogAdd(QStringLiteral("SEND: purge comm"));
        port.Purge(PURGE_TXCLEAR | PURGE_RXCLEAR);
    }
    const bool logging = LogIsOn();
    LogAdd(QStringLiteral("SEND: write bytes %1").arg(length));
    if (logging) {
        LogAdd(QStringLiteral("SEND: HEX ") + HexBytes(request, length));
        LogAdd(QStringLiteral("SEND: BIN '") + BinBytes(request, length) + u'\'');
    }
    const bool written = WriteRequest(port, hubMode || length == 0, request, length);
    if (written) LogAdd(QStringLiteral("SEND: request written"));
    LogAdd(QStringLiteral("RECV: try to read bytes %1").arg(replyLength));
    bool received = true;
    if (written && replyLength != 0) {
        uint32_t count = 0;
        received = port.Read(reply, replyLength, count) && count == replyLength;
        count = std::min(count, replyLength);  // a port never reports more than it was asked for
        LogAdd(QStringLiteral("RECV: read bytes %1").arg(count));
        if (logging) {
            LogAdd(QStringLiteral("RECV: HEX ") + HexBytes(reply, count));
            LogAdd(QStringLiteral("RECV: BIN '") + BinBytes(reply, count) + u'\'');
        }
    }
    LogAdd(QString());
    return written && received;
}

bool ConfigureCommPort(tCommPort& port, const tSettings* settings, const tCommOpenOptions& options,
                       tFtdiPort* ftdi) {
    port.SetRts(true);
    port.SetBreak(false);
    uint32_t status = 0;
    if (!port.GetModemStatus(status))
        throw tException(QCoreApplication::translate("Commexchange",
                                                     "Невозможно получить состояние устройства на порту: %1.")
                             .arg(options.DisplayName));
    // Single sensors hold carrier detect on; the hub leaves it off.
    bool hubMode = (status & MS_RLSD_ON) == 0;
    DeviceSleep(SettingInt(settings, setting::Timeout));
    if (options.ReadIgnoreCD && settings && SettingInt(settings, setting::IgnoreCD) != 0) hubMode = false;

    tCommState state;
    port.GetState(state);  // whatever it reports, the fields below are written in full
    state.BaudRate = hubMode ? HubSpeed : SingleSpeed;
    state.ByteSize = 8;
    state.Parity = 0;
    state.StopBits = 0;
    state.RtsControl = 1;
    if (!port.SetState(state))
        throw tException(FormatStr(msg::CannotSetDevice, options.DisplayName, port.LastErrorText()));

    if (options.FtdiUsbTuning && ftdi) {
        const int latency = SettingInt(settings, setting::Latency);
        const int inSize = SettingInt(settings, setting::InSize);
        const int outSize = SettingInt(settings, setting::OutSize);
        // The chip takes one byte of latency; larger values wrap as the vendor's call truncates them.
        ftdi->SetLatencyTimer(static_cast<uint8_t>(latency & 0xFF));
        ftdi->SetUsbParameters(static_cast<uint32_t>(inSize), static_cast<uint32_t>(outSize));
    }

    tCommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 500;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 500;
    if (!port.SetTimeouts(timeouts))
        throw tException(FormatStr(msg::CannotSetDevice, options.DisplayName, port.LastErrorText()));
    port.Purge(PURGE_TXCLEAR | PURGE_RXCLEAR);
    return hubMode;
}

void RestoreSingleSpeed(tCommPort& port) {
    tCommState state;
    port.GetState(state);
    state.BaudRate = SingleSpeed;
    state.RtsControl = 1;
    port.SetState(state);
}
