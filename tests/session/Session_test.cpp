// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement route without any window: a session connects to a simulated sensor, runs,
// labels, stops, meets a removed or unplugged sensor, saves, autosaves and recovers. What the
// window would show is checked on what the session hands it: the warnings, the runs of the lesson,
// the files it writes (read back by the lesson file reader).
#include "session/Session.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <utility>

#include "devices/Device.h"
#include "devices/Portopeners.h"
#include "devices/Sensorsearch.h"
#include "foundation/Appmessage.h"
#include "foundation/Language.h"
#include "foundation/Settings.h"
#include "foundation/Stringtable.h"
#include "lesson/Autosave.h"
#include "platform/Clock.h"
#include "sim/Simports.h"
#include "tests/support/Log.h"
#include "tests/support/Posted.h"
#include "tests/support/Wait.h"

namespace {
const QString kNotFound = QStringLiteral("Не найден датчик для проведения эксперимента.");

// Serial ports are the listed "sim:" names; nothing else is attached.
class tListedPorts : public tCandidateSource {
  public:
    QStringList Serial{QStringLiteral("sim:T100")};
    QStringList SerialPorts() override { return Serial; }
    bool FtdiLoaded() override { return false; }
    FT_STATUS FtdiCreateDeviceInfoList(FT_DWORD&) override { return FT_OTHER_ERROR; }
    FT_STATUS FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE*, FT_DWORD&) override { return FT_OTHER_ERROR; }
    QStringList HidInterfaces() override { return {}; }
};

// The window's part, answered by the test: what it was told is kept.
class tHost : public tSessionHost {
  public:
    tSession* Session = nullptr;
    tListedPorts Ports;
    QStringList Warnings;
    QStringList FileErrors;
    int Searches = 0;
    int64_t Counter = -1;  // >= 0: the counter reads this
    QString PendingLabel;
    QString SavePath;
    tSaveChoice SaveAnswer = tSaveChoice::Discard;
    int SaveQuestions = 0;
    QByteArray Report = "{\\rtf1 edited}";

    std::unique_ptr<tSensorSearch> CreateSensorSearch() override {
        ++Searches;
        auto search = std::make_unique<tSensorSearch>(Session->Settings(), &Ports);
        search->SetCandidatePauseMs(0);
        return search;
    }
    bool FtdiLibraryLoaded() const override { return true; }
    void Searching(const QString&) override {}
    void SearchDone() override {}
    QStringList WholeWarnings;  // with the advice below the first paragraph
    void Warn(const QString& text) override {
        Warnings << text.section(QStringLiteral("\r\n\r\n"), 0, 0);
        WholeWarnings << text;
    }
    int64_t CounterNow() const override { return Counter >= 0 ? Counter : tSessionHost::CounterNow(); }
    QString TakePointLabel() override { return std::exchange(PendingLabel, QString()); }
    QString AskLessonSaveFile() override { return SavePath; }
    tSaveChoice AskSaveChanges() override {
        ++SaveQuestions;
        return SaveAnswer;
    }
    QByteArray EditedReport() override { return Report; }
    void LessonFileFailed(const tLessonFileError& error) override { FileErrors << error.Message(); }
};

// Hands the device's application messages to the session, as the window's filter does.
class tDeviceMessages : public QObject {
  public:
    explicit tDeviceMessages(tSession& session) : FSession(session) { qApp->installEventFilter(this); }
    ~tDeviceMessages() override { qApp->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != tAppMessageEvent::EventType() || watched != qApp) return false;
        return FSession.HandleDeviceMessage(static_cast<tAppMessageEvent*>(event)->Code);
    }

  private:
    tSession& FSession;
};

struct tSessionTest : ::testing::Test {
    QTemporaryDir program;
    QTemporaryDir state;
    QTemporaryDir out;
    tHost host;
    std::unique_ptr<tSession> session;
    std::unique_ptr<tDeviceMessages> messages;

