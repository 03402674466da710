// SPDX-License-Identifier: GPL-3.0-or-later
// Sensors through the guest's real kernel: QEMU's FTDI chips under ftdi_sio for the two serial
// dialects, a uhid device under hid_generic and hidraw for HID. The cases run in order on one boot;
// each leaves its sensor plugged in. Figures the report needs are printed as "rig figure:" lines.
#include <gtest/gtest.h>

#include <QProcess>
#include <atomic>
#include <cstdio>
#include <functional>

#include "devices/Device.h"
#include "devices/Devicetimings.h"
#include "foundation/Appmessage.h"
#include "foundation/Exceptions.h"
#include "foundation/Stringtable.h"
#include "platform/Udevenum.h"
#include "sim/Simuhid.h"
#include "tests/kernel/Guestsupport.h"
#include "tests/kernel/Rig.h"
#include "tests/support/Wait.h"

namespace {

using rig::Control;
using rig::Log;
using rig::tClock;

void Figure(const QString& text) {
    std::printf("rig figure: %s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

// Records when the measurement thread reported a failure, as the window would receive it.
class tFaultWatch {
  public:
    tFaultWatch() {
        SetAppMessageObserverForTests([this](uint32_t code, intptr_t wParam, intptr_t) {
            if (code != WM_DEVICE_READ_ERROR && code != WM_DEVICE_WRITE_ERROR) return;
            if (FCount++ == 0) {
                FFirstAt = tClock::now();
                FFirstWParam = wParam;
                FFirstCode = code;
            }
        });
    }
    ~tFaultWatch() { SetAppMessageObserverForTests(nullptr); }
    int Count() const { return FCount.load(); }
    tClock::time_point FirstAt() const { return FFirstAt; }
    uint32_t FirstCode() const { return FFirstCode; }
    intptr_t FirstWParam() const { return FFirstWParam; }

  private:
    std::atomic<int> FCount{0};
    tClock::time_point FFirstAt;
    uint32_t FFirstCode = 0;
    intptr_t FFirstWParam = 0;
};

// A run that loses its sensor: `unplug` pulls it once packets flow. The measurement thread must
// report the failure within moments (300 failed reads at the read time-out of 100 ms each would
// take half a minute), the stop must not hang, and the device must know that it is gone.
void UnplugMidRun(tDevice& device, const std::function<void()>& unplug) {
    ASSERT_TRUE(device.SetFrequency(0, 100000));
    tFaultWatch faults;
    ASSERT_TRUE(device.Start(0));
    ASSERT_EVENTUALLY(device.GetPacketCount() >= 5, 30000);
    const int logFrom = Log().Size();
    const auto unplugged = tClock::now();
    unplug();
    ASSERT_EVENTUALLY(faults.Count() > 0, 120000);
    const double toFault = std::chrono::duration<double, std::milli>(faults.FirstAt() - unplugged).count();
    EXPECT_EQ(faults.FirstCode(), uint32_t(WM_DEVICE_READ_ERROR));
    EXPECT_EQ(faults.FirstWParam(), 2);
    const auto stopping = tClock::now();
    device.Stop();
    const double stopMs = rig::MsSince(stopping);
    Figure(QStringLiteral("%1: unplug to fault %2 ms, stop %3 ms, %4 fault reports, %5 failed reads")
               .arg(device.GetName())
               .arg(toFault, 0, 'f', 0)
               .arg(stopMs, 0, 'f', 0)
               .arg(faults.Count())
               .arg(Log().Count(QStringLiteral("ReadTimeout"), logFrom)));
    EXPECT_LT(toFault, 10000);
    EXPECT_LT(stopMs, 5000);
    EXPECT_TRUE(device.IsGone());
    EXPECT_FALSE(Log().Find(QStringLiteral("Read Error: device unplugged ("), logFrom).isEmpty());
}

// Where the search found each sensor at its first plug-in: a re-plugged sensor must come back there.
QString gNode[3];
int Index(const rig::tRigSensor& sensor) {
    return &sensor == &rig::kHubSensor ? 0 : &sensor == &rig::kSingleSensor ? 1 : 2;
}

class KernelSerial : public ::testing::TestWithParam<const rig::tRigSensor*> {
  protected:
    void SetUp() override {
        Log();
        FSettings = rig::LinuxSettings();
    }
    const rig::tRigSensor& Sensor() const { return *GetParam(); }
    QString Name() const { return QString::fromLatin1(Sensor().Model); }

    std::unique_ptr<tSettings> FSettings;
};

TEST_P(KernelSerial, SearchFindsTheSensorOnItsUsbNodeInItsDialect) {
    std::unique_ptr<tDevice> device = rig::FindSerialSensor(*FSettings, Name());
    ASSERT_TRUE(device) << "no " << Name().toStdString() << " on the guest's USB serial ports";
    EXPECT_TRUE(device->PortName().startsWith(QStringLiteral("/dev/ttyUSB")))
        << device->PortName().toStdString();
    EXPECT_EQ(device->GetName(), Name());
    EXPECT_EQ(device->IsHubMode(), Sensor().Hub);
    EXPECT_EQ(device->Speed(), Sensor().Speed);
    gNode[Index(Sensor())] = device->PortName();
    Figure(QStringLiteral("%1 found on %2, %3 dialect")
               .arg(Name(), device->PortName(),
                    Sensor().Hub ? QStringLiteral("hub") : QStringLiteral("single")));
}

TEST_P(KernelSerial, MeasurementGivesTheValuesTheSensorSent) {
    std::unique_ptr<tDevice> device = rig::FindSerialSensor(*FSettings, Name());
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->SetFrequency(0, 100000));
    const int logFrom = Log().Size();
    const rig::tRun run = rig::Measure(*device, 25);
    ASSERT_TRUE(run.Started);
    EXPECT_TRUE(run.Stopped);
    ASSERT_GE(run.Values.size(), 25u);
    const std::vector<double> sent = Control().Sent(Sensor().Name);
    const int lost = rig::OffsetIn(sent, run.Values);
    ASSERT_GE(lost, 0) << "the values received are not a stretch of those sent (" << sent.size() << " sent)";
    const QStringList window = Log().Find(QStringLiteral("Start reply to purge: "), logFrom);
    Figure(QStringLiteral("%1: %2 values received as sent, %3 lost at the start (%4)")
               .arg(Name())
               .arg(run.Values.size())
               .arg(lost)
               .arg(window.value(0)));
    // The purge after the speed switch drops what came before it; at 100 ms a sample that early
    // would have to follow the start reply within the window.
    EXPECT_LE(lost, 1);
}

TEST_P(KernelSerial, PortHeldByAnotherProcessIsRefusedWithTheSystemsWords) {
    const QString node = gNode[Index(Sensor())];
    ASSERT_FALSE(node.isEmpty());
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), node});
    ASSERT_TRUE(holder.waitForStarted(30000));
    ASSERT_EVENTUALLY(holder.readAllStandardOutput().contains("HELD"), 60000);
    tDevice device(node, FSettings.get(), tTransport::Serial);
    QString error;
    EXPECT_FALSE(device.Init(error));
    EXPECT_EQ(error, FormatStr(msg::CannotOpenDevice, node, SystemErrorText(EBUSY)));
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(30000));
    tDevice again(node, FSettings.get(), tTransport::Serial);
    EXPECT_TRUE(again.Init(error)) << error.toStdString();
}

