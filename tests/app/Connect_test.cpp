// SPDX-License-Identifier: GPL-3.0-or-later
// The connection procedure against simulated sensors: what the user is told, which device stays.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>

#include "Apptest.h"
#include "devices/Device.h"
#include "foundation/Settings.h"
#include "foundation/Stringtable.h"
#include "sim/Simports.h"

namespace {
const QString kNotFound = QStringLiteral("Не найден датчик для проведения эксперимента.");
const QString kFtdiHint = QStringLiteral(
    "Была предпринята попытка работы с датчиками через интерфейс FTDI, при этом драйверы установлены не "
    "были.\r\nПодключите датчик к ПК, дождитесь установки драйвера и повторите попытку.");

// The boxes' texts up to the added detail (after an empty line): the specified texts.
QStringList Heads(const tBoxRecorder& boxes) {
    QStringList heads;
    for (const QString& text : boxes.Texts()) heads << text.section(QStringLiteral("\r\n\r\n"), 0, 0);
    return heads;
}

// The search box, when one exists and is shown.
QWidget* VisibleProgressBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("fmSearchProgress") && w->isVisible()) return w;
    return nullptr;
}

struct tConnecting : ::testing::Test {
    tSimulatorOn sim;
    tBoxRecorder boxes;
};

// The window with the candidate pause of the real program.
class tPacedMain : public tTestMain {
  public:
    using tTestMain::tTestMain;
    std::unique_ptr<tSensorSearch> CreateSensorSearch() override {
        ++Searches;
        return std::make_unique<tSensorSearch>(Settings(), &Candidates);
    }
};
}  // namespace

TEST_F(tConnecting, WithoutScenarioItWarns) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.Execute(w.acExperimentConnect);
    EXPECT_EQ(boxes.Texts(), QStringList{LoadStr(msg::ChooseExperimentFirst)});
    EXPECT_EQ(w.Searches, 0);
    EXPECT_FALSE(w.acExperimentConnect->isChecked());
}

TEST_F(tConnecting, FoundSensorGetsThePeriod) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"), 50000)));
    ASSERT_NE(w.Device(), nullptr);
    EXPECT_EQ(w.Device()->GetName(), QStringLiteral("T100"));
    EXPECT_TRUE(w.acExperimentConnect->isChecked());
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    auto sensor = tSimRegistry::Instance().Find(QStringLiteral("sim:T100"));
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->PeriodUs(), 50000);
}

TEST_F(tConnecting, NameMustMatchExactly) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("t100"))));
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_EQ(Heads(boxes), QStringList{kNotFound});
    EXPECT_FALSE(w.acExperimentConnect->isChecked());
}

TEST_F(tConnecting, FirstOfTwoSensorsWinsAndTheOtherIsReleased) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.Candidates.Serial = {QStringLiteral("sim:L200"), QStringLiteral("sim:T100@1"),
                           QStringLiteral("sim:T100@2")};
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    ASSERT_NE(w.Device(), nullptr);
    EXPECT_EQ(w.Device()->PortName(), QStringLiteral("sim:T100@1"));
    // The others were closed again: their ports can be opened.
    QString error;
    EXPECT_NE(OpenSimulatedCommPort(QStringLiteral("sim:T100@2"), error), nullptr) << error.toStdString();
    EXPECT_NE(OpenSimulatedCommPort(QStringLiteral("sim:L200"), error), nullptr) << error.toStdString();
}

TEST_F(tConnecting, FtdiHintComesFirstThenSerialFindsTheSensor) {
    tProgramFolder folder(
        {QStringLiteral("UseFTDI=1"), QStringLiteral("UseCDC=1"), QStringLiteral("UseHID=0")});
    tTestMain w(folder);
    w.FtdiLoadedAnswer = false;
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    EXPECT_NE(w.Device(), nullptr);
    EXPECT_EQ(boxes.Texts(), QStringList{kFtdiHint});
}

TEST_F(tConnecting, FtdiHintAndNotFound) {
    tProgramFolder folder(
        {QStringLiteral("UseFTDI=1"), QStringLiteral("UseCDC=0"), QStringLiteral("UseHID=0")});
    tTestMain w(folder);
    w.FtdiLoadedAnswer = false;
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_EQ(Heads(boxes), (QStringList{kFtdiHint, kNotFound}));
}

TEST_F(tConnecting, SerialIsNotSearchedByDefault) {
    tProgramFolder folder({QStringLiteral("UseFTDI=0"), QStringLiteral("UseHID=0")});
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_EQ(Heads(boxes), QStringList{kNotFound});
}

