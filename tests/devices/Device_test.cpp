// SPDX-License-Identifier: GPL-3.0-or-later
// tDevice over the serial transport: identity parsing, opening, the command exchange and its log,
// the period command, stop and the measurement hand-off without a thread.
#include "devices/Device.h"

#include <algorithm>
#include <cstring>

#include "Testsupport.h"
#include "devices/Commexchange.h"
#include "foundation/Exceptions.h"
#include "foundation/Stringtable.h"

namespace {

std::vector<uint8_t> Reply39(const std::string& text) {
    std::vector<uint8_t> r(39, 0);
    std::memcpy(r.data(), text.data(), std::min<size_t>(text.size(), 39));
    return r;
}

tDeviceInfo Parse(const std::string& text) {
    const std::vector<uint8_t> r = Reply39(text);
    return tDevice::ParseInfoReply(r.data(), 39);
}

}  // namespace

// ---- identity reply parsing ----

TEST(IdentityParsing, SixItemsWithBlanksAndNulPadding) {
    const tDeviceInfo info = Parse("  K330,a,b,7,c,1000");
    EXPECT_EQ(info.Name, "K330");
    EXPECT_EQ(info.Vendor, "a");
    EXPECT_EQ(info.Product, "b");
    EXPECT_EQ(info.Revision, 7);
    EXPECT_EQ(info.Firmware, "c");
    EXPECT_EQ(info.SpeedText, "1000");
}

TEST(IdentityParsing, MissingItemsAreEmpty) {
    const tDeviceInfo info = Parse("T100,x");
    EXPECT_EQ(info.Name, "T100");
    EXPECT_EQ(info.Vendor, "x");
    EXPECT_TRUE(info.Product.isEmpty());
    EXPECT_EQ(info.Revision, 0);
    EXPECT_TRUE(info.SpeedText.isEmpty());
}

TEST(IdentityParsing, NoCommaMakesTheWholeTrimmedTextTheName) {
    EXPECT_EQ(Parse("\t\r P620 sensor \n").Name, "P620 sensor");
}

TEST(IdentityParsing, Item4KeepsLowEightBitsAndItemsAreNotTrimmed) {
    const tDeviceInfo info = Parse("K330,a,b,300,c, 9");
    EXPECT_EQ(info.Revision, 44);
    EXPECT_EQ(info.Firmware, "c");
    EXPECT_EQ(info.SpeedText, " 9");
}

TEST(IdentityParsing, FullReplyWithoutPaddingUsesAll39Bytes) {
    const std::string text = "ABCDEFGHIJ,2,3,4,5,123456789012345678";  // 37 bytes
    const tDeviceInfo info = Parse(text + "99");
    EXPECT_EQ(info.SpeedText, "12345678901234567899");
}

// ---- opening a serial port ----

class SerialDevice : public tDeviceTest {};

