// Detection and the sensor searches over candidates offered by a test source: publishing and
// failure lines of the detector, first match wins, exact names, filters, errors of one candidate,
// and the pacing of candidates with identification in parallel.
#include <QMap>

#include "Testsupport.h"
#include "devices/Device.h"
#include "devices/Devicedetector.h"
#include "devices/Sensorsearch.h"
#include "foundation/Exceptions.h"
#include "foundation/Stringtable.h"

namespace {

class tTestSource : public tCandidateSource {
  public:
    QStringList Serial;
    QStringList Hid;
    QMap<QString, QString> AccessProblems;
    QString NoPortsCause;
    QStringList SerialPorts() override { return Serial; }
    bool FtdiLoaded() override { return false; }
    FT_STATUS FtdiCreateDeviceInfoList(FT_DWORD& count) override {
        count = 0;
        return FT_OK;
    }
    FT_STATUS FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE*, FT_DWORD& count) override {
        count = 0;
        return FT_OK;
    }
    QStringList HidInterfaces() override { return Hid; }
    QString DescribeAccessProblem(const QString& path) override { return AccessProblems.value(path); }
    QString DescribeNoSerialPorts() override { return NoPortsCause; }
};

// A search whose candidate `failing` cannot be prepared.
class tFailingSearch : public tSensorSearch {
  public:
    tFailingSearch(tSettings* settings, tCandidateSource* source, QString failing)
        : tSensorSearch(settings, source), FFailing(std::move(failing)) {}

  protected:
    std::unique_ptr<tDeviceDetector> CreateDetector(const QString& id, tTransport transport) override {
        if (id == FFailing) throw tException("cannot prepare " + id);
        return tSensorSearch::CreateDetector(id, transport);
    }

  private:
    QString FFailing;
};

}  // namespace

// ---- detector ----

class Detector : public tDeviceTest {};

TEST_F(Detector, PublishesAnIdentifiedDevice) {
    Sensors.AddSerial("sim:a");
    tDeviceDetector detector("sim:a", &Settings, tTransport::Serial);
    detector.WaitFor();
    std::unique_ptr<tDevice> device(detector.GetDevice());
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetName(), "K330");
    EXPECT_TRUE(device->IsOpen());
}

TEST_F(Detector, SilentCandidateIsClosedAndLogged) {
    auto s = Sensors.AddSerial("sim:quiet");
    s->Silent = true;
    tDeviceDetector detector("sim:quiet", &Settings, tTransport::Serial);
    detector.WaitFor();
    EXPECT_EQ(detector.GetDevice(), nullptr);
    EXPECT_FALSE(s->Open);
    EXPECT_TRUE(Log.Has("DevID sim:quiet error: INFO failed."));
}

TEST_F(Detector, OpenFailureAndUnknownTransportAreLogged) {
    {
        tDeviceDetector detector("12", &Settings, tTransport::Serial);
        detector.WaitFor();
        EXPECT_EQ(detector.GetDevice(), nullptr);
    }
    bool found = false;
    for (const QString& line : Log.Lines())
        found |= line.startsWith("DevID 12 error: Невозможно открыть устройство '\\\\.\\COM12'.");
    EXPECT_TRUE(found);
    tDeviceDetector unknown("1", &Settings, static_cast<tTransport>(9));
    unknown.WaitFor();
    EXPECT_TRUE(Log.Has("DevID 1 error: tDevice::Init: Unknown device type"));
}

// ---- serial search ----

class Search : public tDeviceTest {
  protected:
    tTestSource Source;
};

TEST_F(Search, SerialIdentifiers) {
    EXPECT_EQ(tSensorSearch::SerialIdentifier("COM12"), "12");
    EXPECT_EQ(tSensorSearch::SerialIdentifier("COM"), "");
    EXPECT_EQ(tSensorSearch::SerialIdentifier("/dev/ttyACM0"), "/dev/ttyACM0");
    EXPECT_EQ(tSensorSearch::SerialIdentifier("sim:K330"), "sim:K330");
}

TEST_F(Search, TwoSensorsOfOneNameFirstWinsOtherIsClosed) {
    auto a = Sensors.AddSerial("sim:a");
    auto b = Sensors.AddSerial("sim:b");
    Source.Serial = {"sim:a", "sim:b"};
    tSensorSearch search(&Settings, &Source);
    std::unique_ptr<tDevice> device = search.FindCOMSensor("K330");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->PortName(), "sim:a");
    EXPECT_TRUE(a->Open);
    EXPECT_FALSE(b->Open);
}

TEST_F(Search, NameCompareIsExact) {
    auto a = Sensors.AddSerial("sim:a");
    a->Identity = "k330,1,2,3,4,5";
    Source.Serial = {"sim:a"};
    tSensorSearch search(&Settings, &Source);
    EXPECT_EQ(search.FindCOMSensor("K330"), nullptr);
    EXPECT_FALSE(a->Open);
    EXPECT_TRUE(Log.Has("COM: " + LoadStr(msg::NoDevicesFound)));
}

TEST_F(Search, NoSerialPortsGivesMessage1014AndTheCause) {
    Source.NoPortsCause = "no tty devices with a USB parent";
    tSensorSearch search(&Settings, &Source);
    EXPECT_EQ(search.FindCOMSensor("K330"), nullptr);
    const QStringList lines = Log.Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "COM: no tty devices with a USB parent");
    EXPECT_EQ(lines[1], "COM: " + LoadStr(msg::NoComPorts));
}

