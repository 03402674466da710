// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Framer.h"

#include <cstring>

#include "foundation/Appmessage.h"
#include "foundation/Commandline.h"
#include "foundation/Logfile.h"

// ---- shared by the procedures --------------------------------------------------------------------

int32_t PacketSizeForSpeed(int32_t speed) {
    const double n = static_cast<double>(speed) * 1.05 * 0.01;
    if (n <= 0.0) return 0;
    if (n >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(n);  // truncation toward zero
}

QString RawText(const uint8_t* data, int32_t size) {
    QString text;
    if (data == nullptr || size <= 0) return text;
    text.reserve(size);
    for (int32_t i = 0; i < size; ++i) text.append(QChar(static_cast<char16_t>(data[i])));
    return text;
}

bool LogMeasureOn() {
    return LogIsOn() && HasSwitch(QStringLiteral("LOG_MEASURE"));
}

void PaceReportedFailure(const tStopSignal& stop, std::chrono::steady_clock::time_point cycleStart,
                         uint32_t cycleMs) {
    const auto left = cycleStart + std::chrono::milliseconds(cycleMs) - std::chrono::steady_clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    if (ms > 0) stop.Wait(static_cast<int>(ms));
}

// ---- packet framer -------------------------------------------------------------------------------

namespace {
QString HexByte(uint8_t b) {
    return QStringLiteral("%1").arg(b, 2, 16, QChar(u'0')).toUpper();
}
}  // namespace

tPacketFramer::tPacketFramer(int32_t packetSize, int32_t failuresBeforeError)
    : FSize(packetSize), FFailuresBeforeError(failuresBeforeError) {}

tPacket tPacketFramer::Begin() {
    // A tail that fills the whole body leaves no room for this cycle's read; it cannot become a
    // whole value any more, so it is dropped instead of being carried forever.
    if (FTailSize > 0 && FTailSize >= FSize - 4) {
        LogAdd(QStringLiteral("Carried tail dropped: %1 bytes leave no room for the read").arg(FTailSize));
        FTailSize = 0;
        std::memset(FTail, 0, sizeof FTail);
    }
    tPacket packet;
    packet.Data = std::make_unique<uint8_t[]>(static_cast<size_t>(FSize));
    packet.Size = FSize;
    uint8_t* p = packet.Data.get();
    std::memset(p, 0xF7, static_cast<size_t>(FSize));
    p[0] = 0xFE;
    p[1] = FSequence;
    p[2] = 0xF0;
    std::memcpy(p + 3, FTail, static_cast<size_t>(FTailSize));
    std::memset(FTail, 0, sizeof FTail);
    p[FSize - 1] = 0xFF;
    return packet;
}

bool tPacketFramer::Finish(tPacket&& packet, int32_t bytesRead, bool ok,
                           const std::function<void(tPacket&&)>& queue) {
    uint8_t* p = packet.Data.get();
    if (!ok || bytesRead < 0) bytesRead = 0;
    if (bytesRead > Room()) bytesRead = Room();
    const bool dumps = LogMeasureOn();
    if (ok && dumps) {
        QString entry = QStringLiteral("\r\ntransfer_size=%1\r\nfooter_size=%2\r\nsize=%3\r\n")
                            .arg(bytesRead)
                            .arg(FTailSize)
                            .arg(FSize);
        for (int32_t i = 0; i < FTailSize + bytesRead; ++i)
            entry += QStringLiteral("0x") + HexByte(p[3 + i]) + u' ';
        entry += QStringLiteral("\r\n");
        LogAdd(entry);
    }
    if (!ok) LogAdd(QStringLiteral("ReadTimeout"));

    int32_t body = FTailSize + bytesRead;
    if (body == 0) {
        p[3] = 0xF4;
        body = 1;
    }
    // New tail: the bytes after the last boundary byte of the body.
    int32_t tail = 0;
    while (tail < body && !IsBoundaryByte(p[2 + body - tail])) ++tail;
    if (tail > 255) {
        // The tail count is 8 bits wide: a run this long holds no whole value, so it is dropped
        // (out of this packet too, which keeps only whole values).
        LogAdd(QStringLiteral("Carried tail dropped: %1 bytes without a value boundary").arg(tail));
        body -= tail;
        FTailSize = 0;
    } else {
        std::memcpy(FTail, p + 3 + body - tail, static_cast<size_t>(tail));
        body -= tail;
        FTailSize = tail;
        if (tail > 0 && dumps) {
            QString entry = QStringLiteral("_footer_size=%1\r\n").arg(tail);
            for (int32_t i = 0; i < tail; ++i) entry += QStringLiteral("0x") + HexByte(FTail[i]);
            entry += QStringLiteral("\r\n");
            LogAdd(entry);
        }
    }
    std::memset(p + 3 + body, 0xF7, static_cast<size_t>(FSize - 4 - body));

    bool posted = false;
    if (ok) {
        queue(std::move(packet));
        FFailures = 0;
    } else {
        LogAdd(QStringLiteral("Invalid data recv :") + RawText(p, body));
        packet = tPacket{};
        if (FFailures < INT32_MAX) ++FFailures;
        if (FFailures >= FFailuresBeforeError) {
            PostAppMessage(WM_DEVICE_READ_ERROR, 2, 0);
            posted = true;
        }
    }
    FSequence = static_cast<uint8_t>(FSequence + 1);
    return posted;
}
