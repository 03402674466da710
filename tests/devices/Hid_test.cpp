// SPDX-License-Identifier: GPL-3.0-or-later
// tDevice over HID: opening and its capability errors, report framing of requests, count byte,
// carry buffer, report ids, the Wine correction and time-outs.
#include "Testsupport.h"
#include "devices/Device.h"
#include "foundation/Functions.h"
#include "foundation/Stringtable.h"

class HidDevice : public tDeviceTest {
  protected:
    std::unique_ptr<tDevice> Open() {
        H = Sensors.AddHid("sim:hid");
        auto device = std::make_unique<tDevice>("sim:hid", &Settings, tTransport::Hid);
        QString error;
        EXPECT_TRUE(device->Init(error)) << error.toStdString();
        return device;
    }
    void Queue(uint8_t id, uint8_t count, const std::vector<uint8_t>& payload) {
        H->InputReports.push_back(H->Report(id, count, payload));
    }
    void TearDown() override {
        SetWineProbeForTests(nullptr);
        tDeviceTest::TearDown();
    }
    std::shared_ptr<tFakeHid> H;
};

// ---- opening ----

TEST_F(HidDevice, OpenIsSingleDialectAndCapabilityErrorsAreReported) {
    auto device = Open();
    EXPECT_FALSE(device->IsHubMode());
    H->Caps = tHidPort::NoPreparsedData;
    tDevice second("sim:hid", &Settings, tTransport::Hid);
    QString error;
    EXPECT_FALSE(second.Init(error));
    EXPECT_EQ(error, "Unable to get HID preparsed data.");
    H->Caps = tHidPort::NoCaps;
    tDevice third("sim:hid", &Settings, tTransport::Hid);
    EXPECT_FALSE(third.Init(error));
    EXPECT_EQ(error, "Unable to get HID Device Capabilities");
    tDevice missing("sim:none", &Settings, tTransport::Hid);
    EXPECT_FALSE(missing.Init(error));
    EXPECT_EQ(error, FormatStr(msg::CannotOpenDevice, "sim:none", "no such fake"));
}

// ---- request framing ----

TEST_F(HidDevice, RequestOf63BytesFitsOneReport64NeedTwo) {
    auto device = Open();
    std::vector<uint8_t> request(64);
    for (size_t i = 0; i < request.size(); ++i) request[i] = static_cast<uint8_t>(i + 1);
    ASSERT_TRUE(device->SendRequest(request.data(), 63, 100, 0, nullptr));
    ASSERT_EQ(H->OutputReports.size(), 1u);
    EXPECT_EQ(H->OutputReports[0][0], 2);  // HID_SendReportID default
    EXPECT_EQ(H->OutputReports[0][63], 63);
    H->OutputReports.clear();
    const int from = Log.Lines().size();
    ASSERT_TRUE(device->SendRequest(request.data(), 64, 100, 0, nullptr));
    ASSERT_EQ(H->OutputReports.size(), 2u);
    EXPECT_EQ(H->OutputReports[1][1], 64);
    EXPECT_EQ(H->OutputReports[1][2], 0);
    const QStringList lines = LinesFrom(from);
    EXPECT_TRUE(lines.contains("SEND: write report 63"));
    EXPECT_TRUE(lines.contains("SEND: report 63 written."));
    EXPECT_TRUE(lines.contains("SEND: request written"));
}

TEST_F(HidDevice, EmptyRequestSendsNoReport) {
    auto device = Open();
    const int from = Log.Lines().size();
    ASSERT_TRUE(device->SendRequest(nullptr, 0, 100, 0, nullptr));
    EXPECT_TRUE(H->OutputReports.empty());
    EXPECT_FALSE(LinesFrom(from).contains("SEND: request written"));
}

TEST_F(HidDevice, SendReportIdComesFromSettingsLowByte) {
    auto device = Open();
    Settings.SetSettingByName("HID_SendReportID", "261");
    const uint8_t req[2] = {'T', 0};
    ASSERT_TRUE(device->SendRequest(req, 2, 100, 0, nullptr));
    EXPECT_EQ(H->OutputReports[0][0], 5);
}

// ---- replies, count byte, carry buffer ----

TEST_F(HidDevice, CountByte255MeansReportLengthMinusTwo) {
    auto device = Open();
    std::vector<uint8_t> payload(62);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(100 + i);
    Queue(1, 255, payload);
    uint8_t reply[62] = {};
    ASSERT_TRUE(device->SendRequest(nullptr, 0, 100, 62, reply));
    EXPECT_EQ(reply[61], 161);
}

TEST_F(HidDevice, CarryBufferServesTheNextExchangeWithoutReading) {
    auto device = Open();
    std::vector<uint8_t> payload(40);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i);
    Queue(1, 40, payload);
    uint8_t status = 0xAA;
    ASSERT_TRUE(device->SendRequest(nullptr, 0, 100, 1, &status));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Log.Has("RECV: Bytes to buffer 39"));
    uint8_t rest[39] = {};
    const int from = Log.Lines().size();
    ASSERT_TRUE(device->SendRequest(nullptr, 0, 100, 39, rest));  // no report queued: buffer only
    EXPECT_EQ(rest[0], 1);
    EXPECT_EQ(rest[38], 39);
    EXPECT_TRUE(LinesFrom(from).contains("RECV: Read from buffer size39"));
}

