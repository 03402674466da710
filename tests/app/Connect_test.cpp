// The connection procedure against simulated sensors: what the user is told, which device stays.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "Apptest.h"
#include "devices/Device.h"
#include "foundation/Stringtable.h"
#include "sim/Simports.h"

namespace {
const QString kNotFound = QStringLiteral("Не найден датчик для проведения эксперимента.");
const QString kFtdiHint = QStringLiteral(
    "Была предпринята попытка работы с датчиками через интерфейс FTDI, при этом драйверы установлены не "
    "были.\r\nПодключите датчик к ПК, дождитесь установки драйвера и повторите попытку.");

struct tConnecting : ::testing::Test {
    tSimulatorOn sim;
    tBoxRecorder boxes;
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
    EXPECT_EQ(boxes.Texts(), QStringList{kNotFound});
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
    EXPECT_EQ(boxes.Texts(), (QStringList{kFtdiHint, kNotFound}));
}

TEST_F(tConnecting, SerialIsNotSearchedByDefault) {
    tProgramFolder folder({QStringLiteral("UseFTDI=0"), QStringLiteral("UseHID=0")});
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_EQ(boxes.Texts(), QStringList{kNotFound});
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
    EXPECT_EQ(boxes.Texts(), QStringList{kNotFound});
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
    EXPECT_EQ(boxes.Texts(), (QStringList{kFtdiHint, kNotFound}));
    EXPECT_EQ(busyWhileSearching, std::vector<bool>{true});
    EXPECT_EQ(busyUnderBox, (std::vector<bool>{false, false}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
