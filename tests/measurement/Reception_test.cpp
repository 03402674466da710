// SPDX-License-Identifier: GPL-3.0-or-later
// Streaming reception over scripted serial/FTDI and HID ports, through the real thread object.
#include "measurement/Reception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "foundation/Commandline.h"
#include "foundation/Functions.h"
#include "measurement/Samples.h"
#include "tests/measurement/Fakes.h"

namespace {

constexpr int32_t kSpeed9600 = 9600;  // N = 100

class ReceptionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gLogFile = &Log;
        SetCommandLine({});
        SetWineProbeForTests([] { return false; });
        tReceptionTimings::ResetForTests();
    }
    void TearDown() override {
        gLogFile = nullptr;
        SetWineProbeForTests(nullptr);
        tReceptionTimings::ResetForTests();
    }

    std::vector<tPacket> Run(tMeasureSetup setup) {
        tMeasureThread thread(setup);
        if (setup.Comm != nullptr) static_cast<tFakeComm*>(setup.Comm)->Owner = &thread;
        if (setup.Hid != nullptr) static_cast<tFakeHid*>(setup.Hid)->Owner = &thread;
        thread.WaitFor();
        std::vector<tPacket> out;
        while (thread.GetPacketCount() > 0) {
            tPacket p;
            thread.PopPacket(p);
            out.push_back(std::move(p));
        }
        return out;
    }
    std::vector<tPacket> RunSerial(tFakeComm& port, int32_t speed,
                                   tTransport transport = tTransport::Serial) {
        tMeasureSetup setup;
        setup.Transport = transport;
        setup.Speed = speed;
        setup.Comm = &port;
        setup.DeviceNumber = 7;
        return Run(setup);
    }
    std::vector<tPacket> RunHid(tFakeHid& port, int32_t speed = 115200, bool fixWine = true) {
        tMeasureSetup setup;
        setup.Transport = tTransport::Hid;
        setup.Speed = speed;
        setup.Hid = &port;
        setup.HidQuirks.FixWine = fixWine;
        return Run(setup);
    }

    tCaptureLog Log;
    tMessageCapture Messages;
};

// The body as framed: from offset 3 up to the first filler byte.
tBytes Body(const tPacket& p) {
    tBytes body;
    for (int32_t i = 3; i < p.Size - 1 && p.Data[i] != 0xF7; ++i) body.push_back(p.Data[i]);
    return body;
}

void ExpectFrame(const tPacket& p, int32_t size, uint8_t sequence) {
    ASSERT_EQ(p.Size, size);
    EXPECT_EQ(p.Data[0], 0xFE);
    EXPECT_EQ(p.Data[1], sequence);
    EXPECT_EQ(p.Data[2], 0xF0);
    EXPECT_EQ(p.Data[size - 1], 0xFF);
    // Everything after the body up to the end mark is filler.
    int32_t i = 3 + static_cast<int32_t>(Body(p).size());
    for (; i < size - 1; ++i) ASSERT_EQ(p.Data[i], 0xF7) << "offset " << i;
}

void BinaryScript(tFakeComm& port, std::vector<tCommRead> cycles) {
    port.Reads.push_back({true, {0x00}});
    for (auto& c : cycles) port.Reads.push_back(std::move(c));
}

tBytes Report(uint8_t id, uint8_t count, const tBytes& data, int length = 64) {
    tBytes r(static_cast<size_t>(length), 0);
    r[0] = id;
    r[1] = count;
    std::copy(data.begin(), data.end(), r.begin() + 2);
    return r;
}

void HidScript(tFakeHid& port, std::vector<tHidRead> cycles) {
    port.Reads.push_back({tHidPort::IoDone, Report(0x01, 0x01, {0x00})});
    for (auto& c : cycles) port.Reads.push_back(std::move(c));
}

}  // namespace

// ---- binary protocol: framing and the carried tail -----------------------------------------------