TEST_F(tConnecting, ConnectingAgainWhileMeasuringStopsAndSearchesAgain) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    w.Execute(w.acExperimentStart);
    ASSERT_TRUE(w.IsMeasuring());
    tDevice* before = w.Device();
    w.Candidates.Serial.clear();  // the sensor has gone
    w.acExperimentConnect->trigger();
    EXPECT_FALSE(w.IsMeasuring());
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_NE(before, nullptr);
    EXPECT_EQ(Heads(boxes), QStringList{kNotFound});
    EXPECT_FALSE(w.acExperimentConnect->isChecked());
    EXPECT_EQ(w.Searches, 2);
}

TEST_F(tConnecting, WaitCursorDuringTheSearchesButNotOverTheBoxes) {
    tProgramFolder folder(
        {QStringLiteral("UseFTDI=1"), QStringLiteral("UseCDC=1"), QStringLiteral("UseHID=0")});
    tTestMain w(folder);
    w.FtdiLoadedAnswer = false;
    w.Candidates.Serial = {};
    std::vector<bool> busyWhileSearching, busyUnderBox;
    w.Candidates.WhileListing = [&] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        busyWhileSearching.push_back(cursor && cursor->shape() == Qt::WaitCursor);
    };
    SetMessageBoxResponderForTests([&](const tBoxRequest& request) {
        boxes.Seen.push_back(request);
        busyUnderBox.push_back(QGuiApplication::overrideCursor() != nullptr);
        return tBoxAnswer{};
    });
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    EXPECT_EQ(Heads(boxes), (QStringList{kFtdiHint, kNotFound}));
    EXPECT_EQ(busyWhileSearching, std::vector<bool>{true});
    EXPECT_EQ(busyUnderBox, (std::vector<bool>{false, false}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(tConnecting, ShippedSettingsInDemoModeConnectWithoutTheFtdiReminder) {
    tProgramFolder folder(QStringList{});
    ASSERT_TRUE(QFile::copy(QStringLiteral(ROVELIN_SOURCE_DIR "/app/rovelin.cfg"),
                            folder.Path() + QStringLiteral("/rovelin.cfg")));
    tPacedMain w(folder);
    w.FtdiLoadedAnswer = false;  // a Debian desktop without the vendor's library
    w.Candidates.Serial = DemoSerialCandidates();
    const int timeoutMs = w.Settings()->GetInt(QStringLiteral("Timeout"), 5000);
    QElapsedTimer clock;
    clock.start();
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    const qint64 elapsed = clock.elapsed();
    ASSERT_NE(w.Device(), nullptr) << boxes.Texts().join(u'|').toStdString();
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    // Four ports opened in parallel 100 ms apart, each waiting Timeout once.
    EXPECT_LT(elapsed, timeoutMs + 1000);
}

TEST_F(tConnecting, ProgressBoxNamesTheSensorWhileSearchingAndIsGoneAfter) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.show();
    QString shownText;
    int seenWhileListing = 0;
    w.Candidates.WhileListing = [&] {
        QWidget* box = VisibleProgressBox();
        if (!box) return;
        ++seenWhileListing;
        for (QLabel* label : box->findChildren<QLabel*>()) shownText += label->text() + u'|';
        EXPECT_TRUE(box->isModal());
        EXPECT_GE(box->width(), box->sizeHint().width());
    };
    w.Candidates.Serial = {QStringLiteral("sim:L200")};
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    EXPECT_EQ(seenWhileListing, 1);
    EXPECT_TRUE(shownText.startsWith(QStringLiteral("Поиск датчика T100...|Прошло ")))
        << shownText.toStdString();
    EXPECT_EQ(VisibleProgressBox(), nullptr);
    // The not-found box says what was wanted, what was found and what to check.
    ASSERT_EQ(boxes.Texts().size(), 1);
    const QStringList lines = boxes.Texts()[0].split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], kNotFound);
    EXPECT_EQ(lines[2], QStringLiteral("Для этого опыта нужен датчик T100."));
    EXPECT_EQ(lines[3], QStringLiteral("Найдены: L200 на демонстрационном порту."));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("Проверьте: подключите датчик T100")))
        << lines[4].toStdString();
}

TEST_F(tConnecting, FtdiReminderComesOncePerRun) {
    tProgramFolder folder({QStringLiteral("UseFTDI=1"), QStringLiteral("UseCDC=1"),
                           QStringLiteral("UseHID=0"), QStringLiteral("Timeout=0")});
    tTestMain w(folder);
    w.FtdiLoadedAnswer = false;
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    ASSERT_NE(w.Device(), nullptr);
    w.acExperimentConnect->trigger();  // connect again: the teacher has read the reminder
    ASSERT_NE(w.Device(), nullptr);
    EXPECT_EQ(boxes.Texts(), QStringList{kFtdiHint});
    EXPECT_EQ(w.Searches, 2);
}