    void SetUp() override {
        tSimRegistry::Instance().Clear();
        SetSimulatedCommOpener(OpenSimulatedCommPort);
        WriteFile(program.filePath(QStringLiteral("rovelin.cfg")),
                  "UseFTDI=0\r\nUseCDC=1\r\nUseHID=0\r\nTimeout=0\r\n");
        Open();
    }
    void TearDown() override {
        messages.reset();
        session.reset();
        SetSimulatedCommOpener({});
        tSimRegistry::Instance().Clear();
    }
    // A session as the program starts one: its settings loaded, its state in `state`.
    void Open() {
        messages.reset();
        session = std::make_unique<tSession>(host, program.path(), state.path());
        host.Session = session.get();
        session->LoadSettings();
        messages = std::make_unique<tDeviceMessages>(*session);
    }
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // Chooses data/<name>/ with these experiment.txt lines, as the chooser and the window do:
    // the record, then the connection procedure, then a new lesson.
    void Choose(const QString& name, const QByteArray& lines) {
        const QString root = session->CatalogueRoot();
        WriteFile(root + name + QStringLiteral("/experiment.txt"), lines);
        tExperiment record;
        ASSERT_TRUE(LoadScenario(name, name + u'/', root, &record));
        session->SetExperiment(record);
        session->Connect();
        session->NewLesson("{\\rtf1 description}", "{\\rtf1 report}");
    }
    static QByteArray T100(int freq, int average, int seriesCount = 1) {
        return QStringLiteral("SensorName=T100\r\nFreq=%1\r\nAverage=%2\r\nSeriesCount=%3\r\nCaptionY=T\r\n")
            .arg(freq)
            .arg(average)
            .arg(seriesCount)
            .toUtf8();
    }
    static std::shared_ptr<tSimSensor> PlugT100(const tSimFaults& faults = {}) {
        tSimSensorConfig config = tSimRegistry::DemoConfig(QStringLiteral("T100"), false);
        config.Faults = faults;
        return tSimRegistry::Instance().Add(QStringLiteral("sim:T100"), config);
    }
    // A run of 100 values a second on a T100 showing `faults`, until a fault stops it; `told` gets
    // what the session told.
    void RunUntilAFaultStopsIt(const tSimFaults& faults, QStringList& told) {
        PlugT100(faults);
        Choose(QStringLiteral("a"), T100(10000, 1));
        QObject::connect(session.get(), &tSession::Fault, [&told](const QString& text) { told << text; });
        session->Start(0);
        ASSERT_EVENTUALLY(!session->IsMeasuring(), 20000);
    }
    tRun* ShownRun() const { return session->Lesson()->SeriesRun(session->CurrentSeries()); }
    // A run of at least `points` points into series `slot`, stopped.
    void Measure(int points, int slot = 0) {
        session->Start(slot);
        ASSERT_TRUE(session->IsMeasuring());
        ASSERT_EVENTUALLY(ShownRun()->Count() >= points, 20000);
        session->Stop();
    }
};
}  // namespace

// ---- connecting ----

TEST_F(tSessionTest, ConnectingFindsTheScenariosSensorOrSaysWhy) {
    session->Connect();
    EXPECT_EQ(host.Warnings, QStringList{LoadStr(msg::ChooseExperimentFirst)});
    EXPECT_EQ(host.Searches, 0);

    // A scenario without a sensor ("no" in any letter case) searches nothing and says nothing.
    host.Warnings.clear();
    Choose(QStringLiteral("Рост"), "SensorName=nO\r\n");
    EXPECT_EQ(host.Searches, 0);
    EXPECT_TRUE(host.Warnings.isEmpty());
    EXPECT_EQ(session->Device(), nullptr);

    // The name compares exactly.
    Choose(QStringLiteral("a"), "SensorName=t100\r\n");
    EXPECT_EQ(session->Device(), nullptr);
    EXPECT_EQ(host.Warnings, QStringList{kNotFound});

    int changes = 0;
    QObject::connect(session.get(), &tSession::DeviceChanged, [&] { ++changes; });
    Choose(QStringLiteral("b"), T100(50000, 1));
    ASSERT_NE(session->Device(), nullptr);
    EXPECT_EQ(session->Device()->GetName(), QStringLiteral("T100"));
    EXPECT_EQ(tSimRegistry::Instance().Find(QStringLiteral("sim:T100"))->PeriodUs(), 50000);
    EXPECT_GE(changes, 1);

    session->Disconnect();
    EXPECT_EQ(session->Device(), nullptr);
    // The sensor was let go: its port opens again.
    QString error;
    EXPECT_NE(OpenSimulatedCommPort(QStringLiteral("sim:T100"), error), nullptr) << error.toStdString();
}

