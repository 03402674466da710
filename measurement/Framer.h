// SPDX-License-Identifier: GPL-3.0-or-later
// The packet framer of the binary stream, which the serial/FTDI and the HID receptions share, and the
// small helpers both use. Runs on the measurement thread only.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

#include "measurement/Packet.h"
#include "platform/Stopsignal.h"

// Packet size of the binary protocol for a stream speed: trunc(speed * 1.05 * 0.01).
int32_t PacketSizeForSpeed(int32_t speed);
// Smallest binary packet that holds the frame and one body byte; largest one a device may ask for.
constexpr int32_t kMinBinaryPacketSize = 5;
constexpr int32_t kMaxPacketSize = 1 << 20;

// A byte after which no value is open: low half 0xC..0xF, or high half 0xF.
inline bool IsBoundaryByte(uint8_t b) {
    return (b & 0x0C) == 0x0C || b >= 0xF0;
}

// Bytes as one character each (the log's "raw text" of device bytes).
QString RawText(const uint8_t* data, int32_t size);

// Frames the binary stream: 0xFE, sequence, 0xF0, carried tail + new bytes, 0xF7 filler, 0xFF.
// Carries the bytes after the last boundary byte to the next packet so that every queued packet
// holds whole values, and counts failed cycles in a row.
class tPacketFramer {
  public:
    tPacketFramer(int32_t packetSize, int32_t failuresBeforeError);

    // A fresh packet with the carried tail at offset 3.
    tPacket Begin();
    // Where this cycle's bytes go, and how many fit.
    uint8_t* ReadArea(tPacket& packet) const { return packet.Data.get() + 3 + FTailSize; }
    int32_t Room() const { return FSize - FTailSize - 4; }
    int32_t TailSize() const { return FTailSize; }
    uint8_t Sequence() const { return FSequence; }

    // Closes the cycle: `ok` false means nothing of this cycle counts (the tail stays carried).
    // Queues the packet through `queue` or discards it, posts the error after enough failures in a
    // row, and advances the sequence number. True when this cycle posted the error.
    bool Finish(tPacket&& packet, int32_t bytesRead, bool ok, const std::function<void(tPacket&&)>& queue);

  private:
    int32_t FSize;
    int32_t FFailuresBeforeError;
    uint8_t FSequence = 0;
    uint8_t FTail[1280] = {};
    int32_t FTailSize = 0;  // at most 255, and always below FSize - 4
    int32_t FFailures = 0;
};

// True when this cycle should build its LOG_MEASURE dumps (switch given and the log keeps lines).
bool LogMeasureOn();

// After a failed cycle has posted the read error, the rest of `cycleMs` from `cycleStart` is waited
// out (a stop ends the wait at once). A device that is gone fails every read at once: the error
// count is reached in moments, as it should, but the thread must not then spin and flood the
// window with the same error until it is stopped.
void PaceReportedFailure(const tStopSignal& stop, std::chrono::steady_clock::time_point cycleStart,
                         uint32_t cycleMs);
