// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Hidquirks.h"

#include "foundation/Functions.h"
#include "foundation/Logfile.h"
#include "foundation/Settingkeys.h"

tHidQuirks tHidQuirks::FromSettings(const tSettings* settings) {
    tHidQuirks quirks;
    quirks.SendReportId = static_cast<uint8_t>(SettingInt(settings, setting::HidSendReportId) & 0xFF);
    // An id outside a byte can never match an input report; keep it out of reach.
    const int recv = SettingInt(settings, setting::HidRecvReportId);
    quirks.RecvReportId = static_cast<uint8_t>(recv & 0xFF);
    quirks.RecvIdValid = recv >= 0 && recv <= 0xFF;
    quirks.FixWine = SettingInt(settings, setting::FixWine) != 0;
    return quirks;
}

uint32_t tHidQuirks::WrittenCount(uint32_t reported) const {
    return IsWine() && FixWine ? reported + 1 : reported;
}

void LogHidTransferFailure(const QString& direction, tHidPort::tIo io, const tHidPort& port) {
    switch (io) {
        case tHidPort::IoTimeout:
            LogAdd(direction + QStringLiteral(" Error: Timeout"));
            break;
        case tHidPort::IoFailed:
            LogAdd(direction + QStringLiteral(" Error: ") + port.LastErrorText());
            break;
        case tHidPort::IoStopped:
            LogAdd(direction + QStringLiteral(" Error: Wait Error"));
            break;
        case tHidPort::IoDone:
            break;
    }
}