// ---- a run ----

TEST_F(tSessionTest, ARunAppendsTheSensorsValuesAveragedToANewRunOfTheLesson) {
    const int freq = 10000, average = 5;
    Choose(QStringLiteral("a"), T100(freq, average));
    ASSERT_NE(session->Device(), nullptr);
    int started = 0, stopped = 0;
    qsizetype announced = 0;
    QObject::connect(session.get(), &tSession::RunStarted, [&] { ++started; });
    QObject::connect(session.get(), &tSession::RunStopped, [&] { ++stopped; });
    QObject::connect(session.get(), &tSession::PointsAdded,
                     [&](tRun*, qsizetype from, qsizetype count) { announced = from + count; });
    ASSERT_NO_FATAL_FAILURE(Measure(20));
    EXPECT_EQ(started, 1);
    EXPECT_EQ(stopped, 1);
    EXPECT_FALSE(session->IsMeasuring());

    const tRun* run = ShownRun();
    ASSERT_EQ(session->Lesson()->RunCount(), 1);
    EXPECT_EQ(run->SensorName, QStringLiteral("T100"));
    EXPECT_TRUE(run->Started.isValid());
    EXPECT_EQ(announced, run->Count());
    const std::vector<double> sent = tSimRegistry::Instance().Find(QStringLiteral("sim:T100"))->SentValues(0);
    ASSERT_GE(sent.size(), size_t(run->Count() * average));
    for (qsizetype k = 0; k < run->Count(); ++k) {
        double sum = 0;
        for (int i = 0; i < average; ++i) sum += sent[size_t(k * average + i)];
        EXPECT_NEAR(run->Y(k), sum / average, 1e-9) << k;
        EXPECT_NEAR(run->X(k), k * freq * 1e-6 * average, 1e-12) << k;
    }
    EXPECT_TRUE(session->Unsaved());
}

TEST_F(tSessionTest, HeldPointsWaitAndTheLabelLandsOnTheFirstOneAfter) {
    Choose(QStringLiteral("a"), T100(20000, 1));
    session->Start(0);
    ASSERT_EVENTUALLY(ShownRun()->Count() >= 3, 20000);
    session->HoldPoints(true);
    const qsizetype held = ShownRun()->Count();
    const std::size_t sentBefore =
        tSimRegistry::Instance().Find(QStringLiteral("sim:T100"))->SentValues(0).size();
    ASSERT_EVENTUALLY(
        tSimRegistry::Instance().Find(QStringLiteral("sim:T100"))->SentValues(0).size() >= sentBefore + 5,
        20000);
    rovelin_test::Pump(250);  // ticks ran meanwhile
    EXPECT_EQ(ShownRun()->Count(), held);
    host.PendingLabel = QStringLiteral("кипение");
    session->HoldPoints(false);
    ASSERT_EVENTUALLY(ShownRun()->Count() > held + 3, 20000);
    session->Stop();
    EXPECT_EQ(ShownRun()->Label(held), QStringLiteral("кипение"));
    EXPECT_TRUE(ShownRun()->Label(held + 1).isEmpty());
    EXPECT_TRUE(ShownRun()->Label(held - 1).isEmpty());
}

TEST_F(tSessionTest, EveryRunStaysInTheLessonAndGoesToTheSeriesItWasGiven) {
    Choose(QStringLiteral("a"), T100(10000, 2, 2));
    ASSERT_NO_FATAL_FAILURE(Measure(5, 0));
    ASSERT_NO_FATAL_FAILURE(Measure(5, 1));
    ASSERT_NO_FATAL_FAILURE(Measure(5, 0));
    tLesson* lesson = session->Lesson();
    ASSERT_EQ(lesson->RunCount(), 3);
    EXPECT_EQ(lesson->SeriesRun(0), lesson->Run(2));
    EXPECT_EQ(lesson->SeriesRun(1), lesson->Run(1));
    EXPECT_EQ(lesson->CurrentSeries(), 0);
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(lesson->Run(i)->Step(), 0.02) << i;
}