TEST_F(ReceptionTest, CycleEndingInsideAValueCarriesTheUnfinishedBytes) {
    tFakeComm port;
    BinaryScript(port, {{true, {0x12, 0x3C, 0xD1, 0x45}}, {true, {0x6C}}});
    auto packets = RunSerial(port, kSpeed9600);
    ASSERT_EQ(packets.size(), 2u);
    ExpectFrame(packets[0], 100, 0);
    EXPECT_EQ(Body(packets[0]), (tBytes{0x12, 0x3C}));
    ExpectFrame(packets[1], 100, 1);
    EXPECT_EQ(Body(packets[1]), (tBytes{0xD1, 0x45, 0x6C}));
    // The second cycle reads into the room after the carried tail.
    EXPECT_EQ(port.ReadSizes[1], 96u);
    EXPECT_EQ(port.ReadSizes[2], 94u);

    // Each packet decodes by itself into whole values.
    tChannelValues channels;
    int channel = 0;
    std::vector<uint8_t> body;
    for (const tPacket& p : packets) {
        ASSERT_TRUE(ExtractPacketBody(p.Data.get(), p.Size, body));
        DecodeSamples(body, channels, channel);
    }
    ASSERT_EQ(channels.Count(0), 1);
    EXPECT_DOUBLE_EQ(channels.At(0, 0), 123.0);
    ASSERT_EQ(channels.Count(1), 1);
    EXPECT_DOUBLE_EQ(channels.At(1, 0), 456.0);
    EXPECT_EQ(Messages.Count(WM_DEVICE_DATA), 2);
    EXPECT_TRUE(Messages.Errors().empty());
}

TEST_F(ReceptionTest, EmptyCycleWithoutTailQueuesTheNoDataByte) {
    tFakeComm port;
    BinaryScript(port, {{true, {}}});
    auto packets = RunSerial(port, kSpeed9600);
    ASSERT_EQ(packets.size(), 1u);
    ExpectFrame(packets[0], 100, 0);
    EXPECT_EQ(Body(packets[0]), (tBytes{0xF4}));
}

TEST_F(ReceptionTest, CycleWithoutBoundaryCarriesEverythingAndQueuesEmptyBody) {
    tFakeComm port;
    BinaryScript(port, {{true, {0xD2, 0x11, 0x22}}, {true, {}}, {true, {0x3C}}});
    auto packets = RunSerial(port, kSpeed9600);
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_TRUE(Body(packets[0]).empty());
    // Still no boundary: carried once more.
    EXPECT_TRUE(Body(packets[1]).empty());
    EXPECT_EQ(Body(packets[2]), (tBytes{0xD2, 0x11, 0x22, 0x3C}));
}

TEST_F(ReceptionTest, SequenceWrapsAndAdvancesOverDiscardedCycles) {
    std::vector<tCommRead> cycles(258, tCommRead{true, {0x1C}});
    cycles[5].Ok = false;
    tFakeComm port;
    BinaryScript(port, cycles);
    auto packets = RunSerial(port, kSpeed9600);
    ASSERT_EQ(packets.size(), 257u);
    EXPECT_EQ(packets[4].Data[1], 4);
    EXPECT_EQ(packets[5].Data[1], 6);  // cycle 5 was discarded
    EXPECT_EQ(packets[254].Data[1], 255);
    EXPECT_EQ(packets[255].Data[1], 0);
    EXPECT_EQ(packets[256].Data[1], 1);
}

TEST_F(ReceptionTest, FailedReadKeepsTheTailAndLogsTheDiscard) {
    tFakeComm port;
    BinaryScript(port, {{true, {0x1C, 0xD1, 0x45}}, {false, {0x99}}, {true, {0x6C}}});
    auto packets = RunSerial(port, kSpeed9600);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(Body(packets[0]), (tBytes{0x1C}));
    EXPECT_EQ(Body(packets[1]), (tBytes{0xD1, 0x45, 0x6C}));
    EXPECT_EQ(packets[1].Data[1], 2);
    EXPECT_TRUE(Log.Has(QStringLiteral("ReadTimeout")));
    // B is 0 after the tail is cut again: the discard line shows no bytes.
    EXPECT_TRUE(Log.Has(QStringLiteral("Invalid data recv :")));
    EXPECT_TRUE(Messages.Errors().empty());
}

TEST_F(ReceptionTest, OverlongRunWithoutBoundaryIsDroppedNotCarried) {
    // 115200 gives N = 1209: room for 300 bytes that never close a value.
    tFakeComm port;
    BinaryScript(port, {{true, tBytes(300, 0x11)}, {true, {0x2C}}});
    auto packets = RunSerial(port, 115200);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].Size, 1209);
    EXPECT_TRUE(Body(packets[0]).empty());
    EXPECT_EQ(Body(packets[1]), (tBytes{0x2C}));
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("Carried tail dropped: 300")), 1);
}