TEST_P(KernelSerial, UnplugEndsTheRunAtOnceAndTheSensorComesBackOnItsNode) {
    const QString node = gNode[Index(Sensor())];
    std::unique_ptr<tDevice> device = rig::FindSerialSensor(*FSettings, Name());
    ASSERT_TRUE(device);
    ASSERT_EQ(device->PortName(), node);
    UnplugMidRun(*device, [&] { ASSERT_TRUE(Control().Unplug(Sensor().Name)); });
    if (HasFatalFailure()) return;

    // Closed, the device frees its node: the sensor plugged in again gets it back.
    device.reset();
    ASSERT_TRUE(Control().Plug(Sensor().Name));
    ASSERT_EVENTUALLY(rig::NodeExists(node), 60000);
    std::unique_ptr<tDevice> again = rig::FindSerialSensor(*FSettings, Name());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->PortName(), node);
    ASSERT_TRUE(again->SetFrequency(0, 100000));
    const rig::tRun run = rig::Measure(*again, 5);
    EXPECT_GE(run.Values.size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Dialects, KernelSerial, ::testing::Values(&rig::kHubSensor, &rig::kSingleSensor),
                         [](const auto& info) { return std::string(info.param->Name); });

// ---- HID through uhid ----

class KernelHid : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { Plug(); }
    static void TearDownTestSuite() { FDevice.reset(); }
    static void Plug() {
        FDevice = std::make_unique<tSimUhidDevice>(
            std::make_shared<tSimSensor>(rig::SensorConfig(rig::kHidSensor)));
        QString error;
        FCreated = FDevice->Create(error);
        FError = error;
    }
    void SetUp() override {
        Log();
        FSettings = rig::LinuxSettings();
        ASSERT_TRUE(FCreated) << "/dev/uhid: " << FError.toStdString();
        ASSERT_EVENTUALLY(!EnumerateHidInterfaces().isEmpty(), 30000);
    }
    static QString Name() { return QString::fromLatin1(rig::kHidSensor.Model); }

    static inline std::unique_ptr<tSimUhidDevice> FDevice;
    static inline bool FCreated = false;
    static inline QString FError;
    std::unique_ptr<tSettings> FSettings;
};

