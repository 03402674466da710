// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Samples.h"

#include <cmath>
#include <limits>

#include "foundation/Appmessage.h"

// ---- channel sequences ---------------------------------------------------------------------------

void tChannelValues::Append(int channel, double value) {
    FChannels[channel & 0x0F].Values.push_back(value);
}

int tChannelValues::Count(int channel) const {
    const tSequence& s = FChannels[channel & 0x0F];
    return static_cast<int>(s.Values.size() - s.Head);
}

const double* tChannelValues::Front(int channel) const {
    const tSequence& s = FChannels[channel & 0x0F];
    return s.Values.data() + s.Head;
}

void tChannelValues::PopFront(int channel, int n) {
    if (n <= 0) return;
    tSequence& s = FChannels[channel & 0x0F];
    s.Head += std::min(static_cast<size_t>(n), s.Values.size() - s.Head);
    if (s.Head == s.Values.size()) {
        s.Values.clear();  // keeps the capacity for the next values
        s.Head = 0;
    } else if (s.Head * 2 >= s.Values.size()) {
        // The moved rest is no longer than what was consumed since the last compaction.
        s.Values.erase(s.Values.begin(), s.Values.begin() + static_cast<std::ptrdiff_t>(s.Head));
        s.Head = 0;
    }
}

void tChannelValues::Clear() {
    for (tSequence& s : FChannels) {
        std::vector<double>().swap(s.Values);
        s.Head = 0;
    }
}

// ---- packet body ---------------------------------------------------------------------------------

bool ExtractPacketBody(const uint8_t* data, int32_t size, std::vector<uint8_t>& body) {
    body.clear();
    if (data == nullptr || size < 2 || data[0] != 0xFE || data[size - 1] != 0xFF) return false;
    // Written through a pointer into storage sized for the worst case: this runs for every byte.
    body.resize(static_cast<size_t>(size));
    uint8_t* out = body.data();
    for (int32_t i = 2; i <= size - 2; ++i) {
        const uint8_t b = data[i];
        if (b == 0xF7) break;
        if (b >= 0xF0 && b <= 0xF3) continue;
        *out++ = b;
    }
    body.resize(static_cast<size_t>(out - body.data()));
    return true;
}

// ---- decoder -------------------------------------------------------------------------------------

namespace {

constexpr int64_t kDigitLimit = std::numeric_limits<int32_t>::max();

// 10^n for up to ten fraction digits (all a 32-bit fraction holds); more digits are possible only
// with leading zeros and take pow.
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};

inline double PowerOfTen(int32_t n) {
    return n < 11 ? kPowersOfTen[n] : std::pow(10.0, n);
}

struct tValueState {
    bool Negative = false;
    bool Fraction = false;
    bool Overflow = false;  // digits beyond 32 bits: the value is dropped at its end
    int64_t Integer = 0;
    int64_t FractionPart = 0;
    int32_t FractionDigits = 0;
};

// Feeds one 4-bit symbol; true when it ended a value (then `value` is set unless it overflowed).
inline bool Feed(tValueState& s, uint8_t symbol, double& value, bool& keep) {
    if (symbol <= 9) {
        if (s.Overflow) return false;
        int64_t& part = s.Fraction ? s.FractionPart : s.Integer;
        part = part * 10 + symbol;
        if (s.Fraction) ++s.FractionDigits;
        if (part > kDigitLimit) s.Overflow = true;
        return false;
    }
    switch (symbol) {
        case 0xA:
            s.Negative = true;
            return false;
        case 0xE:
            s.Negative = false;
            return false;
        case 0xB:
            s.Fraction = true;
            return false;
        case 0xC: {
            keep = !s.Overflow;
            if (keep) {
                const double v = static_cast<double>(s.FractionPart) / PowerOfTen(s.FractionDigits) +
                                 static_cast<double>(s.Integer);
                value = s.Negative ? -v : v;
            }
            s = tValueState{};
            return true;
        }
        default:  // 0xD, 0xF: nothing
            return false;
    }
}

}  // namespace

bool DecodeSamples(const std::vector<uint8_t>& body, tChannelValues& channels, int& currentChannel) {
    tValueState state;
    for (const uint8_t b : body) {
        if (b >= 0xF0) {
            if (b == 0xF6) return true;
            if (b == 0xF7) return false;
            continue;
        }
        if (b >= 0xD0 && b <= 0xDF) {
            currentChannel = b & 0x0F;
            state = tValueState{};
            continue;
        }
        double value = 0.0;
        bool keep = false;
        if (Feed(state, b >> 4, value, keep)) {
            // A value ended in the high half: the low half of this byte is not looked at.
            if (keep) channels.Append(currentChannel, value);
            continue;
        }
        if (Feed(state, b & 0x0F, value, keep) && keep) channels.Append(currentChannel, value);
    }
    return false;
}

// ---- points --------------------------------------------------------------------------------------

tPointBuilder::tPointBuilder(int32_t freqUs, int32_t average)
    : FFreqUs(freqUs), FAverage(average < 1 ? 1 : average) {}

bool tPointBuilder::HasPoint(const tChannelValues& channels) const {
    return channels.Count(0) > FAverage;
}

tPoint tPointBuilder::Next(tChannelValues& channels, int pointIndex) {
    const double* values = channels.Front(0);
    double sum = 0.0;
    for (int32_t i = 0; i < FAverage; ++i) sum += values[i];
    tPoint point;
    point.x = static_cast<double>(pointIndex) * FFreqUs * 0.000001 * FAverage;
    point.y = sum / FAverage;
    channels.PopFront(0, FAverage);
    return point;
}

// ---- elapsed time and axis -----------------------------------------------------------------------

QString ElapsedText(uint32_t tenths) {
    return QString::asprintf("%.2d:%.2d.%1d", static_cast<int>(tenths / 600),
                             static_cast<int>((tenths % 600) / 10), static_cast<int>(tenths % 10));
}

uint32_t ElapsedTenths(int64_t now, int64_t start, int64_t frequency) {
    if (frequency <= 0 || now <= start) return 0;
    const double t = static_cast<double>(now - start) * 10.0 / static_cast<double>(frequency);
    if (t >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(t);
}

bool FirstPointAxis(double y, double yOffset, double minY, double maxY, double& lo, double& hi) {
    if (!(std::fabs(yOffset) > 0.000001)) return false;
    const double range = maxY - minY;
    lo = y - yOffset * range;
    hi = y + (1.0 - yOffset) * range;
    return true;
}

// ---- intake --------------------------------------------------------------------------------------

tIntakeResult TakePackets(tPacketSource& source, tChannelValues& channels, int& currentChannel) {
    tIntakeResult result;
    const int n = source.GetPacketCount();
    std::vector<uint8_t> body;
    for (int i = 0; i < n; ++i) {
        tPacket packet;
        source.TakePacket(packet);
        // Only this thread takes packets, so a missing one means the queue went away: nothing to do.
        if (!packet.Data) break;
        if (!ExtractPacketBody(packet.Data.get(), packet.Size, body)) {
            result.Malformed = true;
            break;
        }
        if (DecodeSamples(body, channels, currentChannel)) {
            ++result.SensorRemovals;
            PostAppMessage(WM_SENSOR_REMOVED, 0, 0);
        }
        ++result.Packets;
    }
    return result;
}