TEST_F(ReceptionTest, TailFillingTheWholeBodyIsDroppedBeforeTheNextRead) {
    tFakeComm port;
    BinaryScript(port, {{true, tBytes(96, 0x11)}, {true, {0x2C}}});
    auto packets = RunSerial(port, kSpeed9600);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_TRUE(Body(packets[0]).empty());
    EXPECT_EQ(Body(packets[1]), (tBytes{0x2C}));
    EXPECT_EQ(port.ReadSizes[2], 96u);  // the full room again
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("Carried tail dropped: 96")), 1);
}

// ---- binary protocol: consecutive failures -------------------------------------------------------

TEST_F(ReceptionTest, NoErrorAfter299FailuresInARow) {
    tFakeComm port;
    BinaryScript(port, std::vector<tCommRead>(299, tCommRead{false, {}}));
    RunSerial(port, kSpeed9600);
    EXPECT_TRUE(Messages.Errors().empty());
    EXPECT_EQ(Log.Count(QStringLiteral("ReadTimeout")), 299);
}

TEST_F(ReceptionTest, The300thFailureAndEveryFurtherOnePostReadError2) {
    tFakeComm port;
    BinaryScript(port, std::vector<tCommRead>(302, tCommRead{false, {}}));
    RunSerial(port, kSpeed9600);
    const std::vector<tMessage> expected(3, tMessage{WM_DEVICE_READ_ERROR, 2});
    EXPECT_EQ(Messages.Errors(), expected);
}

TEST_F(ReceptionTest, SuccessfulCycleRestartsTheFailureCount) {
    std::vector<tCommRead> cycles(200, tCommRead{false, {}});
    cycles.push_back({true, {}});
    cycles.insert(cycles.end(), 299, tCommRead{false, {}});
    tFakeComm port;
    BinaryScript(port, cycles);
    auto packets = RunSerial(port, kSpeed9600);
    EXPECT_EQ(packets.size(), 1u);
    EXPECT_TRUE(Messages.Errors().empty());
}

TEST_F(ReceptionTest, FailedReadLogsTheSystemsReasonBeforeTheDiscard) {
    tFakeComm port;
    BinaryScript(port, {{false, {}}, {true, {}}});
    RunSerial(port, kSpeed9600);
    const QStringList lines = Log.Lines();
    const auto reason = std::find_if(lines.begin(), lines.end(), [](const QString& l) {
        return l.endsWith(" Read Error: fake failure\r\n");
    });
    ASSERT_NE(reason, lines.end());
    ASSERT_NE(reason + 1, lines.end());
    EXPECT_TRUE((reason + 1)->endsWith(" ReadTimeout\r\n"));
}

TEST_F(ReceptionTest, DeviceThatFailsAtOnceIsNotReadFlatOutOnceTheErrorWasPosted) {
    // An unplugged device fails every read at once: the count is reached in moments, and then the
    // thread waits out each cycle instead of flooding the window with the same error.
    tReceptionTimings timings;
    timings.FailuresBeforeError = 3;
    tReceptionTimings::SetForTests(timings);
    tFakeComm port;
    BinaryScript(port, {});
    port.FailForever = true;
    tMeasureSetup setup;
    setup.Transport = tTransport::Serial;
    setup.Speed = kSpeed9600;
    setup.Comm = &port;
    tMeasureThread thread(setup);
    port.Owner = &thread;
    for (int i = 0; i < 20000 && Messages.Count(WM_DEVICE_READ_ERROR) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(Messages.Count(WM_DEVICE_READ_ERROR), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    thread.RequestStop();
    thread.WaitFor();
    // About one post per 100 ms cycle; unpaced it would be many thousands.
    EXPECT_LE(Messages.Count(WM_DEVICE_READ_ERROR), 30);
}

// ---- binary protocol: handshake ------------------------------------------------------------------

TEST_F(ReceptionTest, NothingIsLoggedBetweenTheStartReplyAndTheReceivePurge) {
    // Whatever the sensor sends after its reply is purged with the receive buffer, so the time
    // from the reply to the purge is samples lost: its log lines come after the purge.
    tFakeComm port;
    BinaryScript(port, {{true, {0x1C}}});
    int linesAtPurge = -1;
    port.OnPurge = [&](uint32_t flags) {
        if (flags == PURGE_RXCLEAR)
            linesAtPurge = Log.CountPrefix(QStringLiteral("GetCommState: ")) +
                           Log.CountPrefix(QStringLiteral("SetCommState: "));
    };
    RunSerial(port, 115200);
    EXPECT_EQ(linesAtPurge, 0);
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("GetCommState: ")), 1);
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("SetCommState: ")), 1);
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("Start reply to purge: ")), 1);
}