TEST_F(tSessionTest, TheElapsedTimeAndTheSilenceFollowTheCounter) {
    tSimFaults faults;
    faults.StallAfterValues = 5;
    faults.StallMs = 3600 * 1000;
    PlugT100(faults);
    Choose(QStringLiteral("a"), T100(100000, 1));
    const int64_t start = 5'000'000'000;
    host.Counter = start;
    session->Start(0);
    ASSERT_EVENTUALLY(ShownRun()->Count() == 4, 20000);
    const int64_t second = HighResFrequency();
    host.Counter = start + 9 * second + second / 10 * 3;
    EXPECT_EQ(ElapsedText(session->ElapsedTenths()), QStringLiteral("00:09.3"));
    EXPECT_EQ(session->SilentSeconds(), 0);  // not yet long enough to mean anything
    host.Counter = start + 12 * second;
    EXPECT_EQ(session->SilentSeconds(), 12);
    host.Counter = start + int64_t(100) * 60 * second;
    EXPECT_EQ(ElapsedText(session->ElapsedTenths()), QStringLiteral("100:00.0"));
    session->Stop();
    EXPECT_EQ(session->SilentSeconds(), 0);  // silence is a run's
}

// ---- faults ----

TEST_F(tSessionTest, ARemovedSensorStopsTheRunOnceAndStaysConnected) {
    tSimFaults faults;
    faults.RemovedAfterValues = 15;
    QStringList told;
    ASSERT_NO_FATAL_FAILURE(RunUntilAFaultStopsIt(faults, told));
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("Внимание! Измерения были остановлены.")));
    EXPECT_NE(session->Device(), nullptr);
    // The values before the removal are in the run; the newest waits for its successor.
    EXPECT_EQ(ShownRun()->Count(), 14);
}

TEST_F(tSessionTest, AnUnpluggedSensorIsToldOnceAndThePluggedInOneConnectsAgain) {
    tCapturedLog log;
    tPostedCount readErrors(WM_DEVICE_READ_ERROR);
    tSimFaults faults;
    faults.UnplugAfterValues = 15;
    QStringList told;
    ASSERT_NO_FATAL_FAILURE(RunUntilAFaultStopsIt(faults, told));
    rovelin_test::Pump(300);  // what the lost sensor posted before its thread was joined

    const QString readError = LoadStr(msg::ReadError);
    EXPECT_EQ(told, QStringList{readError});
    EXPECT_GE(readErrors.Count(), 1);
    EXPECT_EQ(log.Count(readError), readErrors.Count() - 1);  // every further one went to the log

    // Plugged in again: the next procedure finds it, and a whole run goes by without a fault.
    PlugT100();
    session->Connect();
    ASSERT_NE(session->Device(), nullptr);
    ASSERT_NO_FATAL_FAILURE(Measure(5));
    EXPECT_EQ(told.size(), 1);
    EXPECT_EQ(session->Lesson()->RunCount(), 2);
}

TEST_F(tSessionTest, TheConnectedSensorsUnplugEndsTheRunAtOnceAndClosesItsPort) {
    // The sensor's device node, which the kernel takes away with the sensor.
    const QString node = out.filePath(QStringLiteral("ttyUSB0"));
    WriteFile(node, QByteArray());
    Choose(QStringLiteral("a"), T100(10000, 1));
    session->AdoptDevice(std::make_unique<tDevice>(node, session->Settings(), tTransport::Serial));
    QStringList told;
    QObject::connect(session.get(), &tSession::Fault, [&told](const QString& text) { told << text; });
    session->Start(0);
    ASSERT_TRUE(session->IsMeasuring());

    // Another USB device goes: the run goes on.
    session->UsbDeviceRemoved();
    EXPECT_TRUE(session->IsMeasuring());
    EXPECT_NE(session->Device(), nullptr);

    // The sensor goes: the run ends at once, told once, and its port is let go.
    ASSERT_TRUE(QFile::remove(node));
    session->UsbDeviceRemoved();
    EXPECT_FALSE(session->IsMeasuring());
    EXPECT_EQ(session->Device(), nullptr);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("Внимание! Измерения были остановлены.")));

    // Unplugged between runs: the port goes without a box.
    WriteFile(node, QByteArray());
    session->AdoptDevice(std::make_unique<tDevice>(node, session->Settings(), tTransport::Serial));
    ASSERT_TRUE(QFile::remove(node));
    session->UsbDeviceRemoved();
    EXPECT_EQ(session->Device(), nullptr);
    EXPECT_EQ(told.size(), 1);
}

