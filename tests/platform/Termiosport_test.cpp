// SPDX-License-Identifier: GPL-3.0-or-later
// The termios port against a pseudo-terminal pair: the test plays the sensor on the master side.
#include "platform/Termiosport.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/Exceptions.h"

namespace {

using tClock = std::chrono::steady_clock;

long long MsSince(tClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(tClock::now() - start).count();
}

class TermiosPty : public ::testing::Test {
  protected:
    void SetUp() override {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(FMaster, 0);
        ASSERT_EQ(::grantpt(FMaster), 0);
        ASSERT_EQ(::unlockpt(FMaster), 0);
        FSlavePath = QString::fromLocal8Bit(::ptsname(FMaster));
        QString error;
        FPort = OpenTermiosPort(FSlavePath, error);
        ASSERT_TRUE(FPort) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
    }
    void TearDown() override {
        FPort.reset();
        if (FMaster >= 0) ::close(FMaster);
    }

    void SensorSends(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(::write(FMaster, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // What the port wrote, as the sensor receives it (waits up to 5 s for `n` bytes).
    std::vector<uint8_t> SensorReceives(size_t n) {
        std::vector<uint8_t> got;
        const auto start = tClock::now();
        while (got.size() < n && MsSince(start) < 5000) {
            pollfd p{FMaster, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            uint8_t buf[256];
            const ssize_t r = ::read(FMaster, buf, std::min(sizeof buf, n - got.size()));
            if (r > 0) got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    void SetReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) {
        tCommTimeouts t;
        t.ReadIntervalTimeout = interval;
        t.ReadTotalTimeoutMultiplier = multiplier;
        t.ReadTotalTimeoutConstant = constant;
        ASSERT_TRUE(FPort->SetTimeouts(t));
    }

    int FMaster = -1;
    QString FSlavePath;
    std::unique_ptr<tCommPort> FPort;
};

}  // namespace

// ---- opening ------------------------------------------------------------------------------------

TEST(TermiosOpen, MissingNodeGivesTheSystemText) {
    QString error;
    EXPECT_FALSE(OpenTermiosPort("/dev/ttyRovelinMissing7", error));
    EXPECT_EQ(error, SystemErrorText(ENOENT));
}

TEST(TermiosOpen, PlainFileIsNoPort) {
    QTemporaryDir dir;
    const QString path = dir.filePath("notatty");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    QString error;
    EXPECT_FALSE(OpenTermiosPort(path, error));
    EXPECT_EQ(error, SystemErrorText(ENOTTY));
}

TEST_F(TermiosPty, PortHeldByAnotherOwnerIsRefused) {
    QString error;
    EXPECT_FALSE(OpenTermiosPort(FSlavePath, error));
    EXPECT_EQ(error, SystemErrorText(EBUSY));
    FPort.reset();
    EXPECT_TRUE(OpenTermiosPort(FSlavePath, error)) << error.toStdString();
}

// ---- reading and the total time-out -------------------------------------------------------------

TEST_F(TermiosPty, ReadReturnsAsSoonAsAllBytesArrived) {
    SetReadTimeouts(0, 0, 20000);
    SensorSends({0x01, 0x02, 0x03, 0xFE, 0xFF});
    uint8_t buf[5] = {};
    uint32_t read = 0;
    const auto start = tClock::now();
    ASSERT_TRUE(FPort->Read(buf, 5, read));
    EXPECT_EQ(read, 5u);
    EXPECT_LT(MsSince(start), 10000);
    EXPECT_EQ(buf[3], 0xFE);
    EXPECT_EQ(buf[4], 0xFF);
}

TEST_F(TermiosPty, BytesArrivingInPiecesAreCollected) {
    SetReadTimeouts(0, 0, 20000);
    std::thread sensor([this] {
        SensorSends({'a', 'b', 'c'});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SensorSends({'d', 'e', 'f'});
    });
    uint8_t buf[6] = {};
    uint32_t read = 0;
    const bool ok = FPort->Read(buf, 6, read);
    sensor.join();
    ASSERT_TRUE(ok);
    EXPECT_EQ(read, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 6), "abcdef");
}

TEST_F(TermiosPty, PartialReadSucceedsWhenTheTotalTimeoutEnds) {
    SetReadTimeouts(0, 0, 300);
    SensorSends({'x', 'y', 'z'});
    uint8_t buf[10] = {};
    uint32_t read = 0;
    const auto start = tClock::now();
    ASSERT_TRUE(FPort->Read(buf, 10, read));
    const auto elapsed = MsSince(start);
    EXPECT_EQ(read, 3u);
    EXPECT_GE(elapsed, 290);
    EXPECT_LT(elapsed, 10000);
}

TEST_F(TermiosPty, SilenceGivesSuccessWithNothing) {
    SetReadTimeouts(0, 0, 200);
    uint8_t buf[4];
    uint32_t read = 99;
    const auto start = tClock::now();
    ASSERT_TRUE(FPort->Read(buf, 4, read));
    EXPECT_EQ(read, 0u);
    EXPECT_GE(MsSince(start), 190);
}

TEST_F(TermiosPty, MultiplierCountsPerRequestedByte) {
    SetReadTimeouts(0, 50, 0);
    uint8_t buf[8];
    uint32_t read = 0;
    const auto start = tClock::now();
    ASSERT_TRUE(FPort->Read(buf, 8, read));  // 8 x 50 ms
    EXPECT_EQ(read, 0u);
    EXPECT_GE(MsSince(start), 390);
}

TEST_F(TermiosPty, ZeroTimeoutsReturnWhatIsThereAtOnce) {
    SetReadTimeouts(0, 0, 0);
    uint8_t buf[4];
    uint32_t read = 0;
    const auto start = tClock::now();
    ASSERT_TRUE(FPort->Read(buf, 4, read));
    EXPECT_EQ(read, 0u);
    EXPECT_LT(MsSince(start), 5000);
}

TEST_F(TermiosPty, IntervalTimeoutEndsAReadAfterAGap) {
    SetReadTimeouts(100, 0, 60000);
    SensorSends({'1', '2'});
    uint8_t buf[10];
    uint32_t read = 0;
    const auto start = tClock::now();
    ASSERT_TRUE(FPort->Read(buf, 10, read));
    EXPECT_EQ(read, 2u);
    EXPECT_LT(MsSince(start), 30000);
}

TEST_F(TermiosPty, HungUpLineFailsEveryCallAtOnceAndSaysTheDeviceIsGone) {
    // The other side of a pty closing hangs the line up, as a USB serial driver does when its
    // device is unplugged. A read with a long time-out must not wait it out.
    SetReadTimeouts(0, 0, 60000);
    EXPECT_FALSE(FPort->IsGone());
    ::close(FMaster);
    FMaster = -1;
    uint8_t buf[4];
    uint32_t read = 0;
    const auto start = tClock::now();
    EXPECT_FALSE(FPort->Read(buf, 4, read));
    EXPECT_LT(MsSince(start), 30000);
    EXPECT_EQ(FPort->LastErrorText(), DeviceGoneText(EIO));
    EXPECT_TRUE(FPort->IsGone());
    uint32_t written = 0;
    EXPECT_FALSE(FPort->Write(buf, 1, written));
    EXPECT_EQ(FPort->LastErrorText(), DeviceGoneText(EIO));
    tCommState state;
    EXPECT_FALSE(FPort->GetState(state));
}

// ---- writing ------------------------------------------------------------------------------------

TEST_F(TermiosPty, WrittenBytesReachTheSensorUnchanged) {
    // Raw mode: no CR/LF translation, no special characters.
    const std::vector<uint8_t> request = {'G', '\n', '\r', 0x03, 0x00, 0xFF};
    uint32_t written = 0;
    ASSERT_TRUE(FPort->Write(request.data(), uint32_t(request.size()), written));
    EXPECT_EQ(written, request.size());
    EXPECT_EQ(SensorReceives(request.size()), request);
}

TEST_F(TermiosPty, WriteToAStalledPeerEndsAtItsTimeout) {
    tCommTimeouts t;
    t.WriteTotalTimeoutConstant = 300;
    ASSERT_TRUE(FPort->SetTimeouts(t));
    // Nobody reads the master: the pty buffers some kilobytes, then refuses more.
    std::vector<uint8_t> big(4 * 1024 * 1024, 0x55);
    uint32_t written = 0;
    const auto start = tClock::now();
    ASSERT_TRUE(FPort->Write(big.data(), uint32_t(big.size()), written));
    EXPECT_LT(written, big.size());
    EXPECT_GE(MsSince(start), 290);
    EXPECT_LT(MsSince(start), 30000);
}

// ---- purge --------------------------------------------------------------------------------------

TEST_F(TermiosPty, PurgeReceiveDropsWhatArrived) {
    SetReadTimeouts(0, 0, 5000);
    SensorSends({1, 2, 3, 4});
    uint8_t buf[4];
    uint32_t read = 0;
    ASSERT_TRUE(FPort->Read(buf, 1, read));  // the sensor's bytes are now in the input queue
    ASSERT_EQ(read, 1u);
    ASSERT_TRUE(FPort->Purge(PURGE_TXCLEAR | PURGE_RXCLEAR));
    SetReadTimeouts(0, 0, 200);
    ASSERT_TRUE(FPort->Read(buf, 3, read));
    EXPECT_EQ(read, 0u);
}

TEST_F(TermiosPty, PurgeOfTransmitOrAbortOnlyKeepsReceivedBytes) {
    SetReadTimeouts(0, 0, 5000);
    SensorSends({1, 2, 3, 4});
    uint8_t buf[4];
    uint32_t read = 0;
    ASSERT_TRUE(FPort->Read(buf, 1, read));
    ASSERT_TRUE(FPort->Purge(PURGE_TXCLEAR | PURGE_TXABORT | PURGE_RXABORT));
    ASSERT_TRUE(FPort->Read(buf, 3, read));
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(buf[2], 4);
}

// ---- line settings, time-outs, modem lines ------------------------------------------------------

TEST_F(TermiosPty, BaudRatesRoundTripIncludingNonStandardOnes) {
    for (uint32_t baud : {38400u, 921600u, 12345u, 250000u}) {
        tCommState s;
        ASSERT_TRUE(FPort->GetState(s));
        s.BaudRate = baud;
        s.ByteSize = 8;
        s.Parity = 0;
        s.StopBits = 0;
        s.RtsControl = 1;
        ASSERT_TRUE(FPort->SetState(s)) << baud;
        tCommState back;
        ASSERT_TRUE(FPort->GetState(back));
        EXPECT_EQ(back.BaudRate, baud);
        EXPECT_EQ(back.ByteSize, 8);
        EXPECT_EQ(back.Parity, 0);
        EXPECT_EQ(back.StopBits, 0);
        EXPECT_EQ(back.RtsControl, 1);
    }
}

TEST_F(TermiosPty, StopBitsAndHandshakeRoundTrip) {
    tCommState s;
    ASSERT_TRUE(FPort->GetState(s));
    s.BaudRate = 9600;
    s.StopBits = 2;
    s.RtsControl = 2;
    ASSERT_TRUE(FPort->SetState(s));
    tCommState back;
    ASSERT_TRUE(FPort->GetState(back));
    EXPECT_EQ(back.StopBits, 2);
    EXPECT_EQ(back.RtsControl, 2);
    s.StopBits = 0;
    s.RtsControl = 0;
    ASSERT_TRUE(FPort->SetState(s));
    ASSERT_TRUE(FPort->GetState(back));
    EXPECT_EQ(back.StopBits, 0);
    EXPECT_EQ(back.RtsControl, 0);
}

TEST_F(TermiosPty, SettingsThatCannotBeHonouredAreRefused) {
    tCommState s;
    ASSERT_TRUE(FPort->GetState(s));
    const uint32_t before = s.BaudRate;
    tCommState bad = s;
    bad.BaudRate = 0;  // would hang the line up
    EXPECT_FALSE(FPort->SetState(bad));
    EXPECT_EQ(FPort->LastErrorText(), SystemErrorText(EINVAL));
    bad = s;
    bad.RtsControl = 3;
    EXPECT_FALSE(FPort->SetState(bad));
    bad = s;
    bad.ByteSize = 9;
    EXPECT_FALSE(FPort->SetState(bad));
    ASSERT_TRUE(FPort->GetState(s));
    EXPECT_EQ(s.BaudRate, before);
}

TEST_F(TermiosPty, MissingModemLinesAreReportedNotInvented) {
    // A pty has no modem lines: the failure must reach the caller with the system's reason.
    uint32_t status = 0xFFFF;
    EXPECT_FALSE(FPort->GetModemStatus(status));
    EXPECT_EQ(status, 0u);
    EXPECT_FALSE(FPort->LastErrorText().isEmpty());
    EXPECT_FALSE(FPort->SetRts(true));
    // Break needs no line driver on a pty; it must simply not disturb the port.
    FPort->SetBreak(true);
    FPort->SetBreak(false);
    tCommState s;
    EXPECT_TRUE(FPort->GetState(s));
}