TEST_F(ReceptionTest, SerialBinaryHandshakeSwitchesThePortAndRestoresTimeouts) {
    tFakeComm port;
    BinaryScript(port, {{true, {0x1C}}});
    port.Timeouts.WriteTotalTimeoutConstant = 77;
    port.State.BaudRate = 38400;
    RunSerial(port, 115200);
    EXPECT_EQ(port.Written, (tBytes{'S', 0x00}));
    EXPECT_EQ(port.Purges, (std::vector<uint32_t>{PURGE_TXCLEAR | PURGE_RXCLEAR, PURGE_RXCLEAR}));
    EXPECT_EQ(port.State.BaudRate, 115200u);
    EXPECT_EQ(port.State.RtsControl, 1);
    EXPECT_EQ(port.TimeoutConstants, (std::vector<uint32_t>{1000, 100, 500}));
    EXPECT_EQ(port.Timeouts.WriteTotalTimeoutConstant, 77u);
    EXPECT_EQ(port.ReadSizes[0], 1u);
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("GetCommState: ")), 1);
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("SetCommState: ")), 1);
}

TEST_F(ReceptionTest, FtdiBinaryHandshakeUsesTheShortReplyWaitThroughout) {
    tFakeComm port;
    BinaryScript(port, {{true, {0x1C}}});
    auto packets = RunSerial(port, 115200, tTransport::Ftdi);
    EXPECT_EQ(packets.size(), 1u);
    EXPECT_EQ(port.TimeoutConstants, (std::vector<uint32_t>{100, 500}));
}

TEST_F(ReceptionTest, TimeoutsAlreadyInPlaceAreNotWrittenAgain) {
    tFakeComm port;
    BinaryScript(port, {{true, {0x1C}}});
    port.Timeouts.ReadTotalTimeoutConstant = 1000;
    RunSerial(port, 115200);
    EXPECT_EQ(port.TimeoutConstants, (std::vector<uint32_t>{100, 500}));
}

TEST_F(ReceptionTest, FtdiWithoutLibraryLogsAndPostsNothing) {
    tFakeComm port;
    BinaryScript(port, {{true, {0x1C}}});
    tMeasureSetup setup;
    setup.Transport = tTransport::Ftdi;
    setup.Speed = 115200;
    setup.Comm = &port;
    setup.FtdiLoaded = false;
    EXPECT_TRUE(Run(setup).empty());
    EXPECT_TRUE(Log.Has(QStringLiteral("??? Thread: Библиотека доступа через интерфейс FTDI не загружена!")));
    EXPECT_TRUE(Messages.All().empty());
    EXPECT_EQ(port.Calls, 0);
}

TEST_F(ReceptionTest, RequestByteNotWrittenPostsOneWriteError) {
    tFakeComm port;
    BinaryScript(port, {{true, {0x1C}}});
    port.FailWriteAt = 1;
    EXPECT_TRUE(RunSerial(port, 115200).empty());
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_WRITE_ERROR, 0}}));
}

TEST_F(ReceptionTest, WrongBinaryReplyPostsOneReadError1) {
    tFakeComm port;
    port.Reads = {{true, {0x01}}, {true, {0x1C}}};
    EXPECT_TRUE(RunSerial(port, 115200).empty());
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 1}}));
    EXPECT_TRUE(Log.Has(QStringLiteral("First read timeout :\x01")));
}

TEST_F(ReceptionTest, MissingBinaryReplyPostsOneReadError1) {
    tFakeComm port;
    port.Reads = {{true, {}}};
    EXPECT_TRUE(RunSerial(port, 115200).empty());
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 1}}));
}

