// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Packet.h"

#include "foundation/Sharedrecord.h"

// ---- timings -------------------------------------------------------------------------------------

namespace {
tSharedRecord<tReceptionTimings> gTimings;
}  // namespace

tReceptionTimings tReceptionTimings::Get() {
    return gTimings.Get();
}

void tReceptionTimings::SetForTests(const tReceptionTimings& timings) {
    gTimings.Set(timings);
}

void tReceptionTimings::ResetForTests() {
    gTimings.Set(tReceptionTimings{});
}
