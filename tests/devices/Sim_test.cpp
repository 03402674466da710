// SPDX-License-Identifier: GPL-3.0-or-later
// The device layer over the simulated sensors of sim/: both dialects and HID identified and
// configured through the "sim:" openers, a whole measurement run, and a search over demo sensors.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "Testsupport.h"
#include "devices/Device.h"
#include "devices/Sensorsearch.h"
#include "foundation/Language.h"
#include "sim/Simports.h"

namespace {

class tDemoSource : public tCandidateSource {
  public:
    QStringList SerialPorts() override { return DemoSerialCandidates(); }
    bool FtdiLoaded() override { return false; }
    FT_STATUS FtdiCreateDeviceInfoList(FT_DWORD&) override { return FT_OTHER_ERROR; }
    FT_STATUS FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE*, FT_DWORD&) override { return FT_OTHER_ERROR; }
    QStringList HidInterfaces() override { return {}; }
};

}  // namespace

class SimDevice : public tDeviceTest {
  protected:
    void SetUp() override {
        tDeviceTest::SetUp();
        tSimRegistry::Instance().Clear();
        // The fixture's fakes are replaced by the simulator for these tests.
        SetSimulatedCommOpener(&OpenSimulatedCommPort);
        SetSimulatedHidOpener(&OpenSimulatedHidPort);
    }
    void TearDown() override {
        tSimRegistry::Instance().Clear();
        tDeviceTest::TearDown();
    }
    std::unique_ptr<tDevice> Identified(const QString& path, tTransport transport) {
        auto device = std::make_unique<tDevice>(path, &Settings, transport);
        QString error;
        EXPECT_TRUE(device->Init(error)) << error.toStdString();
        tDeviceInfo info;
        EXPECT_TRUE(device->GetInfo(info));
        return device;
    }
};

TEST_F(SimDevice, HubSensorIdentifiesAndTakesThePeriod) {
    auto device = Identified("sim:T100", tTransport::Serial);
    EXPECT_TRUE(device->IsHubMode());
    EXPECT_EQ(device->GetName(), "T100");
    EXPECT_EQ(device->Speed(), 115200);
    EXPECT_TRUE(device->SetFrequency(0, 50000));
    EXPECT_EQ(tSimRegistry::Instance().Find("sim:T100")->PeriodUs(), 50000);
}

TEST_F(SimDevice, APeriodTheSensorRefusesIsToldInWords) {
    // Hub dialect: the sensor answers «FREQ: Error.» to a period it cannot sample at.
    auto hub = Identified("sim:T100", tTransport::Serial);
    const int32_t before = tSimRegistry::Instance().Find("sim:T100")->PeriodUs();
    EXPECT_FALSE(hub->SetFrequency(0, 0));
    EXPECT_EQ(
        hub->FrequencyProblem(),
        QStringLiteral("Датчик T100 отказался от периода опроса 0 мкс (ответ «FREQ: Error.»): такого периода "
                       "он не поддерживает.\r\nВремя точек на графике может не совпасть с настоящим: "
                       "проверьте значение Freq в сценарии."));
    EXPECT_EQ(tSimRegistry::Instance().Find("sim:T100")->PeriodUs(), before) << "kept its own period";
    EXPECT_TRUE(hub->SetFrequency(0, 50000));
    EXPECT_TRUE(hub->FrequencyProblem().isEmpty());

    // Single-sensor dialect: a non-zero status byte.
    auto single = Identified("sim:K330", tTransport::Serial);
    EXPECT_FALSE(single->SetFrequency(0, -5));
    EXPECT_TRUE(single->FrequencyProblem().startsWith(
        QStringLiteral("Датчик K330 отказался от периода опроса -5 мкс (код ответа ")))
        << single->FrequencyProblem().toStdString();
}

TEST_F(SimDevice, SingleSensorIdentifiesInTwoSteps) {
    auto device = Identified("sim:K330", tTransport::Serial);
    EXPECT_FALSE(device->IsHubMode());
    EXPECT_EQ(device->GetName(), "K330");
    EXPECT_TRUE(device->SetFrequency(0, 20000));
}

TEST_F(SimDevice, HidSensorIdentifiesThroughTheCarryBuffer) {
    auto device = Identified("sim:P620", tTransport::Hid);
    EXPECT_EQ(device->GetName(), "P620");
    EXPECT_TRUE(device->SetFrequency(0, 10000));
}

TEST_F(SimDevice, MeasurementRunDeliversPacketsAndStops) {
    auto device = Identified("sim:T100", tTransport::Serial);
    ASSERT_TRUE(device->Start(0));
    QElapsedTimer timer;
    timer.start();
    while (device->GetPacketCount() == 0 && timer.elapsed() < 10000) QThread::msleep(20);
    ASSERT_GT(device->GetPacketCount(), 0);
    tPacket packet;
    device->TakePacket(packet);
    EXPECT_GT(packet.Size, 0);
    EXPECT_TRUE(device->Stop());
    EXPECT_FALSE(device->IsMeasuring());
    EXPECT_FALSE(tSimRegistry::Instance().Find("sim:T100")->IsStreaming());
    tDeviceInfo info;
    EXPECT_TRUE(device->GetInfo(info));  // commands work again after the stop
}

TEST_F(SimDevice, UnpluggedSensorIsGoneAndClosingItFreesItsPath) {
    for (tTransport transport : {tTransport::Serial, tTransport::Hid}) {
        auto device = Identified("sim:T100", transport);
        EXPECT_FALSE(device->IsGone());
        ASSERT_TRUE(device->Start(0));
        tSimRegistry::Instance().Find("sim:T100")->Unplug();
        EXPECT_TRUE(device->IsGone());
        EXPECT_FALSE(device->Stop());  // the stop command cannot be written any more
        device->Cleanup();
        EXPECT_FALSE(device->IsOpen());
        // Closed, the device leaves its path to the sensor when it is plugged in again.
        EXPECT_EQ(tSimRegistry::Instance().Replug("sim:T100"), "sim:T100");
        tSimRegistry::Instance().Clear();
    }
}

TEST_F(SimDevice, DeletingAMeasuringDeviceJoinsItsThreadFirst) {
    auto device = Identified("sim:L200", tTransport::Serial);
    ASSERT_TRUE(device->Start(0));
    QThread::msleep(50);
    device.reset();  // must not leave the thread reading a closed port
    SUCCEED();
}

TEST_F(SimDevice, SearchOverDemoCandidatesFindsTheNamedSensor) {
    tDemoSource source;
    tSensorSearch search(&Settings, &source);
    std::unique_ptr<tDevice> device = search.FindCOMSensor("L200");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetName(), "L200");
}

TEST_F(SimDevice, ARefusedPeriodIsToldInEnglishWithTheEnglishInterface) {
    auto hub = Identified("sim:T100", tTransport::Serial);
    ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
    EXPECT_FALSE(hub->SetFrequency(0, 0));
    const QString problem = hub->FrequencyProblem();
    InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);
    EXPECT_EQ(
        problem,
        QStringLiteral("Sensor T100 refused the sampling period 0 µs (answer “FREQ: Error.”): it does not "
                       "support that period.\r\nThe times of the points on the chart may not match the real "
                       "ones: check the value Freq in the scenario."));
}