TEST_F(ReceptionTest, SpeedsTooLowForAFrameFailTheStart) {
    for (int32_t speed : {50, 95, 300}) {  // N = 0, 0, 3
        tMessageCapture messages;
        tFakeComm port;
        BinaryScript(port, {{true, {0x1C}}});
        EXPECT_TRUE(RunSerial(port, speed).empty()) << speed;
        EXPECT_EQ(messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 1}})) << speed;
    }
    EXPECT_EQ(Log.Count(QStringLiteral("Invalid first response :") + QChar(u'\0')), 3);
}

TEST_F(ReceptionTest, PacketSizeFollowsTheSpeed) {
    EXPECT_EQ(PacketSizeForSpeed(115200), 1209);
    EXPECT_EQ(PacketSizeForSpeed(9600), 100);
    EXPECT_EQ(PacketSizeForSpeed(95), 0);
    EXPECT_EQ(PacketSizeForSpeed(-9600), 0);
}

// ---- binary protocol: LOG_MEASURE dumps ----------------------------------------------------------

TEST_F(ReceptionTest, MeasureDumpsOnlyWithTheSwitch) {
    {
        tFakeComm port;
        BinaryScript(port, {{true, {0x12, 0x3C, 0xD1, 0x45}}});
        RunSerial(port, kSpeed9600);
        EXPECT_EQ(Log.CountPrefix(QStringLiteral("\r\ntransfer_size=")), 0);
        EXPECT_EQ(Log.CountPrefix(QStringLiteral("_footer_size=")), 0);
    }
    SetCommandLine({QStringLiteral("-Log_Measure")});
    tFakeComm port;
    BinaryScript(port, {{true, {0x12, 0x3C, 0xD1, 0x45}}});
    RunSerial(port, kSpeed9600);
    SetCommandLine({});
    EXPECT_TRUE(
        Log.Has(QStringLiteral("\r\ntransfer_size=4\r\nfooter_size=0\r\nsize=100\r\n"
                               "0x12 0x3C 0xD1 0x45 \r\n")));
    EXPECT_TRUE(Log.Has(QStringLiteral("_footer_size=2\r\n0xD10x45\r\n")));
}

// ---- text protocol -------------------------------------------------------------------------------

namespace {
tBytes TextReply(const char* text) {
    tBytes r(39, 0);
    std::memcpy(r.data(), text, std::strlen(text));
    return r;
}
}  // namespace

TEST_F(ReceptionTest, TextReplyGivesThePacketSizeAndPacketsPassUnchanged) {
    tBytes packet(1000, 0x33);
    packet[0] = 0xFE;
    packet[999] = 0xFF;
    tFakeComm port;
    port.Reads = {{true, TextReply("PACKET_SIZE=1000")}, {true, packet}};
    auto packets = RunSerial(port, 0);
    EXPECT_EQ(port.Written, (tBytes{'S', 'T', 'A', 'R', 'T', ' ', '0', '\r', '\n'}));
    EXPECT_EQ(port.ReadSizes, (std::vector<uint32_t>{39, 1000}));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(tBytes(packets[0].Data.get(), packets[0].Data.get() + packets[0].Size), packet);
    EXPECT_TRUE(Log.Has(QStringLiteral("RECV START: PACKET_SIZE=1000")));
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("RECV PACKET :size=1000\r\nFE 33 ")), 1);
    EXPECT_EQ(port.TimeoutConstants, (std::vector<uint32_t>{1000, 500}));
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_DATA, 7}}));
}

TEST_F(ReceptionTest, TextReplyWithoutANumberFailsTheStart) {
    for (const char* reply : {"PACKET_SIZE=abc", "SIZE=1000", "PACKET_SIZE=-5"}) {
        tMessageCapture messages;
        tFakeComm port;
        port.Reads = {{true, TextReply(reply)}};
        EXPECT_TRUE(RunSerial(port, 0).empty()) << reply;
        EXPECT_EQ(messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 1}})) << reply;
    }
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("Invalid first response :")), 3);
}

TEST_F(ReceptionTest, ShortTextPacketPostsReadError2AtOnce) {
    tFakeComm port;
    port.Reads = {{true, TextReply("  PACKET_SIZE=10\r\n")}, {true, {0xFE, 0x01}}};
    EXPECT_TRUE(RunSerial(port, 0).empty());
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 2}}));
    EXPECT_TRUE(Log.Has(QStringLiteral("RECV PACKET: ReadTimeout")));
    EXPECT_TRUE(Log.Has(QStringLiteral("Invalid data recv :\u00FE\x01")));
}

