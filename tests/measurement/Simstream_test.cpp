// SPDX-License-Identifier: GPL-3.0-or-later
// Whole sessions against the simulated sensors: what the sensor sent arrives decoded, in order.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "foundation/Commandline.h"
#include "measurement/Samples.h"
#include "sim/Simports.h"
#include "sim/Simsensor.h"
#include "tests/measurement/Fakes.h"

namespace {

// Streams until `packets` packets are queued (generous bound), stops, and decodes everything.
std::vector<double> StreamAndDecode(tMeasureSetup setup, int packets, int& decodedPackets) {
    tMeasureThread thread(setup);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (thread.GetPacketCount() < packets && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    thread.RequestStop();
    thread.WaitFor();
    tChannelValues channels;
    int channel = 0;
    decodedPackets = 0;
    std::vector<uint8_t> body;
    for (tPacket p; (thread.PopPacket(p), p.Data);) {
        EXPECT_TRUE(ExtractPacketBody(p.Data.get(), p.Size, body));
        EXPECT_FALSE(DecodeSamples(body, channels, channel));
        ++decodedPackets;
    }
    return std::vector<double>(channels.Front(0), channels.Front(0) + channels.Count(0));
}

void ExpectPrefixOfSent(const std::vector<double>& decoded, const std::vector<double>& sent) {
    ASSERT_FALSE(decoded.empty());
    ASSERT_LE(decoded.size(), sent.size());
    // Values still in the last carried tail may be missing; none may be lost or altered before.
    EXPECT_GE(decoded.size() + 1, sent.size());
    for (size_t i = 0; i < decoded.size(); ++i) EXPECT_DOUBLE_EQ(decoded[i], sent[i]) << i;
}

class SimStreamTest : public ::testing::Test {
  protected:
    void SetUp() override { SetCommandLine({}); }
    void TearDown() override { tSimRegistry::Instance().Clear(); }
    tMessageCapture Messages;
};

}  // namespace

TEST_F(SimStreamTest, SerialBinaryStreamArrivesWhole) {
    tSimSensorConfig config;
    config.PeriodUs = 10000;
    auto sensor = tSimRegistry::Instance().Add(QStringLiteral("sim:T100"), config);
    QString error;
    auto port = OpenSimulatedCommPort(QStringLiteral("sim:T100"), error);
    ASSERT_NE(port, nullptr) << error.toStdString();
    tMeasureSetup setup;
    setup.Transport = tTransport::Serial;
    setup.Speed = 115200;
    setup.Comm = port.get();
    int packets = 0;
    const std::vector<double> decoded = StreamAndDecode(setup, 5, packets);
    EXPECT_GE(packets, 5);
    ExpectPrefixOfSent(decoded, sensor->SentValues(0));
    EXPECT_TRUE(Messages.Errors().empty());
}

TEST_F(SimStreamTest, HidStreamArrivesWhole) {
    tSimSensorConfig config;
    config.PeriodUs = 10000;
    config.Hub = false;
    auto sensor = tSimRegistry::Instance().Add(QStringLiteral("sim:L200"), config);
    QString error;
    auto port = OpenSimulatedHidPort(QStringLiteral("sim:L200"), error);
    ASSERT_NE(port, nullptr) << error.toStdString();
    tMeasureSetup setup;
    setup.Transport = tTransport::Hid;
    setup.Speed = 115200;
    setup.Hid = port.get();
    int packets = 0;
    const std::vector<double> decoded = StreamAndDecode(setup, 10, packets);
    EXPECT_GE(packets, 10);
    ExpectPrefixOfSent(decoded, sensor->SentValues(0));
    EXPECT_TRUE(Messages.Errors().empty());
}