TEST_F(HidDevice, PartlyBufferedReplyReadsTheRest) {
    auto device = Open();
    std::vector<uint8_t> first(11);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i);
    Queue(1, 11, first);
    uint8_t one;
    ASSERT_TRUE(device->SendRequest(nullptr, 0, 100, 1, &one));  // 10 left in the buffer
    std::vector<uint8_t> second(29);
    for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<uint8_t>(50 + i);
    Queue(1, 29, second);
    uint8_t reply[39] = {};
    ASSERT_TRUE(device->SendRequest(nullptr, 0, 100, 39, reply));
    EXPECT_EQ(reply[9], 10);
    EXPECT_EQ(reply[10], 50);
    EXPECT_EQ(reply[38], 78);
}

TEST_F(HidDevice, SingleIdentificationFromOneReport) {
    auto device = Open();
    AnswerIdentity(H, "P620,x,y,1,z,0");
    tDeviceInfo info;
    ASSERT_TRUE(device->GetInfo(info));
    EXPECT_EQ(device->GetName(), "P620");
    EXPECT_EQ(H->OutputReports.size(), 1u);
}

TEST_F(HidDevice, WrongReportIdOrLengthFailsAndCopiesNothing) {
    auto device = Open();
    Queue(2, 3, {7, 8, 9});
    uint8_t reply[3] = {0, 0, 0};
    EXPECT_FALSE(device->SendRequest(nullptr, 0, 100, 3, reply));
    EXPECT_EQ(reply[0], 0);
    H->InputReports.push_back({1, 3, 7, 8, 9});  // a short report
    EXPECT_FALSE(device->SendRequest(nullptr, 0, 100, 3, reply));
    EXPECT_EQ(reply[0], 0);
}

TEST_F(HidDevice, CountBeyondTheReportFailsWithALogLine) {
    auto device = Open();
    Queue(1, 63, {1, 2, 3});
    uint8_t reply[63] = {};
    EXPECT_FALSE(device->SendRequest(nullptr, 0, 100, 63, reply));
    EXPECT_TRUE(Log.Has("RECV: useful information size exceeds the report (63 > 62)"));
    EXPECT_EQ(reply[0], 0);
}

TEST_F(HidDevice, ReadTimeoutCancelsAndFails) {
    auto device = Open();
    uint8_t reply[1];
    EXPECT_FALSE(device->SendRequest(nullptr, 0, 10, 1, reply));
    EXPECT_TRUE(Log.Has("Read Error: Timeout"));
    EXPECT_EQ(H->Cancels, 1);
}

TEST_F(HidDevice, WriteTimeoutSkipsTheReadPhase) {
    auto device = Open();
    H->WriteMode = tFakeHid::Timeout;
    Queue(1, 1, {0});
    const uint8_t req[2] = {'I', 0};
    uint8_t reply[1];
    EXPECT_FALSE(device->SendRequest(req, 2, 100, 1, reply));
    EXPECT_TRUE(Log.Has("Write Error: Timeout"));
    EXPECT_EQ(H->InputReports.size(), 1u);  // nothing read
}

// ---- the Wine correction ----

TEST_F(HidDevice, PendingWriteOneShortCountsUnderWineWithFixWine) {
    auto device = Open();
    H->WriteMode = tFakeHid::PendingOneShort;
    const uint8_t req[2] = {'T', 0};
    SetWineProbeForTests([] { return false; });
    EXPECT_FALSE(device->SendRequest(req, 2, 100, 0, nullptr));
    SetWineProbeForTests([] { return true; });
    EXPECT_TRUE(device->SendRequest(req, 2, 100, 0, nullptr));
    Settings.SetSettingByName("FixWine", "0");
    EXPECT_FALSE(device->SendRequest(req, 2, 100, 0, nullptr));
}

TEST_F(HidDevice, ImmediateWriteGetsNoCorrection) {
    auto device = Open();
    H->WriteMode = tFakeHid::Pending;
    SetWineProbeForTests([] { return true; });
    const uint8_t req[2] = {'T', 0};
    EXPECT_FALSE(device->SendRequest(req, 2, 100, 0, nullptr));  // 64 + 1 is not 64
    H->WriteMode = tFakeHid::Immediate;
    EXPECT_TRUE(device->SendRequest(req, 2, 100, 0, nullptr));
    EXPECT_TRUE(Log.Has("(1) HID Write successfully."));
}

// ---- stop ----

TEST_F(HidDevice, StopSendsTAndFlushes) {
    auto device = Open();
    EXPECT_TRUE(device->Stop());
    EXPECT_EQ(H->OutputReports.back()[1], 'T');
    EXPECT_EQ(H->Flushes, 1);
}
