// SPDX-License-Identifier: GPL-3.0-or-later
// Streaming reception over tHidPort: the binary start protocol carried in reports, one packet per
// input report. The report ids, the count byte and the Wine correction follow platform/Hidquirks.h.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "foundation/Appmessage.h"
#include "foundation/Functions.h"
#include "foundation/Logfile.h"
#include "measurement/Reception.h"
#include "platform/Affinity.h"
#include "platform/Hidport.h"
#include "platform/Hidquirks.h"

void ReceiveHid(tReceptionContext& context) {
    // Counter readings of this thread are compared with the window's; a refusal only costs that.
    PinCurrentThreadToFirstProcessor();
    const tMeasureSetup& setup = context.Setup;
    const tHidQuirks& quirks = setup.HidQuirks;
    tHidPort& port = *setup.Hid;

    int inputLength = 0, outputLength = 0;
    switch (port.GetCaps(inputLength, outputLength)) {
        case tHidPort::NoPreparsedData:
            LogAdd(QStringLiteral("MEASURE: Unable to get HID preparsed data."));
            break;
        case tHidPort::NoCaps:
            LogAdd(QStringLiteral("Unable to get HID Device Capabilities"));
            break;
        case tHidPort::CapsOk:
            break;
    }
    // Without report lengths (or with reports too short for id, count and one byte) the start
    // report cannot be built: the start request counts as not written.
    if (!tHidQuirks::UsableLengths(inputLength, outputLength, 2)) {
        PostAppMessage(WM_DEVICE_WRITE_ERROR, 0, 0);
        return;
    }

    std::vector<uint8_t> output(static_cast<size_t>(outputLength), 0);
    std::vector<uint8_t> input(static_cast<size_t>(inputLength), 0);
    output[0] = quirks.SendReportId;
    output[1] = 'S';
    output[2] = 0x00;
    LogAdd(QStringLiteral("SEND: start report "));

    uint32_t written = 0;
    bool immediate = false;
    const tHidPort::tIo writeIo = port.WriteReport(output.data(), static_cast<uint32_t>(outputLength),
                                                   context.Timings.HidHandshakeMs, written, immediate);
    LogHidTransferFailure(QStringLiteral("Write"), writeIo, port);
    if (writeIo != tHidPort::IoDone) written = 0;
    written = quirks.WrittenCount(written);
    if (writeIo != tHidPort::IoDone || written != static_cast<uint32_t>(outputLength)) {
        PostAppMessage(WM_DEVICE_WRITE_ERROR, 0, 0);
        return;
    }
    LogAdd(QStringLiteral("SEND: start report written."));

    uint32_t got = 0;
    const tHidPort::tIo replyIo = port.ReadReport(input.data(), static_cast<uint32_t>(inputLength),
                                                  context.Timings.HidHandshakeMs, got, immediate, nullptr);
    LogHidTransferFailure(QStringLiteral("Read"), replyIo, port);
    if (replyIo != tHidPort::IoDone) got = 0;
    const uint32_t shown = std::min(got, static_cast<uint32_t>(inputLength));
    if (got != static_cast<uint32_t>(inputLength) || !quirks.IsInputReport(input[0]) || input[1] != 0x01 ||
        input[2] != 0x00) {
        PostAppMessage(WM_DEVICE_READ_ERROR, 1, 0);
        LogAdd(QStringLiteral("First read timeout :") + RawText(input.data(), static_cast<int32_t>(shown)));
        LogAdd(QStringLiteral("ERR Tranferred: %1").arg(got));
        LogAdd(QStringLiteral("ERR in[0]: %1").arg(input[0]));
        LogAdd(QStringLiteral("ERR in[1]: %1").arg(input[1]));
        LogAdd(QStringLiteral("ERR in[2]: %1").arg(input[2]));
        return;
    }

    const int32_t packetSize = PacketSizeForSpeed(setup.Speed);
    if (packetSize == 0) {
        PostAppMessage(WM_DEVICE_READ_ERROR, 1, 0);
        LogAdd(QStringLiteral("Speed is non zero"));
        return;
    }
    // A packet too small for its own frame would be written beyond its end.
    if (packetSize < kMinBinaryPacketSize || packetSize > kMaxPacketSize) {
        PostAppMessage(WM_DEVICE_READ_ERROR, 1, 0);
        LogAdd(QStringLiteral("Invalid packet size: %1").arg(packetSize));
        return;
    }

    tPacketFramer framer(packetSize, context.Timings.FailuresBeforeError);
    const int32_t reportData = inputLength - 2;
    while (!context.Terminated.load()) {
        const auto cycleStart = std::chrono::steady_clock::now();
        tPacket packet = framer.Begin();
        got = 0;
        const tHidPort::tIo io =
            port.ReadReport(input.data(), static_cast<uint32_t>(inputLength), context.Timings.HidReportWaitMs,
                            got, immediate, &context.StopEvent);
        if (io == tHidPort::IoStopped) {
            // The loop test ends the loop: RequestStop sets Terminated before the signal.
            LogAdd(QStringLiteral("Terminating..."));
            continue;
        }
        bool failed = io != tHidPort::IoDone;
        if (failed) LogHidTransferFailure(QStringLiteral("Read"), io, port);
        // Made on whatever the buffer holds, also after a failed read.
        if (!quirks.IsInputReport(input[0])) {
            LogAdd(QStringLiteral("First byte in report is 0x") +
                   QStringLiteral("%1").arg(input[0], 2, 16, QChar(u'0')).toUpper());
            failed = true;
        }
        int32_t count = 0;
        if (!failed) {
            count = input[1] == tHidQuirks::CountMeansFull ? tHidQuirks::StreamFullCount : input[1];
            // Both the packet and the report bound the copy.
            if (count > framer.Room() || count > reportData) {
                LogAdd(QStringLiteral("Too Many Data"));
                failed = true;
                count = 0;
            } else {
                std::memcpy(framer.ReadArea(packet), input.data() + 2, static_cast<size_t>(count));
            }
        }
        if (framer.Finish(std::move(packet), count, !failed, context.Queue))
            PaceReportedFailure(context.StopEvent, cycleStart, context.Timings.CycleReadMs);
    }
    port.Cancel();
}