TEST_F(SerialDevice, CarrierOffMeansHubDialectAt921600) {
    auto s = Sensors.AddSerial("sim:a");
    tDevice device("sim:a", &Settings, tTransport::Serial);
    QString error;
    ASSERT_TRUE(device.Init(error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(device.IsHubMode());
    EXPECT_EQ(s->State.BaudRate, 921600u);
    EXPECT_EQ(s->State.ByteSize, 8);
    EXPECT_EQ(s->State.RtsControl, 1);
    EXPECT_EQ(s->Timeouts.ReadTotalTimeoutConstant, 500u);
    EXPECT_EQ(s->Timeouts.WriteTotalTimeoutConstant, 500u);
    ASSERT_FALSE(s->Purges.empty());
    EXPECT_EQ(s->Purges.back(), 0x0Cu);
    EXPECT_EQ(s->Calls.mid(0, 2), (QStringList{"SetRts 1", "SetBreak 0"}));
}

TEST_F(SerialDevice, CarrierOnOrIgnoreCDMeansSingleDialectAt38400) {
    auto s = Sensors.AddSerial("sim:a");
    s->CarrierOn = true;
    {
        tDevice device("sim:a", &Settings, tTransport::Serial);
        QString error;
        ASSERT_TRUE(device.Init(error));
        EXPECT_FALSE(device.IsHubMode());
        EXPECT_EQ(s->State.BaudRate, 38400u);
    }
    s->CarrierOn = false;
    Settings.SetSettingByName("IgnoreCD", "1");
    tDevice device("sim:a", &Settings, tTransport::Serial);
    QString error;
    ASSERT_TRUE(device.Init(error));
    EXPECT_FALSE(device.IsHubMode());
}

TEST_F(SerialDevice, WindowsPortNumberFailsWithMessage1007) {
    tDevice device("3", &Settings, tTransport::Serial);
    QString error;
    EXPECT_FALSE(device.Init(error));
    EXPECT_TRUE(error.startsWith("Невозможно открыть устройство '\\\\.\\COM3'.\r\nСистема сообщает: "))
        << error.toStdString();
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(SerialDevice, BusyPortFailsAndUnknownSimulatedNameToo) {
    auto s = Sensors.AddSerial("sim:a");
    tDevice first("sim:a", &Settings, tTransport::Serial);
    QString error;
    ASSERT_TRUE(first.Init(error));
    tDevice second("sim:a", &Settings, tTransport::Serial);
    EXPECT_FALSE(second.Init(error));
    EXPECT_EQ(error, FormatStr(msg::CannotOpenDevice, "sim:a", "busy"));
    tDevice third("sim:zzz", &Settings, tTransport::Serial);
    EXPECT_FALSE(third.Init(error));
    EXPECT_TRUE(error.contains("no such fake"));
}

TEST_F(SerialDevice, ModemStatusAndLineSettingFailuresCloseThePort) {
    auto s = Sensors.AddSerial("sim:a");
    s->ModemStatusFails = true;
    QString error;
    {
        tDevice device("sim:a", &Settings, tTransport::Serial);
        EXPECT_FALSE(device.Init(error));
        EXPECT_EQ(error, "Невозможно получить состояние устройства на порту: sim:a.");
        EXPECT_FALSE(s->Open);
    }
    s->ModemStatusFails = false;
    s->SetStateFails = true;
    tDevice device("sim:a", &Settings, tTransport::Serial);
    EXPECT_FALSE(device.Init(error));
    EXPECT_EQ(error, FormatStr(msg::CannotSetDevice, "sim:a", "fake failure"));
    EXPECT_FALSE(s->Open);
}

TEST_F(SerialDevice, CleanupLowersRtsSetsBreakAndClosesOnce) {
    auto s = Sensors.AddSerial("sim:a");
    tDevice device("sim:a", &Settings, tTransport::Serial);
    QString error;
    ASSERT_TRUE(device.Init(error));
    s->Calls.clear();
    device.Cleanup();
    device.Cleanup();
    EXPECT_EQ(s->Calls, (QStringList{"SetRts 0", "SetBreak 1", "Close"}));
}

TEST_F(SerialDevice, UnknownTransportCodes) {
    // Only a cast from a foreign number makes such a device; it never opens, so nothing after
    // Init can reach a port.
    tDevice device("1", &Settings, static_cast<tTransport>(7));
    QString error;
    EXPECT_FALSE(device.Init(error));
    EXPECT_EQ(error, "tDevice::Init: Unknown device type");
    EXPECT_FALSE(device.SendRequest(nullptr, 0, 10, 0, nullptr));
    EXPECT_NO_THROW(device.Cleanup());  // nothing open, nothing to close
    EXPECT_FALSE(device.Start(0));
    EXPECT_FALSE(device.IsMeasuring());
    EXPECT_FALSE(device.Stop());
}

// ---- the exchange ----

class SerialExchange : public tDeviceTest {
  protected:
    std::unique_ptr<tDevice> Open(bool carrierOn = false) {
        S = Sensors.AddSerial("sim:x");
        S->CarrierOn = carrierOn;
        auto device = std::make_unique<tDevice>("sim:x", &Settings, tTransport::Serial);
        QString error;
        EXPECT_TRUE(device->Init(error));
        S->Writes.clear();
        S->Purges.clear();
        S->TimeoutWrites.clear();
        return device;
    }
    std::shared_ptr<tFakeSerial> S;
};

TEST_F(SerialExchange, HubIdentifyLogsEveryStepExactly) {
    auto device = Open();
    S->Identity = "AB";
    const int from = Log.Lines().size();
    tDeviceInfo info;
    ASSERT_TRUE(device->GetInfo(info));
    const QString replyHex = "0x41 0x42 " + QString("0x00 ").repeated(37);
    const QString replyBin = QString("AB") + QString(37, QChar(0));
    EXPECT_EQ(LinesFrom(from),
              (QStringList{"SEND: purge comm", "SEND: write bytes 5", "SEND: HEX 0x49 0x4E 0x46 0x4F 0x00 ",
                           QString("SEND: BIN 'INFO") + QChar(0) + "'", "SEND: request written",
                           "RECV: try to read bytes 39", "RECV: read bytes 39", "RECV: HEX " + replyHex,
                           "RECV: BIN '" + replyBin + "'", ""}));
    EXPECT_EQ(device->GetName(), "AB");
}

TEST_F(SerialExchange, HubWritesOneBytePerCallSingleWritesAtOnce) {
    auto hub = Open();
    tDeviceInfo info;
    ASSERT_TRUE(hub->GetInfo(info));
    EXPECT_EQ(S->Writes.size(), 5u);
    hub.reset();
    auto single = Open(true);
    ASSERT_TRUE(single->GetInfo(info));
    ASSERT_EQ(S->Writes.size(), 1u);  // "I" NUL in one call; step 2 writes nothing
    EXPECT_EQ(S->Writes[0], (std::vector<uint8_t>{'I', 0}));
    EXPECT_EQ(info.Name, "K330");
    EXPECT_EQ(single->Speed(), 1000);
}

TEST_F(SerialExchange, ReadOnlyRequestPurgesNothingWriteOnlyReadsNothing) {
    auto device = Open(true);
    S->Pending = {1, 2, 3};
    const int from = Log.Lines().size();
    uint8_t reply[3] = {};
    ASSERT_TRUE(device->SendRequest(nullptr, 0, 500, 3, reply));
    EXPECT_TRUE(S->Purges.empty());
    EXPECT_EQ(reply[2], 3);
    const QStringList lines = LinesFrom(from);
    EXPECT_FALSE(lines.contains("SEND: purge comm"));
    EXPECT_TRUE(lines.contains("SEND: write bytes 0"));
    EXPECT_TRUE(lines.contains("SEND: request written"));

    const int from2 = Log.Lines().size();
    const uint8_t stop[2] = {'T', 0};
    ASSERT_TRUE(device->SendRequest(stop, 2, 500, 0, nullptr));
    const QStringList lines2 = LinesFrom(from2);
    EXPECT_TRUE(lines2.contains("RECV: try to read bytes 0"));
    EXPECT_FALSE(lines2.contains("RECV: read bytes 0"));
    EXPECT_EQ(lines2.last(), "");
}

TEST_F(SerialExchange, TimeoutRewrittenOnlyWhenItChanges) {
    auto device = Open(true);
    S->Timeouts.ReadTotalTimeoutConstant = 0;
    uint8_t reply[1];
    const uint8_t req[2] = {'F', 0};
    device->SendRequest(req, 2, 500, 1, reply);
    device->SendRequest(req, 2, 1000, 1, reply);
    device->SendRequest(req, 2, 1000, 1, reply);
    device->SendRequest(req, 2, 200, 0, nullptr);  // nothing to read: time-out left alone
    ASSERT_EQ(S->TimeoutWrites.size(), 2u);
    EXPECT_EQ(S->TimeoutWrites[0].ReadTotalTimeoutConstant, 500u);
    EXPECT_EQ(S->TimeoutWrites[1].ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(S->TimeoutWrites[1].WriteTotalTimeoutConstant, 500u);  // the rest of the record kept
}

TEST_F(SerialExchange, WriteFailureSkipsTheReadAndStopsHubWritingAtFirstByte) {
    auto device = Open();
    S->FailWrites = true;
    const int from = Log.Lines().size();
    tDeviceInfo info;
    info.Name = "kept";
    EXPECT_FALSE(device->GetInfo(info));
    EXPECT_EQ(info.Name, "kept");
    EXPECT_TRUE(device->GetName().isEmpty());
    EXPECT_EQ(S->Writes.size(), 1u);
    const QStringList lines = LinesFrom(from);
    EXPECT_FALSE(lines.contains("SEND: request written"));
    EXPECT_TRUE(lines.contains("RECV: try to read bytes 39"));
    EXPECT_FALSE(lines.contains("RECV: read bytes 0"));
}

TEST_F(SerialExchange, ShortReplyFailsButKeepsWhatArrived) {
    auto device = Open(true);
    S->Pending = {'O', 'K'};
    uint8_t reply[5] = {};
    const int from = Log.Lines().size();
    EXPECT_FALSE(device->SendRequest(nullptr, 0, 10, 5, reply));
    EXPECT_EQ(reply[0], 'O');
    EXPECT_TRUE(LinesFrom(from).contains("RECV: read bytes 2"));
}

// ---- identification and the period command ----

TEST_F(SerialExchange, SingleStatusOtherThanZeroEndsIdentification) {
    auto device = Open(true);
    S->Status = 1;
    tDeviceInfo info;
    EXPECT_FALSE(device->GetInfo(info));
    EXPECT_EQ(S->Writes.size(), 1u);  // no second step
}

TEST_F(SerialExchange, HubPeriodReplyMustStartWithFreqOk) {
    auto device = Open();
    EXPECT_TRUE(device->SetFrequency(0, 100000));
    std::string sent;
    for (const auto& w : S->Writes) sent.append(w.begin(), w.end());
    EXPECT_EQ(sent, std::string("FREQ 0 100000") + '\0');
    S->FreqReply = " FREQ: Ok.";
    EXPECT_FALSE(device->SetFrequency(0, 1000));
    S->FreqReply = "freq: ok.";
    EXPECT_FALSE(device->SetFrequency(0, 1000));
    S->FreqReply = "FREQ: Ok. 1000 us";
    EXPECT_TRUE(device->SetFrequency(-1, -5));
}

TEST_F(SerialExchange, SinglePeriodCarriesNoModeAndWantsZeroStatus) {
    auto device = Open(true);
    EXPECT_TRUE(device->SetFrequency(3, 2500));
    EXPECT_EQ(S->Writes.back(), (std::vector<uint8_t>{'F', ' ', '2', '5', '0', '0', 0}));
    S->Status = 2;
    EXPECT_FALSE(device->SetFrequency(0, 2500));
}

// ---- stop and the measurement hand-off ----

TEST_F(SerialExchange, StopWithoutMeasurementSendsStopAndPurgesEverything) {
    auto device = Open();
    EXPECT_TRUE(device->Stop());
    EXPECT_EQ(S->Writes.back(), (std::vector<uint8_t>{0xFF}));
    EXPECT_EQ(S->Purges.back(), 0x0Fu);
}

TEST_F(SerialExchange, SingleStopRestores38400EvenWhenNotWritten) {
    auto device = Open(true);
    S->State.BaudRate = 115200;
    S->State.RtsControl = 0;
    S->FailWrites = true;
    S->Purges.clear();
    EXPECT_FALSE(device->Stop());
    EXPECT_EQ(S->State.BaudRate, 38400u);
    EXPECT_EQ(S->State.RtsControl, 1);
    // nothing written, nothing discarded (the exchange's own clear of both buffers aside)
    EXPECT_EQ(std::count(S->Purges.begin(), S->Purges.end(), 0x0Fu), 0);
}

TEST_F(SerialExchange, StopWaitsTheConfiguredTime) {
    auto device = Open();
    tDeviceTimings timings = tDeviceTimings::Get();
    timings.StopWaitMs = 150;
    tDeviceTimings::SetForTests(timings);
    const auto start = std::chrono::steady_clock::now();
    device->Stop();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(SerialExchange, NoPacketsWithoutMeasurement) {
    auto device = Open();
    EXPECT_EQ(device->GetPacketCount(), 0);
    tPacket packet;
    packet.Size = 5;
    packet.Data.reset(new uint8_t[5]);
    device->TakePacket(packet);
    EXPECT_EQ(packet.Size, 0);
    EXPECT_EQ(packet.Data, nullptr);
    EXPECT_FALSE(device->IsMeasuring());
}

TEST_F(SerialExchange, ClosedDeviceFailsExchangeWithoutCrashing) {
    auto device = Open();
    device->Cleanup();
    uint8_t reply[1];
    const uint8_t req[1] = {0xFF};
    EXPECT_FALSE(device->SendRequest(req, 1, 10, 1, reply));
}