TEST_F(Search, UnopenablePortIsSkippedWithItsAccessProblem) {
    auto b = Sensors.AddSerial("sim:b");
    Source.Serial = {"sim:gone", "sim:b"};
    Source.AccessProblems["sim:gone"] = "the node vanished";
    tSensorSearch search(&Settings, &Source);
    std::unique_ptr<tDevice> device = search.FindCOMSensor("K330");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->PortName(), "sim:b");
    EXPECT_TRUE(Log.Has("COM: sim:gone: the node vanished"));
}

TEST_F(Search, ErrorPreparingOneCandidateIsLoggedAndTheOthersRun) {
    Sensors.AddSerial("sim:b");
    Source.Serial = {"sim:a", "sim:b"};
    tFailingSearch search(&Settings, &Source, "sim:a");
    EXPECT_NE(search.FindCOMSensor("K330"), nullptr);
    EXPECT_TRUE(Log.Has("cannot prepare sim:a"));
}

// ---- HID search ----

TEST_F(Search, HidPathsWithoutVendorAndProductAreNeverOpened) {
    Sensors.AddHid("sim:hid1#vid_0483&pid_1111");
    Sensors.AddHid("sim:hid2#vid_9999&pid_5750");
    AnswerIdentity(Sensors.AddHid("sim:hid0#VID_0483&PID_5750"), "P620,1,2,3,4,0");
    Source.Hid = {"sim:hid1#vid_0483&pid_1111", "sim:hid2#vid_9999&pid_5750", "sim:hid0#VID_0483&PID_5750"};
    tSensorSearch search(&Settings, &Source);
    std::unique_ptr<tDevice> device = search.FindHIDSensor("P620");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(Sensors.HidOpens("sim:hid1#vid_0483&pid_1111"), 0);
    EXPECT_EQ(Sensors.HidOpens("sim:hid2#vid_9999&pid_5750"), 0);
    EXPECT_TRUE(Log.Has("START DETECTION: sim:hid0#VID_0483&PID_5750"));
}

TEST_F(Search, UnopenableHidNodeIsLoggedWithItsAccessProblem) {
    Source.Hid = {"sim:locked#vid_0483&pid_5750"};
    Source.AccessProblems["sim:locked#vid_0483&pid_5750"] = "no permission, install the rule";
    tSensorSearch search(&Settings, &Source);
    EXPECT_EQ(search.FindHIDSensor("P620"), nullptr);
    EXPECT_TRUE(Log.Has("HID: sim:locked#vid_0483&pid_5750: no permission, install the rule"));
}

TEST(SystemSource, AccessProblemOfAHidPathLooksAtItsNode) {
    tSystemCandidateSource source;
    const QString text = source.DescribeAccessProblem("/dev/hidrawRovelinMissing7#vid_0483&pid_5750");
    EXPECT_TRUE(text.contains("'/dev/hidrawRovelinMissing7'")) << text.toStdString();
    EXPECT_TRUE(source.DescribeAccessProblem("sim:T100").isEmpty());
    EXPECT_TRUE(source.DescribeAccessProblem("1234").isEmpty());  // an FTDI location
}

TEST_F(Search, HidVendorAndProductFromSettings) {
    AnswerIdentity(Sensors.AddHid("sim:h#vid_1234&pid_abcd"), "P620,1,2,3,4,0");
    Source.Hid = {"sim:h#vid_1234&pid_abcd"};
    Settings.SetSettingByName("HID_VID", "VID_1234");
    Settings.SetSettingByName("HID_PID", "pid_ABCD");
    tSensorSearch search(&Settings, &Source);
    EXPECT_NE(search.FindHIDSensor("P620"), nullptr);
}

TEST_F(Search, HidErrorPreparingACandidateEndsTheSearch) {
    AnswerIdentity(Sensors.AddHid("sim:b#vid_0483&pid_5750"), "P620,1,2,3,4,0");
    Source.Hid = {"sim:a#vid_0483&pid_5750", "sim:b#vid_0483&pid_5750"};
    tFailingSearch search(&Settings, &Source, "sim:a#vid_0483&pid_5750");
    EXPECT_EQ(search.FindHIDSensor("P620"), nullptr);
    EXPECT_TRUE(Log.Has("HID: cannot prepare sim:a#vid_0483&pid_5750"));
    EXPECT_EQ(Sensors.HidOpens("sim:b#vid_0483&pid_5750"), 0);
}

// ---- pacing and parallel identification ----

TEST_F(Search, CandidatesArePacedAndIdentifiedInParallel) {
    const int n = 4;
    for (int i = 0; i < n; ++i) {
        auto s = Sensors.AddSerial(QStringLiteral("sim:%1").arg(i));
        s->ReadDelayMs = 400;  // each identification takes at least this long
        Source.Serial.append(QStringLiteral("sim:%1").arg(i));
    }
    tSensorSearch search(&Settings, &Source);
    search.SetCandidatePauseMs(100);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(search.FindCOMSensor("K330"), nullptr);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(n * 100));
    // One after another the identifications alone would take n * 400 ms plus the pauses.
    EXPECT_LT(elapsed, std::chrono::milliseconds(n * 100 + n * 400));
}
