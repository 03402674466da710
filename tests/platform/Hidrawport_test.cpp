// SPDX-License-Identifier: GPL-3.0-or-later
// The hidraw port over a SOCK_SEQPACKET pair, which like hidraw hands over one report per read:
// the test plays the device on the other end. Opening real nodes is tested where no device is needed.
#include "platform/Hidrawport.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/Exceptions.h"
#include "platform/Stopsignal.h"

namespace {

using tClock = std::chrono::steady_clock;

long long MsSince(tClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(tClock::now() - start).count();
}

class HidrawFake : public ::testing::Test {
  protected:
    void Make(bool reportIds, int input = 64, int output = 64) {
        int sv[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv), 0);
        ASSERT_EQ(::fcntl(sv[0], F_SETFL, O_NONBLOCK), 0);
        FDevice = sv[1];
        tHidReportLengths lengths;
        lengths.Input = input;
        lengths.Output = output;
        lengths.HasReportIds = reportIds;
        FPort = WrapHidrawFdForTests(sv[0], &lengths);
    }
    void TearDown() override {
        FPort.reset();
        if (FDevice >= 0) ::close(FDevice);
    }
    void DeviceSends(std::vector<uint8_t> report) {
        ASSERT_EQ(::send(FDevice, report.data(), report.size(), 0), ssize_t(report.size()));
    }
    std::vector<uint8_t> DeviceReceives() {
        std::vector<uint8_t> buf(1024);
        const ssize_t r = ::recv(FDevice, buf.data(), buf.size(), 0);
        buf.resize(r > 0 ? size_t(r) : 0);
        return buf;
    }
    static std::vector<uint8_t> Report(uint8_t first, size_t size) {
        std::vector<uint8_t> r(size);
        for (size_t i = 0; i < size; ++i) r[i] = uint8_t(i + 10);
        r[0] = first;
        return r;
    }

    int FDevice = -1;
    std::unique_ptr<tHidPort> FPort;
};

}  // namespace

// ---- interface paths and opening ----------------------------------------------------------------

TEST(HidrawOpen, NodeIsThePartBeforeTheHash) {
    EXPECT_EQ(HidrawNodeOfInterfacePath("/dev/hidraw3#vid_0483&pid_5750"), "/dev/hidraw3");
    EXPECT_EQ(HidrawNodeOfInterfacePath("/dev/hidraw12"), "/dev/hidraw12");
    EXPECT_EQ(HidrawNodeOfInterfacePath("#vid_0483"), "");
}

TEST(HidrawOpen, MissingNodeGivesTheSystemText) {
    QString error;
    EXPECT_FALSE(OpenHidrawPort("/dev/hidrawRovelinMissing#vid_0483&pid_5750", error));
    EXPECT_EQ(error, SystemErrorText(ENOENT));
}

// A file of the test's own stands for a node without a report descriptor: nothing else locks it.
TEST(HidrawOpen, NodeWithoutReportDescriptorHasNoPreparsedData) {
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("hidraw"));
    ASSERT_TRUE(QFile(node).open(QIODevice::WriteOnly));
    QString error;
    auto port = OpenHidrawPort(node + QStringLiteral("#vid_0483&pid_5750"), error);
    ASSERT_TRUE(port) << error.toStdString();
    int in = -1, out = -1;
    EXPECT_EQ(port->GetCaps(in, out), tHidPort::NoPreparsedData);
}

TEST(HidrawOpen, AHeldNodeIsRefusedAsBusyUntilItsHolderLetsGo) {
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("hidraw"));
    ASSERT_TRUE(QFile(node).open(QIODevice::WriteOnly));
    const QString path = node + QStringLiteral("#vid_0483&pid_5750");
    QString error;
    auto first = OpenHidrawPort(path, error);
    ASSERT_TRUE(first) << error.toStdString();
    EXPECT_FALSE(OpenHidrawPort(path, error));
    EXPECT_EQ(error, SystemErrorText(EBUSY));
    first.reset();
    EXPECT_TRUE(OpenHidrawPort(path, error)) << error.toStdString();
}

TEST(HidrawOpen, CapsFollowTheDescriptor) {
    tHidReportLengths lengths{64, 65, 0, true};
    auto port = WrapHidrawFdForTests(::dup(0), &lengths);
    int in = 0, out = 0;
    ASSERT_EQ(port->GetCaps(in, out), tHidPort::CapsOk);
    EXPECT_EQ(in, 64);
    EXPECT_EQ(out, 65);
    auto unparsed = WrapHidrawFdForTests(::dup(0), &lengths, false);
    EXPECT_EQ(unparsed->GetCaps(in, out), tHidPort::NoCaps);
}

// ---- reading ------------------------------------------------------------------------------------

TEST_F(HidrawFake, QueuedReportWithIdIsReadAtOnce) {
    Make(true);
    DeviceSends(Report(0x01, 64));
    std::vector<uint8_t> buf(64);
    uint32_t got = 0;
    bool immediate = false;
    ASSERT_EQ(FPort->ReadReport(buf.data(), 64, 1000, got, immediate, nullptr), tHidPort::IoDone);
    EXPECT_EQ(got, 64u);
    EXPECT_TRUE(immediate);
    EXPECT_EQ(buf, Report(0x01, 64));
}

