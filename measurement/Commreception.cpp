// SPDX-License-Identifier: GPL-3.0-or-later
// Streaming reception over tCommPort: the serial port and the FTDI chip run the same algorithm; the
// only differences are the FTDI library check and the read constants of the handshake.
#include <QByteArray>
#include <QCoreApplication>
#include <chrono>
#include <cstring>

#include "foundation/Appmessage.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "measurement/Reception.h"
#include "platform/Affinity.h"
#include "platform/Commport.h"

namespace {

// Sets the read time-outs used here (interval 0, multipliers 0, total constant) and writes them
// back only when the constant differs; the write constant keeps the port's value.
void SetReadConstant(tCommPort& port, uint32_t constantMs) {
    tCommTimeouts t;
    port.GetTimeouts(t);
    if (t.ReadTotalTimeoutConstant == constantMs) return;
    t.ReadIntervalTimeout = 0;
    t.ReadTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = constantMs;
    port.SetTimeouts(t);
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

QString HexDumpBytes(const uint8_t* data, int32_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(size * 3);
    for (int32_t i = 0; i < size; ++i) {
        text += QChar(kDigits[data[i] >> 4]);
        text += QChar(kDigits[data[i] & 0x0F]);
        text += u' ';
    }
    return text;
}

// The text reply without leading and trailing blanks and control characters (NUL padding too).
QString TrimReply(const uint8_t* data, int32_t size) {
    int32_t first = 0, last = size;
    while (first < last && data[first] <= 0x20) ++first;
    while (last > first && data[last - 1] <= 0x20) --last;
    return RawText(data + first, last - first);
}

// PACKET_SIZE=<decimal>; 0 for anything else.
int32_t PacketSizeFromReply(const QString& reply) {
    static const QString kPrefix = QStringLiteral("PACKET_SIZE=");
    if (!reply.startsWith(kPrefix)) return 0;
    bool ok = false;
    const int value = reply.mid(kPrefix.size()).toInt(&ok, 10);
    return ok ? value : 0;
}

// The system's reason for a failed read or write, before the lines the protocol logs for it.
void LogPortFailure(const QString& direction, const tCommPort& port) {
    LogAdd(direction + QStringLiteral(" Error: ") + port.LastErrorText());
}

void StreamBinary(tReceptionContext& context, tCommPort& port, int32_t packetSize) {
    tPacketFramer framer(packetSize, context.Timings.FailuresBeforeError);
    while (!context.Terminated.load()) {
        const auto cycleStart = std::chrono::steady_clock::now();
        tPacket packet = framer.Begin();
        uint32_t got = 0;
        const bool ok = port.Read(framer.ReadArea(packet), static_cast<uint32_t>(framer.Room()), got);
        if (!ok) LogPortFailure(QStringLiteral("Read"), port);
        if (framer.Finish(std::move(packet), static_cast<int32_t>(got), ok, context.Queue))
            PaceReportedFailure(context.StopEvent, cycleStart, context.Timings.CycleReadMs);
    }
}

void StreamText(tReceptionContext& context, tCommPort& port, int32_t packetSize) {
    while (!context.Terminated.load()) {
        const auto cycleStart = std::chrono::steady_clock::now();
        tPacket packet;
        packet.Data = std::make_unique<uint8_t[]>(static_cast<size_t>(packetSize));  // zero-filled
        packet.Size = packetSize;
        uint32_t got = 0;
        const bool ok = port.Read(packet.Data.get(), static_cast<uint32_t>(packetSize), got);
        if (ok && got == static_cast<uint32_t>(packetSize)) {
            if (LogIsOn()) {
                LogAdd(QStringLiteral("RECV PACKET :size=%1\r\n").arg(packetSize) +
                       HexDumpBytes(packet.Data.get(), packetSize));
                LogAdd(QStringLiteral("\r\n"));
            }
            context.Queue(std::move(packet));
        } else {
            const int32_t shown =
                static_cast<int32_t>(std::min<uint32_t>(got, static_cast<uint32_t>(packetSize)));
            if (!ok) LogPortFailure(QStringLiteral("Read"), port);
            LogAdd(QStringLiteral("RECV PACKET: ReadTimeout"));
            LogAdd(QStringLiteral("Invalid data recv :") + RawText(packet.Data.get(), shown));
            packet = tPacket{};
            PostAppMessage(WM_DEVICE_READ_ERROR, 2, 0);
            PaceReportedFailure(context.StopEvent, cycleStart, context.Timings.CycleReadMs);
        }
    }
}

}  // namespace

void ReceiveComm(tReceptionContext& context, bool ftdi) {
    // Counter readings of this thread are compared with the window's; a refusal only costs that.
    PinCurrentThreadToFirstProcessor();
    const tMeasureSetup& setup = context.Setup;
    if (ftdi && !setup.FtdiLoaded)
        throw tException(QCoreApplication::translate(
            "Commreception", "??? Thread: Библиотека доступа через интерфейс FTDI не загружена!"));
    tCommPort& port = *setup.Comm;
    const bool binary = setup.Speed != 0;

    SetReadConstant(port, ftdi && binary ? context.Timings.FtdiStartReadMs : context.Timings.StartReadMs);

    QByteArray request = QByteArrayLiteral("START ") + QByteArray::number(setup.StartParameter) + "\r\n";
    if (binary) request = QByteArray(1, request.at(0)) + QByteArray(1, '\0');
    port.Purge(PURGE_TXCLEAR | PURGE_RXCLEAR);
    for (char c : request) {
        const uint8_t byte = static_cast<uint8_t>(c);
        uint32_t written = 0;
        const bool ok = port.Write(&byte, 1, written);
        if (!ok || written != 1) {
            PostAppMessage(WM_DEVICE_WRITE_ERROR, 0, 0);
            if (!ok) LogPortFailure(QStringLiteral("Write"), port);
            return;
        }
    }

    uint8_t reply[39] = {};
    const uint32_t wanted = binary ? 1 : sizeof reply;
    uint32_t got = 0;
    const bool readOk = port.Read(reply, wanted, got);
    const auto replyAt = std::chrono::steady_clock::now();
    if (got > wanted) got = wanted;
    const bool accepted = readOk && got == wanted && (!binary || reply[0] == 0x00);
    if (!accepted) {
        PostAppMessage(WM_DEVICE_READ_ERROR, 1, 0);
        if (!readOk) LogPortFailure(QStringLiteral("Read"), port);
        LogAdd(QStringLiteral("First read timeout :") + RawText(reply, static_cast<int32_t>(got)));
        return;
    }

    int32_t packetSize = 0;
    if (binary) {
        // The sensor streams from its reply on, and the receive purge below drops whatever it sent
        // meanwhile: between the reply and the purge there is only the speed switch. The log lines
        // of this step are written after the purge (a log write can take longer than a sample).
        tCommState state;
        auto start = std::chrono::steady_clock::now();
        port.GetState(state);
        const double getMs = MillisecondsSince(start);
        state.BaudRate = static_cast<uint32_t>(setup.Speed);
        state.RtsControl = 1;  // enable: RTS held on
        start = std::chrono::steady_clock::now();
        port.SetState(state);
        const double setMs = MillisecondsSince(start);
        port.Purge(PURGE_RXCLEAR);
        const double windowMs = MillisecondsSince(replyAt);
        packetSize = PacketSizeForSpeed(setup.Speed);
        LogAdd(QStringLiteral("GetCommState: ") + QString::number(getMs, 'f', 4));
        LogAdd(QStringLiteral("SetCommState: ") + QString::number(setMs, 'f', 4));
        LogAdd(QStringLiteral("Start reply to purge: ") + QString::number(windowMs, 'f', 4));
        if (!ftdi) SetReadConstant(port, context.Timings.CycleReadMs);
    } else {
        const QString text = TrimReply(reply, static_cast<int32_t>(got));
        LogAdd(QStringLiteral("RECV START: ") + text);
        packetSize = PacketSizeFromReply(text);
    }

    // Besides 0, sizes that cannot hold a frame (a negative reply, a binary packet too small for
    // its frame bytes) or that would have every cycle allocate absurd amounts are start failures.
    const int32_t smallest = binary ? kMinBinaryPacketSize : 1;
    if (packetSize < smallest || packetSize > kMaxPacketSize) {
        PostAppMessage(WM_DEVICE_READ_ERROR, 1, 0);
        LogAdd(QStringLiteral("Invalid first response :") + RawText(reply, static_cast<int32_t>(got)));
        return;
    }

    if (binary)
        StreamBinary(context, port, packetSize);
    else
        StreamText(context, port, packetSize);

    tCommTimeouts t;
    port.GetTimeouts(t);
    t.ReadIntervalTimeout = 0;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = context.Timings.RestoreReadMs;
    t.WriteTotalTimeoutMultiplier = 0;
    port.SetTimeouts(t);
}