// ---- HID -----------------------------------------------------------------------------------------

TEST_F(ReceptionTest, HidCount255Gives62BytesAndCount0GivesNoData) {
    tBytes full(62, 0x1C);
    tFakeHid port;
    HidScript(port, {{tHidPort::IoDone, Report(0x01, 255, full)}, {tHidPort::IoDone, Report(0x01, 0, {})}});
    auto packets = RunHid(port);
    EXPECT_EQ(port.LastWritten, ([] {
                  tBytes r(65, 0);
                  r[0] = 0x02;
                  r[1] = 'S';
                  return r;
              }()));
    ASSERT_EQ(packets.size(), 2u);
    ExpectFrame(packets[0], 1209, 0);
    EXPECT_EQ(Body(packets[0]), full);
    ExpectFrame(packets[1], 1209, 1);
    EXPECT_EQ(Body(packets[1]), (tBytes{0xF4}));
    EXPECT_TRUE(Log.Has(QStringLiteral("SEND: start report written.")));
    EXPECT_EQ(port.Cancels, 1);
}

TEST_F(ReceptionTest, HidCarriesTheTailAcrossReports) {
    tFakeHid port;
    HidScript(port, {{tHidPort::IoDone, Report(0x01, 4, {0x12, 0x3C, 0xD1, 0x45})},
                     {tHidPort::IoDone, Report(0x01, 1, {0x6C})}});
    auto packets = RunHid(port);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(Body(packets[0]), (tBytes{0x12, 0x3C}));
    EXPECT_EQ(Body(packets[1]), (tBytes{0xD1, 0x45, 0x6C}));
}

TEST_F(ReceptionTest, HidWrongReportIdDiscardsTheCycle) {
    tFakeHid port;
    HidScript(port,
              {{tHidPort::IoDone, Report(0x02, 1, {0x1C})}, {tHidPort::IoDone, Report(0x01, 1, {0x2C})}});
    auto packets = RunHid(port);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].Data[1], 1);
    EXPECT_EQ(Body(packets[0]), (tBytes{0x2C}));
    EXPECT_TRUE(Log.Has(QStringLiteral("First byte in report is 0x02")));
    EXPECT_TRUE(Log.Has(QStringLiteral("ReadTimeout")));
    EXPECT_EQ(Log.CountPrefix(QStringLiteral("Invalid data recv :")), 1);
}

TEST_F(ReceptionTest, HidCountBeyondReportOrPacketIsTooManyData) {
    // 20-byte reports hold 18 stream bytes; 1905 bit/s gives a 20-byte packet with room for 16.
    tFakeHid port;
    HidScript(port, {{tHidPort::IoDone, Report(0x01, 19, {}, 20)},
                     {tHidPort::IoDone, Report(0x01, 17, tBytes(17, 0x1C), 20)},
                     {tHidPort::IoDone, Report(0x01, 16, tBytes(16, 0x1C), 20)}});
    port.InputLength = 20;
    port.Reads.front().Report = Report(0x01, 0x01, {0x00}, 20);
    auto packets = RunHid(port, 1905);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].Size, 20);
    EXPECT_EQ(Body(packets[0]), tBytes(16, 0x1C));
    EXPECT_EQ(Log.Count(QStringLiteral("Too Many Data")), 2);
}

TEST_F(ReceptionTest, HidStartUnderWineCountsOneShortWriteAsComplete) {
    SetWineProbeForTests([] { return true; });
    {
        tFakeHid port;
        HidScript(port, {{tHidPort::IoDone, Report(0x01, 1, {0x1C})}});
        port.WriteTransferred = 64;
        EXPECT_EQ(RunHid(port).size(), 1u);
    }
    {
        tMessageCapture messages;
        tFakeHid port;
        HidScript(port, {{tHidPort::IoDone, Report(0x01, 1, {0x1C})}});
        EXPECT_TRUE(RunHid(port).empty());
        EXPECT_EQ(messages.All(), (std::vector<tMessage>{{WM_DEVICE_WRITE_ERROR, 0}}));
    }
    {
        tMessageCapture messages;
        tFakeHid port;
        HidScript(port, {{tHidPort::IoDone, Report(0x01, 1, {0x1C})}});
        port.WriteTransferred = 64;
        EXPECT_TRUE(RunHid(port, 115200, false).empty());
        EXPECT_EQ(messages.All(), (std::vector<tMessage>{{WM_DEVICE_WRITE_ERROR, 0}}));
    }
}

