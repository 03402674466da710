// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated serial port and the registry: how a port finds its sensor, carrier detect per
// dialect, read time-outs, the recording of line settings, a stream read in real time, unplugging.
#include "sim/Simports.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Simtestutil.h"

namespace {

class SimPortTest : public ::testing::Test {
  protected:
    void TearDown() override { tSimRegistry::Instance().Clear(); }

    std::unique_ptr<tCommPort> Open(const QString& path) {
        QString error;
        std::unique_ptr<tCommPort> port = OpenSimulatedCommPort(path, error);
        EXPECT_TRUE(port) << error.toStdString();
        return port;
    }
    static void SetReadConstant(tCommPort& port, uint32_t ms) {
        tCommTimeouts t;
        t.ReadTotalTimeoutConstant = ms;
        port.SetTimeouts(t);
    }
    static bool Write(tCommPort& port, const std::string& text) {
        uint32_t written = 0;
        return port.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size(), written) &&
               written == text.size();
    }
};

int64_t MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
        .count();
}

}  // namespace

// ---------- Registry and paths ----------

TEST_F(SimPortTest, DemoCandidatesOpenAndIdentifyAsTheirModel) {
    const QStringList candidates = DemoSerialCandidates();
    EXPECT_EQ(candidates, QStringList({"sim:T100", "sim:L200", "sim:K330", "sim:P620"}));
    for (const QString& path : candidates) {
        SCOPED_TRACE(path.toStdString());
        std::unique_ptr<tCommPort> port = Open(path);
        ASSERT_TRUE(port);
        uint32_t status = 0;
        ASSERT_TRUE(port->GetModemStatus(status));
        const bool single = status & MS_RLSD_ON;
        EXPECT_EQ(single, path == "sim:K330");
        SetReadConstant(*port, 500);
        ASSERT_TRUE(Write(*port, single ? std::string("I\0", 2) : std::string("INFO\0", 5)));
        uint8_t reply[40] = {};
        uint32_t read = 0;
        ASSERT_TRUE(port->Read(reply, single ? 40 : 39, read));
        ASSERT_EQ(read, single ? 40u : 39u);
        const std::string text(reinterpret_cast<char*>(reply) + (single ? 1 : 0));
        EXPECT_EQ(QString::fromStdString(text).section(',', 0, 0), path.mid(4));
        EXPECT_GT(QString::fromStdString(text).section(',', 5, 5).toInt(), 0);
    }
}

TEST_F(SimPortTest, UnknownPathsAndSecondOpenFail) {
    QString error;
    EXPECT_FALSE(OpenSimulatedCommPort("sim:X999", error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(OpenSimulatedCommPort("/dev/ttyS0", error));
    std::unique_ptr<tCommPort> first = Open("sim:T100@2");
    EXPECT_FALSE(OpenSimulatedCommPort("sim:T100@2", error));
    EXPECT_EQ(error, "Device or resource busy");
    first.reset();
    EXPECT_TRUE(OpenSimulatedCommPort("sim:T100@2", error));
}

TEST_F(SimPortTest, RegisteredSensorIsTheOneOpened) {
    tSimSensorConfig c;
    c.Model = "L200";
    c.Hub = false;
    c.Identity = "  K330,a,b,7,c,1000";
    auto sensor = tSimRegistry::Instance().Add("sim:L200@7", c);
    std::unique_ptr<tCommPort> port = Open("sim:L200@7");
    SetReadConstant(*port, 200);
    ASSERT_TRUE(Write(*port, std::string("I\0", 2)));
    uint8_t reply[40];
    uint32_t read = 0;
    ASSERT_TRUE(port->Read(reply, 40, read));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply) + 1), "  K330,a,b,7,c,1000");
    EXPECT_EQ(Text(sensor->Received()), std::string("I\0", 2));
    EXPECT_EQ(tSimRegistry::Instance().Find("sim:L200@7"), sensor);
}

// ---------- Line settings and time-outs ----------

TEST_F(SimPortTest, RecordsLineSettingsPurgesRtsAndBreak) {
    std::unique_ptr<tCommPort> port = Open("sim:T100");
    auto sensor = tSimRegistry::Instance().Find("sim:T100");
    port->SetRts(true);
    port->SetBreak(false);
    tCommState st;
    port->GetState(st);
    st.BaudRate = 921600;
    st.RtsControl = 1;
    port->SetState(st);
    port->Purge(PURGE_TXCLEAR | PURGE_RXCLEAR);
    tCommState back;
    ASSERT_TRUE(port->GetState(back));
    EXPECT_EQ(back.BaudRate, 921600u);
    st.BaudRate = 38400;
    port->SetState(st);
    EXPECT_EQ(sensor->LineState().BaudRate, 38400u);
    EXPECT_EQ(sensor->CallLog(), QStringList({"Open", "SetRts 1", "SetBreak 0",
                                              "SetState baud=921600 bits=8 parity=0 stop=0 rts=1", "Purge 12",
                                              "SetState baud=38400 bits=8 parity=0 stop=0 rts=1"}));
}

