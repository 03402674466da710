// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated sensor on a byte stream (the kernel rig's USB serial sensors), over a socket pair:
// what the host writes reaches the sensor, and the stream leaves at the sensor's pace.
#include "sim/Simwire.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Simtestutil.h"

namespace {

using tClock = std::chrono::steady_clock;

class SimWireTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, FPair), 0); }
    void TearDown() override {
        FWire.reset();
        for (int fd : FPair)
            if (fd >= 0) ::close(fd);
    }
    void Start(const tSimSensorConfig& config) {
        FSensor = std::make_shared<tSimSensor>(config);
        FWire = std::make_unique<tSimWire>(FSensor, FPair[1]);
    }
    void HostWrites(const std::string& bytes) {
        ASSERT_EQ(::write(FPair[0], bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // What arrives within `ms`, or until `n` bytes are there.
    std::vector<uint8_t> HostReads(size_t n, int ms) {
        std::vector<uint8_t> got;
        const auto start = tClock::now();
        while (got.size() < n && tClock::now() - start < std::chrono::milliseconds(ms)) {
            pollfd p{FPair[0], POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            uint8_t buffer[4096];
            const ssize_t r = ::read(FPair[0], buffer, std::min(sizeof buffer, n - got.size()));
            if (r <= 0) break;
            got.insert(got.end(), buffer, buffer + r);
        }
        return got;
    }

    int FPair[2] = {-1, -1};
    std::shared_ptr<tSimSensor> FSensor;
    std::unique_ptr<tSimWire> FWire;
};

}  // namespace

TEST_F(SimWireTest, SensorAnswersAndItsStreamArrivesAsItWasSent) {
    tSimSensorConfig config;
    config.Model = "P620";
    config.Hub = true;
    config.PeriodUs = 10000;
    Start(config);
    HostWrites(std::string("INFO\0", 5));
    const std::vector<uint8_t> identity = HostReads(39, 10000);
    ASSERT_EQ(identity.size(), 39u);
    EXPECT_EQ(Text(identity).substr(0, 5), "P620,");

    HostWrites(std::string("S\0", 2));
    ASSERT_EQ(HostReads(1, 10000), std::vector<uint8_t>{0x00});
    tReference ref;
    ref.Feed(HostReads(SIZE_MAX, 500));
    HostWrites("\xFF");
    ref.Feed(HostReads(SIZE_MAX, 300));
    const std::vector<double> sent = FSensor->SentValues(0);
    EXPECT_GT(sent.size(), 10u);
    EXPECT_EQ(ref.Values[0], sent);
    EXPECT_EQ(FWire->DroppedBytes(), 0u);
}

TEST_F(SimWireTest, PeerThatClosesIsNoticed) {
    Start(tSimSensorConfig{});
    EXPECT_FALSE(FWire->PeerClosed());
    ::close(FPair[0]);
    FPair[0] = -1;
    const auto start = tClock::now();
    while (!FWire->PeerClosed() && tClock::now() - start < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(FWire->PeerClosed());
}
