// SPDX-License-Identifier: GPL-3.0-or-later
// The identity reply of a sensor on any bytes (any length, not only the 39 the protocol reads).
#include "devices/Device.h"
#include "foundation/Functions.h"
#include "fuzz/Fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const tDeviceInfo info = tDevice::ParseInfoReply(data, static_cast<uint32_t>(size));
    FUZZ_CHECK(!info.Name.contains(u','));
    StrToIntDef(info.SpeedText, 0);
    return 0;
}
