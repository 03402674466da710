// SPDX-License-Identifier: GPL-3.0-or-later
// What our HID sensors, and the systems they run on, need beyond plain reports: the report ids,
// the meaning of the count byte, the report lengths that can carry anything, and Wine's short
// write count. The command exchange (devices/) and the streaming reception (measurement/) both
// take these rules from here, so a sensor quirk is changed in one place.
#pragma once

#include <QString>
#include <cstdint>

#include "platform/Hidport.h"

class tSettings;

struct tHidQuirks {
    uint8_t SendReportId = 2;  // byte 0 of every output report (setting HID_SendReportID)
    uint8_t RecvReportId = 1;  // byte 0 every input report must carry (setting HID_RecvReportID)
    bool RecvIdValid = true;   // false when the setting is no byte: then no report matches
    bool FixWine = true;       // correct Wine's write count (setting FixWine)

    // The rules in force for `settings` (null: the defaults). Cheap: read again for every report.
    static tHidQuirks FromSettings(const tSettings* settings);

    bool IsInputReport(uint8_t id) const { return RecvIdValid && id == RecvReportId; }

    // Wine's HID layer reports a completed write one byte short (the report id): the count that
    // really went out. Unchanged on a native system or with FixWine off.
    uint32_t WrittenCount(uint32_t reported) const;

    // Byte 1 of an input report counts its useful bytes; 255 stands for a full report.
    static constexpr uint8_t CountMeansFull = 255;
    // A full report of the command exchange: everything after the id and count bytes.
    static uint32_t ExchangeFullCount(int inputReportLength) {
        return static_cast<uint32_t>(inputReportLength - 2);
    }
    // A full report of the measurement stream always carries 62 bytes (the sensor's 64-byte report).
    static constexpr int32_t StreamFullCount = 62;

    // Report lengths (id byte included) that leave room for `header` bytes and one payload byte.
    static bool UsableLengths(int inputLength, int outputLength, int header) {
        return inputLength > header && outputLength > header;
    }
};

// The log line of a failed report transfer: `direction` ("Write" or "Read") + " Error: " + why.
void LogHidTransferFailure(const QString& direction, tHidPort::tIo io, const tHidPort& port);
