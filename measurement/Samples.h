// SPDX-License-Identifier: GPL-3.0-or-later
// The consumer side of a measurement, independent of windows: packet frame check, the sample
// decoder, the channel sequences, the point builder and the elapsed-time text. Everything here runs
// on the user-interface thread; nothing is thread-safe by itself.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "measurement/Packet.h"

// 16 sequences of decoded values. Values are appended at the back and consumed from the front in
// amortised O(1): a consumed prefix is only skipped and compacted away once it is half the storage.
class tChannelValues {
  public:
    static constexpr int kChannels = 16;

    void Append(int channel, double value);
    int Count(int channel) const;
    // The oldest unconsumed value of a channel, and the i-th after it (i < Count).
    const double* Front(int channel) const;
    double At(int channel, int index) const { return Front(channel)[index]; }
    // Consumes up to n values from the front of a channel.
    void PopFront(int channel, int n);
    // Empties every channel and releases its storage.
    void Clear();

  private:
    struct tSequence {
        std::vector<double> Values;
        size_t Head = 0;
    };
    tSequence FChannels[kChannels];
};

// The values of a well-formed packet: false unless byte 0 is 0xFE and the last byte 0xFF; then
// bytes 2 to size-2, up to the first 0xF7, without the frame marks 0xF0..0xF3.
bool ExtractPacketBody(const uint8_t* data, int32_t size, std::vector<uint8_t>& body);

// Decodes one packet's body into `channels`; `currentChannel` follows the channel bytes across
// packets. Each packet starts with a fresh value: digits cut by the packet's end are dropped, and
// so is a value whose integer or fraction digits do not fit in 32 bits (it would be garbage).
// Returns true when 0xF6 (sensor removed) ended the packet; the caller posts WM_SENSOR_REMOVED.
bool DecodeSamples(const std::vector<uint8_t>& body, tChannelValues& channels, int& currentChannel);

struct tPoint {
    double x, y;
};

// Turns every `Average` values of channel 0 into one chart point.
class tPointBuilder {
  public:
    // freqUs: sampling period in microseconds; average below 1 behaves as 1.
    tPointBuilder(int32_t freqUs, int32_t average);
    int32_t Average() const { return FAverage; }
    // Strictly more than Average values wait on channel 0, so the newest value waits for its successor.
    bool HasPoint(const tChannelValues& channels) const;
    // The point with index `pointIndex` of the series: the mean of the Average oldest values (summed
    // in order from 0.0) at X = pointIndex * Freq * 1e-6 * Average seconds; consumes those values.
    tPoint Next(tChannelValues& channels, int pointIndex);

  private:
    int32_t FFreqUs;
    int32_t FAverage;
};

// Elapsed time "mm:ss.t" from tenths of a second (minutes grow to three digits: 100:00.0).
QString ElapsedText(uint32_t tenths);
// Tenths of a second between two counter readings at `frequency` ticks per second, truncated;
// 0 for a reading before the start or a frequency that is not positive.
uint32_t ElapsedTenths(int64_t now, int64_t start, int64_t frequency);

// The left axis for the first point of a run: with |yOffset| above 1e-6 the value sits at the
// fraction yOffset of the axis height and the axis keeps the span maxY - minY. False: leave the axis.
bool FirstPointAxis(double y, double yOffset, double minY, double maxY, double& lo, double& hi);

// Where the intake takes packets from (the connected device).
class tPacketSource {
  public:
    virtual ~tPacketSource() = default;
    virtual int GetPacketCount() = 0;
    // Moves the oldest packet into `out`; the empty packet when there is none.
    virtual void TakePacket(tPacket& out) = 0;
};

struct tIntakeResult {
    int Packets = 0;         // packets decoded
    bool Malformed = false;  // a packet with a wrong frame ended the intake: stop the measurement
    int SensorRemovals = 0;  // packets ended by 0xF6; WM_SENSOR_REMOVED was posted for each
};

// Step one of the measurement timer: reads the count once and decodes that many packets, stopping
// at a malformed packet (released unread) or at a take that yields no packet.
tIntakeResult TakePackets(tPacketSource& source, tChannelValues& channels, int& currentChannel);
