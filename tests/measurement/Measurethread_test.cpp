// SPDX-License-Identifier: GPL-3.0-or-later
// The thread object: queue accessors, dispatch, stop and destruction.
#include <gtest/gtest.h>

#include "foundation/Commandline.h"
#include "tests/measurement/Fakes.h"

namespace {

class MeasureThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gLogFile = &Log;
        SetCommandLine({});
    }
    void TearDown() override { gLogFile = nullptr; }
    tCaptureLog Log;
    tMessageCapture Messages;
};

}  // namespace

TEST_F(MeasureThreadTest, UnknownTransportEndsWithoutNotification) {
    tMeasureSetup setup;
    setup.Transport = static_cast<tTransport>(3);
    tMeasureThread thread(setup);
    thread.WaitFor();
    EXPECT_EQ(thread.GetPacketCount(), 0);
    EXPECT_TRUE(Messages.All().empty());
    EXPECT_TRUE(Log.Has(QStringLiteral("tMeasureThread::Execute: Unknown device type")));
}

TEST_F(MeasureThreadTest, EmptyQueuePopsTheEmptyPacket) {
    tMeasureSetup setup;
    setup.Transport = static_cast<tTransport>(9);
    tMeasureThread thread(setup);
    thread.WaitFor();
    tPacket p;
    p.Data = std::make_unique<uint8_t[]>(4);
    p.Size = 4;
    thread.PopPacket(p);
    EXPECT_EQ(p.Data, nullptr);
    EXPECT_EQ(p.Size, 0);
}

TEST_F(MeasureThreadTest, StopAfterHandshakeFailureCompletesAndRepeatsHarmlessly) {
    tFakeComm port;
    port.FailWriteAt = 0;
    tMeasureSetup setup;
    setup.Speed = 115200;
    setup.Comm = &port;
    tMeasureThread thread(setup);
    port.Owner = &thread;
    thread.WaitFor();
    thread.RequestStop();
    thread.RequestStop();
    thread.WaitFor();
    EXPECT_EQ(Messages.All(), (std::vector<tMessage>{{WM_DEVICE_WRITE_ERROR, 0}}));
}

TEST_F(MeasureThreadTest, PacketsComeOutInOrderAndDestructionReleasesTheRest) {
    tFakeComm port;
    port.Reads = {{true, {0x00}}, {true, {0x1C}}, {true, {0x2C}}, {true, {0x3C}}};
    tMeasureSetup setup;
    setup.Speed = 9600;
    setup.Comm = &port;
    auto thread = std::make_unique<tMeasureThread>(setup);
    port.Owner = thread.get();
    thread->WaitFor();
    ASSERT_EQ(thread->GetPacketCount(), 3);
    tPacket p;
    thread->PopPacket(p);
    ASSERT_EQ(p.Size, 100);
    EXPECT_EQ(p.Data[3], 0x1C);
    EXPECT_EQ(thread->GetPacketCount(), 2);
    thread.reset();  // two packets still queued: released with the object (checked under ASan)
}

TEST_F(MeasureThreadTest, DestructionOfARunningThreadStopsIt) {
    tFakeHid port;
    tBytes reply(64, 0);
    reply[0] = 0x01;
    reply[1] = 0x01;
    port.Reads = {{tHidPort::IoDone, reply}};
    port.BlockAtEnd = true;
    tMeasureSetup setup;
    setup.Transport = tTransport::Hid;
    setup.Speed = 115200;
    setup.Hid = &port;
    auto thread = std::make_unique<tMeasureThread>(setup);
    port.Owner = thread.get();
    for (int i = 0; i < 10000 && !port.Blocking; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto start = std::chrono::steady_clock::now();
    thread.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