TEST_F(HidrawFake, ReportWithoutIdGetsAZeroIdByteInFront) {
    Make(false, 65, 65);
    const auto payload = Report(0x77, 64);
    DeviceSends(payload);
    std::vector<uint8_t> buf(65, 0xEE);
    uint32_t got = 0;
    bool immediate = false;
    ASSERT_EQ(FPort->ReadReport(buf.data(), 65, 1000, got, immediate, nullptr), tHidPort::IoDone);
    EXPECT_EQ(got, 65u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin() + 1, buf.end()), payload);
}

TEST_F(HidrawFake, ReadWaitsForALateReport) {
    Make(true);
    std::thread device([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        DeviceSends(Report(0x01, 64));
    });
    std::vector<uint8_t> buf(64);
    uint32_t got = 0;
    bool immediate = true;
    const auto io = FPort->ReadReport(buf.data(), 64, 20000, got, immediate, nullptr);
    device.join();
    EXPECT_EQ(io, tHidPort::IoDone);
    EXPECT_EQ(got, 64u);
    EXPECT_FALSE(immediate);
}

TEST_F(HidrawFake, SilenceEndsInATimeout) {
    Make(true);
    std::vector<uint8_t> buf(64);
    uint32_t got = 9;
    bool immediate = true;
    const auto start = tClock::now();
    EXPECT_EQ(FPort->ReadReport(buf.data(), 64, 200, got, immediate, nullptr), tHidPort::IoTimeout);
    EXPECT_GE(MsSince(start), 190);
    EXPECT_EQ(got, 0u);
}

TEST_F(HidrawFake, StopSignalWakesAWaitingRead) {
    Make(true);
    tStopSignal stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.Set();
    });
    std::vector<uint8_t> buf(64);
    uint32_t got = 0;
    bool immediate = false;
    const auto start = tClock::now();
    const auto io = FPort->ReadReport(buf.data(), 64, 60000, got, immediate, &stop);
    stopper.join();
    EXPECT_EQ(io, tHidPort::IoStopped);
    EXPECT_LT(MsSince(start), 30000);
    // Stays set: the next read stops at once, unless a report is already there.
    EXPECT_EQ(FPort->ReadReport(buf.data(), 64, 60000, got, immediate, &stop), tHidPort::IoStopped);
    DeviceSends(Report(0x01, 64));
    EXPECT_EQ(FPort->ReadReport(buf.data(), 64, 60000, got, immediate, &stop), tHidPort::IoDone);
}

TEST_F(HidrawFake, UnpluggedDeviceFailsWithAClearText) {
    Make(true);
    ::close(FDevice);
    FDevice = -1;
    std::vector<uint8_t> buf(64);
    uint32_t got = 0;
    bool immediate = false;
    EXPECT_FALSE(FPort->IsGone());
    EXPECT_EQ(FPort->ReadReport(buf.data(), 64, 20000, got, immediate, nullptr), tHidPort::IoFailed);
    EXPECT_EQ(FPort->LastErrorText(), DeviceGoneText(ENODEV));
    // The owner learns that closing the port is all that is left to do.
    EXPECT_TRUE(FPort->IsGone());
}

TEST_F(HidrawFake, FlushDropsQueuedReports) {
    Make(true);
    for (int i = 0; i < 3; ++i) DeviceSends(Report(0x01, 64));
    EXPECT_TRUE(FPort->Flush());
    std::vector<uint8_t> buf(64);
    uint32_t got = 0;
    bool immediate = false;
    EXPECT_EQ(FPort->ReadReport(buf.data(), 64, 100, got, immediate, nullptr), tHidPort::IoTimeout);
    EXPECT_TRUE(FPort->Flush());  // nothing queued is fine too
}

// ---- writing ------------------------------------------------------------------------------------

TEST_F(HidrawFake, ReportWithIdGoesOutWhole) {
    Make(true);
    const auto report = Report(0x02, 64);
    uint32_t sent = 0;
    bool immediate = false;
    ASSERT_EQ(FPort->WriteReport(report.data(), 64, 500, sent, immediate), tHidPort::IoDone);
    EXPECT_EQ(sent, 64u);
    EXPECT_TRUE(immediate);
    EXPECT_EQ(DeviceReceives(), report);
}

TEST_F(HidrawFake, DeviceWithoutIdsTakesOnlyIdZero) {
    // The kernel drops a leading 0 for such a device; any other byte would go out as data.
    Make(false, 65, 65);
    auto report = Report(0x02, 65);
    uint32_t sent = 0;
    bool immediate = false;
    EXPECT_EQ(FPort->WriteReport(report.data(), 65, 500, sent, immediate), tHidPort::IoFailed);
    EXPECT_EQ(FPort->LastErrorText(), SystemErrorText(EINVAL));
    report[0] = 0;
    ASSERT_EQ(FPort->WriteReport(report.data(), 65, 500, sent, immediate), tHidPort::IoDone);
    EXPECT_EQ(sent, 65u);
    EXPECT_EQ(DeviceReceives(), report);
}

TEST_F(HidrawFake, WriteToADeviceThatTakesNothingTimesOut) {
    Make(true);
    const auto report = Report(0x02, 64);
    tHidPort::tIo io = tHidPort::IoDone;
    uint32_t sent = 0;
    bool immediate = false;
    // The device never reads: after the socket buffer is full a write must end at its time-out.
    for (int i = 0; i < 100000 && io == tHidPort::IoDone; ++i)
        io = FPort->WriteReport(report.data(), 64, 100, sent, immediate);
    EXPECT_EQ(io, tHidPort::IoTimeout);
}
