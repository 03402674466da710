// SPDX-License-Identifier: GPL-3.0-or-later
// Detection and the sensor searches over candidates offered by a test source: publishing and
// failure lines of the detector, first match wins, exact names, filters, errors of one candidate,
// and the pacing of candidates with identification in parallel.
#include <sys/file.h>

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "Testsupport.h"
#include "devices/Device.h"
#include "devices/Devicedetector.h"
#include "devices/Sensorsearch.h"
#include "foundation/Exceptions.h"
#include "foundation/Language.h"
#include "foundation/Stringtable.h"

namespace {

class tTestSource : public tCandidateSource {
  public:
    QStringList Serial;
    QStringList Hid;
    QMap<QString, tAccessProblem> AccessProblems;
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
    tAccessProblem DescribeAccessProblem(const QString& path) override { return AccessProblems.value(path); }
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

// The system's probes of device nodes, but nothing enumerated: the tests name their stand-in nodes
// in the SerialPorts setting.
class tStandInSource : public tSystemCandidateSource {
  public:
    QStringList SerialPorts() override { return {}; }
    QStringList HidInterfaces() override { return {}; }
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
    Source.AccessProblems["sim:gone"] = {tAccessKind::Missing, "the node vanished", {}};
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
    Source.AccessProblems["sim:locked#vid_0483&pid_5750"] = {tAccessKind::Permission,
                                                             "no permission, install the rule", "dialout"};
    tSensorSearch search(&Settings, &Source);
    EXPECT_EQ(search.FindHIDSensor("P620"), nullptr);
    EXPECT_TRUE(Log.Has("HID: sim:locked#vid_0483&pid_5750: no permission, install the rule"));
}

TEST(SystemSource, AccessProblemOfAHidPathLooksAtItsNode) {
    tSystemCandidateSource source;
    const tAccessProblem missing =
        source.DescribeAccessProblem("/dev/hidrawRovelinMissing7#vid_0483&pid_5750");
    EXPECT_EQ(missing.Kind, tAccessKind::Missing);
    EXPECT_TRUE(missing.Text.contains("'/dev/hidrawRovelinMissing7'")) << missing.Text.toStdString();
    EXPECT_EQ(source.DescribeAccessProblem("sim:T100").Kind, tAccessKind::None);
    EXPECT_EQ(source.DescribeAccessProblem("1234").Kind, tAccessKind::None);  // an FTDI location
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

// ---- diagnosis when nothing matched: the log after message 1013, and the user's advice ----

TEST_F(Search, SensorsOfOtherNamesAreListed) {
    Sensors.AddSerial("sim:a");  // K330
    Sensors.AddSerial("sim:b")->Identity = "L200,a,b,7,c,1000";
    Source.Serial = {"sim:a", "sim:b"};
    tSensorSearch search(&Settings, &Source);
    EXPECT_EQ(search.FindCOMSensor("T100"), nullptr);
    const QStringList lines = Log.Lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], "COM: " + LoadStr(msg::NoDevicesFound));
    EXPECT_EQ(lines.back(),
              "COM: Найдены датчики: K330 на sim:a, L200 на sim:b; ни один не называется 'T100'.");
    const QStringList advice = tSensorSearch::NotFoundAdvice("T100", search.Findings()).split("\r\n");
    ASSERT_EQ(advice.size(), 3);
    EXPECT_EQ(advice[0], "Для этого опыта нужен датчик T100.");
    EXPECT_EQ(advice[1], "Найдены: K330 на демонстрационном порту, L200 на демонстрационном порту.");
    EXPECT_TRUE(advice[2].startsWith("Проверьте: подключите датчик T100 вместо найденного"))
        << advice[2].toStdString();
}

TEST_F(Search, NoDeviceNodesAtAll) {
    Source.Hid = {"sim:mouse#vid_046d&pid_c077"};  // a HID device, but not a sensor
    tSensorSearch search(&Settings, &Source);
    EXPECT_EQ(search.FindCOMSensor("P620"), nullptr);
    EXPECT_EQ(search.FindHIDSensor("P620"), nullptr);
    const QStringList lines = Log.Lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], "HID: " + LoadStr(msg::NoDevicesFound));
    EXPECT_TRUE(lines.back().startsWith("HID: Нет ни одного HID-устройства датчика (vid_0483, pid_5750)"))
        << lines.back().toStdString();
    const QStringList advice = tSensorSearch::NotFoundAdvice("P620", search.Findings()).split("\r\n");
    ASSERT_EQ(advice.size(), 3);
    EXPECT_EQ(advice[1], "Ни одного датчика не найдено.");
    EXPECT_TRUE(advice[2].startsWith("Проверьте: подключите датчик P620 к компьютеру"))
        << advice[2].toStdString();
}

TEST_F(Search, NodeWithoutPermissionNamesTheGroupAndTheRule) {
    // The tests run as root, whom permissions never stop: the probe's answer is given.
    Source.Serial = {"sim:locked"};
    Source.AccessProblems["sim:locked"] = {tAccessKind::Permission, "no permission for sim:locked",
                                           "dialout"};
    tSensorSearch search(&Settings, &Source);
    EXPECT_EQ(search.FindCOMSensor("T100"), nullptr);
    EXPECT_TRUE(Log.Has("COM: sim:locked: no permission for sim:locked"));
    const QString advice = tSensorSearch::NotFoundAdvice("T100", search.Findings());
    EXPECT_TRUE(advice.contains("нет прав")) << advice.toStdString();
    EXPECT_TRUE(advice.contains("'dialout'"));
    EXPECT_TRUE(advice.contains("70-rovelin.rules"));
}

