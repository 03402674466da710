// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated HID sensor: report lengths, requests in output reports 2 (continuing over reports),
// input reports 1 with their count byte, the start reply, streaming reports, the stop signal and
// the HID faults.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Simtestutil.h"
#include "platform/Stopsignal.h"
#include "sim/Simports.h"

namespace {

class SimHidTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tSimSensorConfig c = tSimRegistry::DemoConfig("P620", true);
        c.Faults = Faults;
        Sensor = tSimRegistry::Instance().Add("sim:P620", c);
    }
    void TearDown() override { tSimRegistry::Instance().Clear(); }

    std::unique_ptr<tHidPort> Open() {
        QString error;
        std::unique_ptr<tHidPort> port = OpenSimulatedHidPort("sim:P620", error);
        EXPECT_TRUE(port) << error.toStdString();
        return port;
    }
    // Sends `request` in output reports of 64 bytes, as the host's exchange does.
    static void Send(tHidPort& port, const std::string& request) {
        for (size_t p = 0; p < request.size(); p += 63) {
            uint8_t report[64] = {0x02};
            const std::string part = request.substr(p, 63);
            std::copy(part.begin(), part.end(), report + 1);
            uint32_t n = 0;
            bool immediate = false;
            ASSERT_EQ(port.WriteReport(report, 64, 500, n, immediate), tHidPort::IoDone);
            ASSERT_EQ(n, 64u);
        }
    }
    static std::vector<uint8_t> Read(tHidPort& port, tHidPort::tIo expect = tHidPort::IoDone,
                                     uint32_t ms = 1000, const tStopSignal* stop = nullptr) {
        std::vector<uint8_t> report(64, 0xEE);
        uint32_t n = 0;
        bool immediate = false;
        EXPECT_EQ(port.ReadReport(report.data(), 64, ms, n, immediate, stop), expect);
        report.resize(n);
        return report;
    }

    tSimFaults Faults;
    std::shared_ptr<tSimSensor> Sensor;
};

}  // namespace

// ---------- Framing ----------

TEST_F(SimHidTest, CapsAre64And64) {
    std::unique_ptr<tHidPort> port = Open();
    int in = 0, out = 0;
    EXPECT_EQ(port->GetCaps(in, out), tHidPort::CapsOk);
    EXPECT_EQ(in, 64);
    EXPECT_EQ(out, 64);
}

TEST_F(SimHidTest, StatusAndIdentityComeInOneReport) {
    std::unique_ptr<tHidPort> port = Open();
    Send(*port, std::string("I\0", 2));
    const std::vector<uint8_t> r = Read(*port);
    ASSERT_EQ(r.size(), 64u);
    EXPECT_EQ(r[0], 0x01);
    EXPECT_EQ(r[1], 40);
    EXPECT_EQ(r[2], 0x00);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[3])), "P620,Rovelin,SIM,1,1.0,115200");
    EXPECT_EQ(r[42], 0) << "the rest of the report is zero";
}

TEST_F(SimHidTest, RequestContinuesInTheNextReport) {
    std::unique_ptr<tHidPort> port = Open();
    // 60 padding zeros and "F 25000" NUL: the command is cut after "F 2" by the report boundary.
    Send(*port, std::string(60, '\0') + std::string("F 25000\0", 8));
    ASSERT_EQ(Sensor->HidReports().size(), 2u);
    const std::vector<uint8_t> r = Read(*port);
    EXPECT_EQ(r[1], 1);
    EXPECT_EQ(r[2], 0x00);
    EXPECT_EQ(Sensor->PeriodUs(), 25000);
}

