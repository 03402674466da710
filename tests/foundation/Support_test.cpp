// SPDX-License-Identifier: GPL-3.0-or-later
// Wine detection, message boxes, the handler guard and posted application messages.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <stdexcept>
#include <vector>

#include "foundation/Appmessage.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Guard.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "foundation/Stringtable.h"
#include "tests/foundation/Printers.h"

namespace {
class tCapturingLog : public tLogFile {
  public:
    void Write(const QString& raw) override { Lines << raw; }
    bool IsOn() const override { return true; }
    QStringList Lines;
};

// Answers every box and remembers what was asked.
class Boxes : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMessageBoxResponderForTests([this](const tBoxRequest& r) {
            Asked.push_back(r);
            return Answer;
        });
    }
    void TearDown() override { SetMessageBoxResponderForTests({}); }
    std::vector<tBoxRequest> Asked;
    tBoxAnswer Answer;
};

// ---- Wine ----------------------------------------------------------------------------------

TEST(IsWine, InjectedAnswerAndLogLine) {
    tCapturingLog log;
    gLogFile = &log;
    SetWineProbeForTests([] { return true; });
    EXPECT_TRUE(IsWine());
    SetWineProbeForTests([] { return false; });
    EXPECT_FALSE(IsWine());
    SetWineProbeForTests({});
    EXPECT_FALSE(IsWine()) << "a native system has no wine_server_call";
    gLogFile = nullptr;
    ASSERT_EQ(log.Lines.size(), 1);
    EXPECT_TRUE(log.Lines[0].endsWith(QStringLiteral(" WINE Detected\r\n")));
}

// ---- message boxes -------------------------------------------------------------------------

TEST_F(Boxes, TitlesAndIconsOfTheFourKinds) {
    ShowError(QStringLiteral("e"));
    ShowWarning(QStringLiteral("w"));
    Answer.accepted = false;
    EXPECT_FALSE(AskYesNo(QStringLiteral("q"), QMessageBox::Question, false));
    Answer = {true, QStringLiteral("label")};
    QString value = QStringLiteral("old");
    EXPECT_TRUE(InputQuery(QStringLiteral("p"), value));
    EXPECT_EQ(value, QStringLiteral("label"));
    Answer.accepted = false;
    EXPECT_FALSE(InputQuery(QStringLiteral("p"), value));
    EXPECT_EQ(value, QStringLiteral("label")) << "Cancel keeps the text";

    ASSERT_EQ(Asked.size(), 5u);
    EXPECT_EQ(Asked[0].kind, tBoxRequest::Error);
    EXPECT_EQ(Asked[0].title, QStringLiteral("Ошибка"));
    EXPECT_EQ(Asked[0].icon, QMessageBox::Critical);
    EXPECT_EQ(Asked[1].title, QStringLiteral("Внимание"));
    EXPECT_EQ(Asked[1].icon, QMessageBox::Warning);
    EXPECT_EQ(Asked[2].title, QStringLiteral("Подтверждение"));
    EXPECT_FALSE(Asked[2].defaultYes);
    EXPECT_EQ(Asked[3].title, QStringLiteral("Ввод данных"));
    EXPECT_EQ(Asked[3].text, QStringLiteral("p"));
}

// ---- the handler guard ---------------------------------------------------------------------

TEST_F(Boxes, GuardShowsProgramErrorsAndForeignOnesButNotAborts) {
    RunGuarded([] { throw tException(QStringLiteral("Невозможно открыть устройство")); });
    RunGuarded([] { throw tAbort(); });
    RunGuarded([] { throw std::runtime_error("bad thing"); });
    RunGuarded([] { throw 42; });
    bool ran = false;
    RunGuarded([&] { ran = true; });
    EXPECT_TRUE(ran);
    ASSERT_EQ(Asked.size(), 3u);
    EXPECT_EQ(Asked[0].kind, tBoxRequest::Error);
    EXPECT_EQ(Asked[0].text, QStringLiteral("Невозможно открыть устройство"));
    EXPECT_EQ(Asked[1].text, QStringLiteral("bad thing"));
    EXPECT_EQ(Asked[2].text, QStringLiteral("Non-VCL Exception"));
}

// ---- string table --------------------------------------------------------------------------

TEST(StringTable, TextsByNumberAndPlaceholders) {
    EXPECT_EQ(LoadStr(msg::ProgramStart), QStringLiteral("Запуск программы."));
    EXPECT_EQ(LoadStr(12345), QString());
    EXPECT_EQ(FormatStr(msg::CannotOpenDevice, QStringLiteral("/dev/ttyACM0"), QStringLiteral("%s busy")),
              QStringLiteral("Невозможно открыть устройство '/dev/ttyACM0'.\r\nСистема сообщает: %s busy"));
    EXPECT_EQ(FormatStr(msg::SettingsNotFound, QStringLiteral("a%sb")),
              QStringLiteral("Невозможно прочитать настройки из 'a%sb'.\r\nПричина: Файл не найден."));
}

// ---- application messages ------------------------------------------------------------------

// Stands in for the main window's filter on the application object.
class tMessageSink : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != tAppMessageEvent::EventType()) return false;
        auto* m = static_cast<tAppMessageEvent*>(event);
        Codes.push_back({m->Code, m->WParam, m->LParam});
        return true;
    }
    struct tGot {
        uint32_t code;
        intptr_t w, l;
    };
    std::vector<tGot> Codes;
};

TEST(AppMessage, ObserverSeesThePostAndTheApplicationGetsTheEvent) {
    std::vector<uint32_t> observed;
    SetAppMessageObserverForTests([&](uint32_t code, intptr_t, intptr_t) { observed.push_back(code); });
    tMessageSink sink;
    QCoreApplication::instance()->installEventFilter(&sink);
    PostAppMessage(WM_DEVICE_READ_ERROR);
    PostAppMessage(WM_MARKER_CHANGED, 7, -3);
    EXPECT_TRUE(sink.Codes.empty()) << "posting never waits for the handler";
    QCoreApplication::sendPostedEvents();
    QCoreApplication::instance()->removeEventFilter(&sink);
    SetAppMessageObserverForTests({});

    EXPECT_EQ(observed, (std::vector<uint32_t>{0x8065, 0x8067}));
    ASSERT_EQ(sink.Codes.size(), 2u);
    EXPECT_EQ(sink.Codes[1].code, 0x8067u);
    EXPECT_EQ(sink.Codes[1].w, 7);
    EXPECT_EQ(sink.Codes[1].l, -3);
}
}  // namespace
