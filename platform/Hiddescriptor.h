// SPDX-License-Identifier: GPL-3.0-or-later
// Report lengths of a HID device from its report descriptor, as the Windows HID capabilities give
// them: the longest report per direction in bytes plus one for the report id byte (also when the
// device uses no report ids, where that byte is 0). A pure function, safe on hostile input.
#pragma once

#include <cstddef>
#include <cstdint>

struct tHidReportLengths {
    int Input = 0;  // 0 when the device has no report of that direction
    int Output = 0;
    int Feature = 0;
    bool HasReportIds = false;
};

// Parses the short items of a report descriptor (long items are skipped). Never reads beyond
// `size`. Returns false for a malformed descriptor (truncated item, report id 0, Pop without
// Push, a report longer than a HID report can be); `out` is then left as it was.
bool ParseHidReportLengths(const uint8_t* descriptor, size_t size, tHidReportLengths& out);