TEST_F(SimHidTest, StartReplyThenStreamReports) {
    std::unique_ptr<tHidPort> port = Open();
    Send(*port, std::string("S\0", 2));
    const std::vector<uint8_t> start = Read(*port, tHidPort::IoDone, 500);
    ASSERT_EQ(start.size(), 64u);
    EXPECT_EQ(start[0], 0x01);
    EXPECT_EQ(start[1], 0x01);
    EXPECT_EQ(start[2], 0x00);
    tReference ref;
    const auto t0 = std::chrono::steady_clock::now();
    int reports = 0;
    while (std::chrono::steady_clock::now() - t0 < std::chrono::milliseconds(600)) {
        const std::vector<uint8_t> r = Read(*port);
        ASSERT_EQ(r[0], 0x01);
        ASSERT_GE(r[1], 1);
        ASSERT_LE(r[1], 62);
        ref.Feed(std::vector<uint8_t>(r.begin() + 2, r.begin() + 2 + r[1]));
        ++reports;
    }
    EXPECT_EQ(ref.Values[0], Sensor->SentValues(0));
    EXPECT_GT(Sensor->SentValues(0).size(), 20u);
    EXPECT_LE(reports, 600 / 15 + 2) << "reports are paced";
}

TEST_F(SimHidTest, FullReportsSometimesCount255) {
    std::unique_ptr<tHidPort> port = Open();
    Send(*port, std::string("S\0", 2));
    Read(*port);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // a backlog of more than 62 bytes
    int full62 = 0, full255 = 0;
    for (int i = 0; i < 4; ++i) {
        const std::vector<uint8_t> r = Read(*port);
        full62 += r[1] == 62;
        full255 += r[1] == 255;
    }
    EXPECT_GE(full62, 1);
    EXPECT_GE(full255, 1);
}

// ---------- Waits ----------

TEST_F(SimHidTest, ReadTimesOutWhenNothingComes) {
    std::unique_ptr<tHidPort> port = Open();
    const auto t0 = std::chrono::steady_clock::now();
    Read(*port, tHidPort::IoTimeout, 100);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(95));
}

TEST_F(SimHidTest, StopSignalWakesAWaitingRead) {
    std::unique_ptr<tHidPort> port = Open();
    tStopSignal stop;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.Set();
    });
    const auto t0 = std::chrono::steady_clock::now();
    Read(*port, tHidPort::IoStopped, 10000, &stop);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(5000));
    setter.join();
}

// ---------- Faults ----------

TEST_F(SimHidTest, WrongReportIdFromTheFirstStreamReport) {
    Faults.HidWrongIdFromReport = 1;
    SetUp();
    std::unique_ptr<tHidPort> port = Open();
    Send(*port, std::string("S\0", 2));
    EXPECT_EQ(Read(*port)[0], 0x01) << "the start reply is still right";
    EXPECT_EQ(Read(*port)[0], 0x02);
}

TEST_F(SimHidTest, CountByteLargerThanTheReport) {
    Faults.HidCountTooLargeFromReport = 0;
    SetUp();
    std::unique_ptr<tHidPort> port = Open();
    Send(*port, std::string("I\0", 2));
    const std::vector<uint8_t> r = Read(*port);
    EXPECT_GT(r[1], 62);
    EXPECT_LT(r[1], 255);
}

TEST_F(SimHidTest, WineStyleWriteCountsOneShort) {
    Faults.HidWriteOneShort = true;
    SetUp();
    std::unique_ptr<tHidPort> port = Open();
    uint8_t report[64] = {0x02, 'I'};
    uint32_t n = 0;
    bool immediate = false;
    EXPECT_EQ(port->WriteReport(report, 64, 500, n, immediate), tHidPort::IoDone);
    EXPECT_EQ(n, 63u);
}

TEST_F(SimHidTest, UnplugFailsReadsAndWrites) {
    std::unique_ptr<tHidPort> port = Open();
    Sensor->Unplug();
    Read(*port, tHidPort::IoFailed);
    uint8_t report[64] = {0x02};
    uint32_t n = 0;
    bool immediate = false;
    EXPECT_EQ(port->WriteReport(report, 64, 500, n, immediate), tHidPort::IoFailed);
    EXPECT_EQ(port->LastErrorText(), kSimUnpluggedText);
}

TEST_F(SimHidTest, OtherOutputReportIdsAreNotRequests) {
    std::unique_ptr<tHidPort> port = Open();
    uint8_t report[64] = {0x05, 'I'};
    uint32_t n = 0;
    bool immediate = false;
    port->WriteReport(report, 64, 500, n, immediate);
    Read(*port, tHidPort::IoTimeout, 100);
    EXPECT_TRUE(Sensor->Received().empty());
}
