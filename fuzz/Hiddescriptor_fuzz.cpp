// SPDX-License-Identifier: GPL-3.0-or-later
// The HID report descriptor parser on any bytes: lengths a HID report can have, or false with the
// result untouched.
#include "fuzz/Fuzzsupport.h"
#include "platform/Hiddescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tHidReportLengths lengths;
    lengths.Input = -1;
    if (ParseHidReportLengths(data, size, lengths)) {
        FUZZ_CHECK(lengths.Input >= 0 && lengths.Output >= 0 && lengths.Feature >= 0);
    } else {
        FUZZ_CHECK(lengths.Input == -1);
    }
    return 0;
}
