// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Hiddescriptor.h"

#include <array>
#include <map>
#include <vector>

namespace {

// Item types and the tags that decide report sizes (HID 1.11, 6.2.2).
enum { TypeMain = 0, TypeGlobal = 1, TypeLocal = 2, TypeReserved = 3 };
enum { MainInput = 0x8, MainOutput = 0x9, MainFeature = 0xB };
enum {
    GlobalReportSize = 0x7,
    GlobalReportId = 0x8,
    GlobalReportCount = 0x9,
    GlobalPush = 0xA,
    GlobalPop = 0xB
};
constexpr uint8_t LongItemPrefix = 0xFE;

// The HID class limits a report to what a 16-bit length can say; Windows caps lengths the same.
constexpr uint64_t MaxReportBits = 0xFFFFull * 8;
// Deeper Push nesting is never seen in real devices; the limit keeps a hostile descriptor small.
constexpr size_t MaxPushDepth = 64;

struct tGlobals {
    uint32_t ReportSize = 0;
    uint32_t ReportCount = 0;
    uint32_t ReportId = 0;
};

}  // namespace

bool ParseHidReportLengths(const uint8_t* descriptor, size_t size, tHidReportLengths& out) {
    if (descriptor == nullptr || size == 0) return false;
    tGlobals globals;
    std::vector<tGlobals> stack;
    // Bits per report id and direction (0 input, 1 output, 2 feature); id 0 = no report ids.
    std::map<uint32_t, std::array<uint64_t, 3>> bits;
    bool anyId = false;
    size_t pos = 0;
    while (pos < size) {
        const uint8_t prefix = descriptor[pos];
        if (prefix == LongItemPrefix) {
            // Long item: prefix, data size, tag, data. No defined long item touches report sizes.
            if (size - pos < 3) return false;
            const size_t dataSize = descriptor[pos + 1];
            if (size - pos - 3 < dataSize) return false;
            pos += 3 + dataSize;
            continue;
        }
        const size_t dataSize = (prefix & 3) == 3 ? 4 : (prefix & 3);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        if (size - pos - 1 < dataSize) return false;
        uint32_t value = 0;
        for (size_t i = 0; i < dataSize; ++i) value |= uint32_t(descriptor[pos + 1 + i]) << (8 * i);
        pos += 1 + dataSize;

        if (type == TypeReserved) return false;
        if (type == TypeGlobal) {
            switch (tag) {
                case GlobalReportSize:
                    globals.ReportSize = value;
                    break;
                case GlobalReportCount:
                    globals.ReportCount = value;
                    break;
                case GlobalReportId:
                    // Id 0 is reserved: it is what "no report ids" sends on the wire.
                    if (value == 0 || value > 0xFF) return false;
                    globals.ReportId = value;
                    anyId = true;
                    break;
                case GlobalPush:
                    if (stack.size() >= MaxPushDepth) return false;
                    stack.push_back(globals);
                    break;
                case GlobalPop:
                    if (stack.empty()) return false;
                    globals = stack.back();
                    stack.pop_back();
                    break;
                default:
                    break;
            }
        } else if (type == TypeMain) {
            int direction = -1;
            if (tag == MainInput) direction = 0;
            if (tag == MainOutput) direction = 1;
            if (tag == MainFeature) direction = 2;
            if (direction < 0) continue;  // collections carry no data bits
            uint64_t& sum = bits[globals.ReportId][direction];
            sum += uint64_t(globals.ReportSize) * globals.ReportCount;
            if (sum > MaxReportBits) return false;
        }
        // Local items (usages, designators, strings) do not change the layout.
    }

    tHidReportLengths result;
    result.HasReportIds = anyId;
    int* lengths[3] = {&result.Input, &result.Output, &result.Feature};
    for (const auto& [id, sums] : bits) {
        for (int d = 0; d < 3; ++d) {
            if (sums[d] == 0) continue;
            const int bytes = int((sums[d] + 7) / 8) + 1;  // + the report id byte
            if (bytes > *lengths[d]) *lengths[d] = bytes;
        }
    }
    out = result;
    return true;
}