TEST_F(KernelHid, SearchFindsTheSensorOnItsHidrawNode) {
    std::unique_ptr<tDevice> device = rig::FindHidSensor(*FSettings, Name());
    ASSERT_TRUE(device);
    EXPECT_TRUE(device->PortName().startsWith(QStringLiteral("/dev/hidraw")))
        << device->PortName().toStdString();
    EXPECT_TRUE(device->PortName().endsWith(QStringLiteral("#vid_0483&pid_5750")));
    EXPECT_EQ(device->GetName(), Name());
    EXPECT_FALSE(device->IsHubMode());
    gNode[2] = device->PortName();
    Figure(QStringLiteral("%1 found on %2").arg(Name(), device->PortName()));
}

TEST_F(KernelHid, MeasurementGivesTheValuesTheSensorSent) {
    std::unique_ptr<tDevice> device = rig::FindHidSensor(*FSettings, Name());
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->SetFrequency(0, 100000));
    const rig::tRun run = rig::Measure(*device, 25);
    ASSERT_TRUE(run.Started);
    ASSERT_GE(run.Values.size(), 25u);
    const std::vector<double> sent = FDevice->Sensor().SentValues(0);
    const int lost = rig::OffsetIn(sent, run.Values);
    ASSERT_GE(lost, 0);
    Figure(QStringLiteral("%1: %2 values received as sent, %3 lost at the start")
               .arg(Name())
               .arg(run.Values.size())
               .arg(lost));
    EXPECT_EQ(lost, 0);
}

TEST_F(KernelHid, DestroyedDeviceEndsTheRunAtOnceAndComesBackOnItsNode) {
    std::unique_ptr<tDevice> device = rig::FindHidSensor(*FSettings, Name());
    ASSERT_TRUE(device);
    const QString path = device->PortName();
    UnplugMidRun(*device, [] { FDevice->Destroy(); });
    if (HasFatalFailure()) return;

    device.reset();
    Plug();
    ASSERT_TRUE(FCreated) << FError.toStdString();
    std::unique_ptr<tDevice> again;
    ASSERT_EVENTUALLY((again = rig::FindHidSensor(*FSettings, Name())) != nullptr, 30000);
    EXPECT_EQ(again->PortName(), path);
    ASSERT_TRUE(again->SetFrequency(0, 100000));
    const rig::tRun run = rig::Measure(*again, 5);
    EXPECT_GE(run.Values.size(), 5u);
}

}  // namespace