TEST_F(SimPortTest, ReadReturnsShortAfterTheReadConstant) {
    std::unique_ptr<tCommPort> port = Open("sim:T100");
    SetReadConstant(*port, 150);
    uint8_t buf[39];
    uint32_t read = 99;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(port->Read(buf, sizeof buf, read));
    const int64_t ms = MsSince(t0);
    EXPECT_EQ(read, 0u);
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 2000);
}

TEST_F(SimPortTest, ReadReturnsAsSoonAsTheReplyIsComplete) {
    std::unique_ptr<tCommPort> port = Open("sim:T100");
    SetReadConstant(*port, 5000);
    ASSERT_TRUE(Write(*port, std::string("INFO\0", 5)));
    uint8_t buf[39];
    uint32_t read = 0;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(port->Read(buf, sizeof buf, read));
    EXPECT_EQ(read, 39u);
    EXPECT_LT(MsSince(t0), 2500);
}

// ---------- Stream in real time ----------

TEST_F(SimPortTest, StreamInRealTimeAtThePeriod) {
    std::unique_ptr<tCommPort> port = Open("sim:P620");
    auto sensor = tSimRegistry::Instance().Find("sim:P620");
    SetReadConstant(*port, 100);
    ASSERT_TRUE(Write(*port, std::string("S\0", 2)));
    uint8_t status = 0xAA;
    uint32_t read = 0;
    ASSERT_TRUE(port->Read(&status, 1, read));
    ASSERT_EQ(read, 1u);
    EXPECT_EQ(status, 0x00);
    tReference ref;
    const auto t0 = std::chrono::steady_clock::now();
    int reads = 0;
    while (MsSince(t0) < 1000) {
        std::vector<uint8_t> buf(1209);
        ASSERT_TRUE(port->Read(buf.data(), buf.size(), read));
        buf.resize(read);
        ref.Feed(buf);
        ++reads;
    }
    const int64_t ms = MsSince(t0);
    ASSERT_TRUE(Write(*port, "\xFF"));
    const std::vector<double> sent = sensor->SentValues(0);
    EXPECT_EQ(ref.Values[0], sent);
    // 10 ms period: about 100 values per second of reading (generous bounds for a loaded machine).
    EXPECT_GT(static_cast<int64_t>(sent.size()), ms / 10 / 2);
    EXPECT_LT(static_cast<int64_t>(sent.size()), ms / 10 + 10);
    EXPECT_LE(reads, 11) << "reads wait for their time-out";
}

// ---------- Unplugging ----------

TEST_F(SimPortTest, UnpluggedPortFailsWithAnErrorText) {
    std::unique_ptr<tCommPort> port = Open("sim:L200");
    auto sensor = tSimRegistry::Instance().Find("sim:L200");
    SetReadConstant(*port, 3000);
    ASSERT_TRUE(Write(*port, std::string("S\0", 2)));
    EXPECT_FALSE(port->IsGone());
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        sensor->Unplug();
    });
    uint8_t buf[4096];
    uint32_t read = 0;
    const auto t0 = std::chrono::steady_clock::now();
    port->Read(buf, sizeof buf, read);  // wakes when the sensor goes
    EXPECT_LT(MsSince(t0), 2500);
    unplug.join();
    EXPECT_FALSE(port->Read(buf, sizeof buf, read));
    uint32_t written = 0;
    EXPECT_FALSE(port->Write(buf, 1, written));
    uint32_t status = 0;
    EXPECT_FALSE(port->GetModemStatus(status));
    EXPECT_EQ(port->LastErrorText(), kSimUnpluggedText);
    EXPECT_TRUE(port->IsGone());
    QString error;
    port.reset();
    EXPECT_FALSE(OpenSimulatedCommPort("sim:L200", error));
    EXPECT_EQ(error, kSimUnpluggedText);
}

TEST_F(SimPortTest, ReplugGetsTheOldPathBackOnlyOnceTheOldPortIsClosed) {
    tSimRegistry& registry = tSimRegistry::Instance();
    tSimSensorConfig config = tSimRegistry::DemoConfig("T100", false);
    config.Faults.UnplugAfterValues = 5;
    registry.Add("sim:T100", config);
    std::unique_ptr<tCommPort> port = Open("sim:T100");
    registry.Find("sim:T100")->Unplug();
    // As with a kernel's device node: a port still open on the unplugged sensor keeps its path.
    EXPECT_EQ(registry.Replug("sim:T100"), "sim:T100@2");
    EXPECT_TRUE(Open("sim:T100@2"));
    port.reset();
    registry.Find("sim:T100@2")->Unplug();
    EXPECT_EQ(registry.Replug("sim:T100@2"), "sim:T100@2");
    // A fresh sensor of the same kind, without the fault that took the first one away.
    const std::shared_ptr<tSimSensor> fresh = registry.Find("sim:T100@2");
    EXPECT_FALSE(fresh->IsUnplugged());
    EXPECT_EQ(fresh->Model(), "T100");
    EXPECT_EQ(fresh->Faults().UnplugAfterValues, -1);
    EXPECT_TRUE(Open("sim:T100@2"));
    EXPECT_EQ(registry.Replug("sim:NONE"), QString());
}