// ---- the lesson file ----

TEST_F(tSessionTest, ASavedLessonOpensWithItsRunsScenarioAndDocuments) {
    Choose(QStringLiteral("Остывание"), T100(20000, 1, 2) + "MaxY=12,5\r\nFormatY=0.0\r\nDemo=hot-water\r\n");
    host.PendingLabel = QStringLiteral("закипела");
    ASSERT_NO_FATAL_FAILURE(Measure(6, 1));
    session->Lesson()->SetMarkers(0, {3, 1});
    session->ReportEdited();
    EXPECT_TRUE(session->Unsaved());

    // Unsaved work: "Don't save" goes on, "Cancel" does not, "Save" asks where and writes.
    host.SaveAnswer = tSaveChoice::Discard;
    EXPECT_TRUE(session->ConfirmSaved());
    host.SaveAnswer = tSaveChoice::Cancel;
    EXPECT_FALSE(session->ConfirmSaved());
    QString saved;
    QObject::connect(session.get(), &tSession::LessonSaved, [&](const QString& path) { saved = path; });
    host.SaveAnswer = tSaveChoice::Save;
    host.SavePath = out.filePath(QStringLiteral("урок"));
    EXPECT_TRUE(session->ConfirmSaved());
    const QString path = out.filePath(QStringLiteral("урок.rovelin"));
    EXPECT_EQ(saved, path);
    EXPECT_EQ(session->LessonPath(), path);
    EXPECT_FALSE(session->Unsaved());
    EXPECT_EQ(host.SaveQuestions, 3);
    const tExperiment chosen = *session->Experiment();
    const std::vector<double> values = {ShownRun()->Y(0), ShownRun()->Y(5)};

    // A later session (the program started again) lists the file and opens it.
    Open();
    ASSERT_EQ(session->RecentLessons().value(0), path);
    std::unique_ptr<tOpenedLesson> opened = session->ReadLessonFile(path, false);
    ASSERT_NE(opened, nullptr);
    const tExperiment& e = opened->Scenario;
    EXPECT_EQ(e.Name, QStringLiteral("Остывание"));
    EXPECT_EQ(QDir(e.Path).absolutePath(), QDir(chosen.Path).absolutePath());
    EXPECT_EQ(e.SensorName, chosen.SensorName);
    EXPECT_EQ(e.Freq, 20000);
    EXPECT_EQ(e.SeriesCount, 2);
    EXPECT_DOUBLE_EQ(e.MaxY, 12.5);
    EXPECT_EQ(e.FormatY, QStringLiteral("0.0"));
    EXPECT_EQ(e.Demo, QStringLiteral("hot-water"));
    EXPECT_EQ(e.CaptionY, QStringLiteral("T"));

    session->SetExperiment(e);
    session->NewLesson();
    session->AdoptLesson(*opened);
    tLesson* lesson = session->Lesson();
    ASSERT_EQ(lesson->RunCount(), 1);
    EXPECT_EQ(session->CurrentSeries(), 1);
    EXPECT_EQ(lesson->SeriesRun(1), lesson->Run(0));
    EXPECT_EQ(lesson->Run(0)->Label(0), QStringLiteral("закипела"));
    EXPECT_EQ(lesson->Run(0)->Y(0), values[0]);
    EXPECT_EQ(lesson->Run(0)->Y(5), values[1]);
    EXPECT_EQ(lesson->Markers(0), (tLesson::tMarkers{3, 1}));
    EXPECT_EQ(lesson->Document(tLesson::Report), host.Report);
    EXPECT_EQ(lesson->Document(tLesson::Description), QByteArray("{\\rtf1 description}"));
    EXPECT_FALSE(session->Unsaved());
    EXPECT_EQ(session->LessonPath(), path);

    // Saved again without a question, into the same file.
    host.SavePath.clear();
    lesson->SetMarkers(0, {4, -1});
    ASSERT_TRUE(session->Save());
    tLesson back;
    ReadLesson(path, back);
    EXPECT_EQ(back.Markers(0), (tLesson::tMarkers{4, -1}));
}