TEST_F(ReceptionTest, HidWriteTimeoutPostsOneWriteError) {
    tFakeHid port;
    HidScript(port, {});
    port.WriteIo = tHidPort::IoTimeout;
    EXPECT_TRUE(RunHid(port).empty());
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_WRITE_ERROR, 0}}));
    EXPECT_TRUE(Log.Has(QStringLiteral("Write Error: Timeout")));
}

TEST_F(ReceptionTest, HidWrongStartReplyLogsTheReplyBytes) {
    tFakeHid port;
    port.Reads = {{tHidPort::IoDone, Report(0x01, 0x01, {0x01})}};
    EXPECT_TRUE(RunHid(port).empty());
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 1}}));
    EXPECT_TRUE(Log.Has(QStringLiteral("ERR Tranferred: 64")));
    EXPECT_TRUE(Log.Has(QStringLiteral("ERR in[0]: 1")));
    EXPECT_TRUE(Log.Has(QStringLiteral("ERR in[1]: 1")));
    EXPECT_TRUE(Log.Has(QStringLiteral("ERR in[2]: 1")));
}

TEST_F(ReceptionTest, HidStartReplyTimeoutIsReadError1) {
    tFakeHid port;
    port.Reads = {{tHidPort::IoTimeout, {}, 0}};
    EXPECT_TRUE(RunHid(port).empty());
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 1}}));
    EXPECT_TRUE(Log.Has(QStringLiteral("Read Error: Timeout")));
    EXPECT_TRUE(Log.Has(QStringLiteral("ERR Tranferred: 0")));
}

TEST_F(ReceptionTest, HidSpeedZeroFailsAfterTheReply) {
    tFakeHid port;
    HidScript(port, {{tHidPort::IoDone, Report(0x01, 1, {0x1C})}});
    EXPECT_TRUE(RunHid(port, 0).empty());
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 1}}));
    EXPECT_TRUE(Log.Has(QStringLiteral("Speed is non zero")));
}

TEST_F(ReceptionTest, HidWithoutCapabilitiesCannotStart) {
    tFakeHid port;
    HidScript(port, {});
    port.Caps = tHidPort::NoCaps;
    port.InputLength = port.OutputLength = 0;
    EXPECT_TRUE(RunHid(port).empty());
    EXPECT_TRUE(Log.Has(QStringLiteral("Unable to get HID Device Capabilities")));
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_WRITE_ERROR, 0}}));
}

TEST_F(ReceptionTest, HidStopDuringTheReportWaitEndsAtOnce) {
    tFakeHid port;
    HidScript(port, {{tHidPort::IoDone, Report(0x01, 1, {0x1C})}});
    port.BlockAtEnd = true;  // then waits up to the real 10 s for a report
    tMeasureSetup setup;
    setup.Transport = tTransport::Hid;
    setup.Speed = 115200;
    setup.Hid = &port;
    tMeasureThread thread(setup);
    port.Owner = &thread;
    for (int i = 0; i < 10000 && !port.Blocking; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(port.Blocking);
    const auto start = std::chrono::steady_clock::now();
    thread.RequestStop();
    thread.WaitFor();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(thread.GetPacketCount(), 1);
    EXPECT_EQ(Log.Count(QStringLiteral("Terminating...")), 1);
    EXPECT_EQ(Messages.Count(WM_DEVICE_DATA), 1);
    EXPECT_TRUE(Messages.Errors().empty());
}

TEST_F(ReceptionTest, Hid300ReportTimeoutsPostReadError2WithShortWaits) {
    tReceptionTimings timings;
    timings.HidReportWaitMs = 1;
    tReceptionTimings::SetForTests(timings);
    tFakeHid port;
    HidScript(port, std::vector<tHidRead>(300, tHidRead{tHidPort::IoTimeout, {}, 0}));
    port.HonourTimeouts = true;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(RunHid(port).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_READ_ERROR, 2}}));
    EXPECT_EQ(Log.Count(QStringLiteral("Read Error: Timeout")), 300);
}