TEST_F(Search, NodeHeldByAnotherProgramAndAMissingOneNamedInTheSetting) {
    QTemporaryDir dir;
    QFile node(dir.filePath("ttyRovelin0"));
    ASSERT_TRUE(node.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(node.handle(), LOCK_EX | LOCK_NB), 0);  // as another program holds a port
    const QString missing = dir.filePath("ttyRovelin1");
    Settings.SetSettingByName("SerialPorts", node.fileName() + "; " + missing);
    tStandInSource source;
    tSensorSearch search(&Settings, &source);
    EXPECT_EQ(search.FindCOMSensor("T100"), nullptr);
    EXPECT_TRUE(Log.Has("COM: " + node.fileName() + ": Устройство '" + node.fileName() +
                        "' занято другой программой. Закройте её и повторите попытку."));
    bool missingLogged = false;
    for (const QString& line : Log.Lines())
        missingLogged |= line.startsWith("COM: " + missing + ": ") && line.contains("не найдено");
    EXPECT_TRUE(missingLogged);
    const QString advice = tSensorSearch::NotFoundAdvice("T100", search.Findings());
    EXPECT_TRUE(advice.contains("Проверьте: датчик занят другой программой")) << advice.toStdString();
}

TEST_F(Search, PortsNamedInTheSettingFollowTheEnumeratedOnes) {
    Sensors.AddSerial("sim:a")->Identity = "L200,a,b,7,c,1000";
    Sensors.AddSerial("sim:b");  // K330
    Source.Serial = {"sim:a"};
    Settings.SetSettingByName("SerialPorts", "sim:a,sim:b");
    tSensorSearch search(&Settings, &Source);
    std::unique_ptr<tDevice> device = search.FindCOMSensor("K330");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->PortName(), "sim:b");
    ASSERT_EQ(search.Findings().Sensors.size(), 2u);  // sim:a once, although named twice
}

TEST_F(Search, WaitHookRunsWhileTheDetectorsWork) {
    Settings.SetSettingByName(QStringLiteral("Timeout"), QStringLiteral("300"));
    Sensors.AddSerial("sim:a");
    Source.Serial = {"sim:a"};
    tSensorSearch search(&Settings, &Source);
    int calls = 0;
    search.SetWaitHook([&] { ++calls; });
    EXPECT_NE(search.FindCOMSensor("K330"), nullptr);
    EXPECT_GE(calls, 1);  // the 300 ms open wait alone spans several 50 ms slices
}

TEST_F(Search, TheAdviceComesInEnglishWithTheEnglishInterface) {
    ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
    Sensors.AddSerial("sim:a");  // K330
    Source.Serial = {"sim:a"};
    tSensorSearch search(&Settings, &Source);
    EXPECT_EQ(search.FindCOMSensor("T100"), nullptr);
    const QString otherFound = tSensorSearch::NotFoundAdvice("T100", search.Findings());
    // Each of the other causes, as the searches would have met them.
    auto advice = [](auto fill) {
        tSearchFindings findings;
        findings.Searches = 1;
        fill(findings);
        return tSensorSearch::NotFoundAdvice("P620", findings);
    };
    const QStringList others = {
        advice([](tSearchFindings& f) { f.Searches = 0; }),
        advice([](tSearchFindings& f) {
            f.Problems.push_back({tAccessKind::Permission, "x", "dialout"});
        }),
        advice([](tSearchFindings& f) {
            f.Problems.push_back({tAccessKind::Busy, "x", {}});
        }),
        advice(
            [](tSearchFindings& f) { f.Silent << tSensorSearch::CandidatePlace("1234", tTransport::Ftdi); }),
        advice([](tSearchFindings&) {}),
    };
    InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);

    EXPECT_EQ(otherFound.split("\r\n"),
              QStringList({"This experiment needs the sensor T100.", "Found: K330 on the demo port.",
                           "Check: connect the sensor T100 instead of the one found and press “Connect”."}));
    EXPECT_TRUE(
        others[0].endsWith("Check: the file rovelin.cfg turns off every way of searching for sensors "
                           "(UseFTDI, UseCDC, UseHID)."))
        << others[0].toStdString();
    EXPECT_TRUE(
        others[1].contains("Ask the administrator to install the program's udev rule (70-rovelin.rules) "
                           "or to add the user to the group 'dialout'"))
        << others[1].toStdString();
    EXPECT_TRUE(others[2].contains("Check: the sensor is in use by another program."))
        << others[2].toStdString();
    EXPECT_TRUE(others[3].contains("Check: the sensor did not answer.")) << others[3].toStdString();
    EXPECT_EQ(others[4].split("\r\n"),
              QStringList({"This experiment needs the sensor P620.", "No sensor was found.",
                           "Check: connect the sensor P620 to the computer, wait a few seconds and press "
                           "“Connect”."}));
    for (const QString& text : others)
        EXPECT_FALSE(text.contains(QRegularExpression("[\\x{0400}-\\x{04FF}]"))) << text.toStdString();
}