TEST_F(tSessionTest, AFileThatCannotBeWrittenIsToldAndTheWorkStaysUnsaved) {
    Choose(QStringLiteral("a"), "SensorName=NO\r\n");
    session->Lesson()->SetMarkers(0, {1, -1});
    host.SavePath = out.filePath(QStringLiteral("нет/такой/папки/урок.rovelin"));
    EXPECT_FALSE(session->Save());
    EXPECT_EQ(host.FileErrors.size(), 1);
    EXPECT_TRUE(session->Unsaved());
    EXPECT_TRUE(session->LessonPath().isEmpty());

    host.FileErrors.clear();
    const QString garbage = out.filePath(QStringLiteral("мусор.rovelin"));
    WriteFile(garbage, "not a lesson at all");
    EXPECT_EQ(session->ReadLessonFile(garbage, false), nullptr);
    EXPECT_EQ(host.FileErrors.size(), 1);
}

TEST_F(tSessionTest, TheAutosaveKeepsEveryStopAndAnUnfinishedSessionIsRecovered) {
    Choose(QStringLiteral("a"), T100(10000, 1));
    host.SavePath = out.filePath(QStringLiteral("урок.rovelin"));
    ASSERT_TRUE(session->Save());
    ASSERT_NO_FATAL_FAILURE(Measure(8));
    const qsizetype points = ShownRun()->Count();
    session->Autosave()->Flush();

    // The autosave holds the run as it was at the stop, and the file it belongs to.
    const QString autosave = tAutosave::FileIn(state.path());
    tLesson kept;
    QMap<QString, QString> meta;
    ReadLesson(autosave, kept, nullptr, &meta);
    ASSERT_EQ(kept.RunCount(), 1);
    EXPECT_EQ(kept.Run(0)->Count(), points);
    EXPECT_EQ(meta.value(QStringLiteral("origin")), host.SavePath);

    // The program ends without a normal close: the autosave stays and is found at the next start.
    session->KeepAutosave();
    Open();
    const QString left = session->LeftoverAutosave();
    ASSERT_EQ(left, autosave);
    std::unique_ptr<tOpenedLesson> opened = session->ReadLessonFile(left, true);
    ASSERT_NE(opened, nullptr);
    session->SetExperiment(opened->Scenario);
    session->NewLesson();
    session->AdoptLesson(*opened);
    EXPECT_EQ(session->Lesson()->Run(0)->Count(), points);
    EXPECT_TRUE(session->Unsaved());  // the restored work is in no lesson file yet
    EXPECT_EQ(session->LessonPath(), host.SavePath);

    // Saving writes it back to the file it came from; a normal end removes the autosave.
    ASSERT_TRUE(session->Save());
    tLesson back;
    ReadLesson(host.SavePath, back);
    EXPECT_EQ(back.Run(0)->Count(), points);
    session->DiscardAutosave();
    EXPECT_FALSE(QFile::exists(autosave));
}

// ---- the English interface ----

TEST_F(tSessionTest, TheEnglishInterfaceTakesTheEnglishCatalogueAndSaysWhyInEnglish) {
    // A program folder holding both catalogues.
    ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("data")));
    ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("data-en")));
    ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
    const QString englishRoot = session->CatalogueRoot();
    Choose(QStringLiteral("a"), "SensorName=P620\r\n");  // only a T100 answers
    const QStringList told = host.WholeWarnings;
    // A school's own data/ without an English catalogue beside it serves the English interface too.
    ASSERT_TRUE(QDir(program.filePath(QStringLiteral("data-en"))).removeRecursively());
    const QString withoutEnglish = session->CatalogueRoot();
    InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);

    EXPECT_EQ(englishRoot, program.path() + QStringLiteral("/data-en/"));
    EXPECT_EQ(withoutEnglish, program.path() + QStringLiteral("/data/"));
    // The Russian interface keeps data/ although data-en/ is there.
    ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("data-en")));
    EXPECT_EQ(session->CatalogueRoot(), program.path() + QStringLiteral("/data/"));

    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(
        told[0].startsWith(QStringLiteral("The sensor for this experiment was not found.\r\n\r\n"
                                          "This experiment needs the sensor P620.\r\n"
                                          "Found: T100 on the demo port.\r\nCheck: ")))
        << told[0].toStdString();
    EXPECT_FALSE(told[0].contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04FF}]"))))
        << told[0].toStdString();
}
