// SPDX-License-Identifier: GPL-3.0-or-later
// Real boxes, shown and measured: each is wide enough for its title, so no window manager cuts
// it; the program's name is not appended to any title.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QTimer>

#include "app/Program.h"
#include "foundation/Messagebox.h"

namespace {
struct tShown {
    QString Title;
    int Width = 0;
    int TextWidth = 0;  // the widest label inside
};

// Runs `show` (which blocks in a modal box), measures the box once it is up and closes it.
tShown Measure(const std::function<void()>& show) {
    SetMessageBoxResponderForTests({});
    tShown shown;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll.stop();
        shown.Title = box->windowTitle();
        shown.Width = box->width();
        for (QLabel* label : box->findChildren<QLabel*>())
            shown.TextWidth = std::max(shown.TextWidth, label->width());
        box->done(QDialog::Rejected);
    });
    poll.start();
    show();
    return shown;
}

int TitleBarNeed(const QString& title) {
    // The title in the title-bar font, and three buttons of the bar.
    return QFontMetrics(QFontDatabase::systemFont(QFontDatabase::TitleFont)).horizontalAdvance(title) + 90;
}
}  // namespace

TEST(Boxes, EveryBoxIsWiderThanItsTitle) {
    const tShown warning = Measure([] { ShowWarning(QStringLiteral("Да.")); });
    EXPECT_EQ(warning.Title, QStringLiteral("Внимание"));
    EXPECT_GE(warning.Width, TitleBarNeed(warning.Title));
    const tShown question = Measure([] { AskYesNo(QStringLiteral("Да?"), QMessageBox::Question, true); });
    EXPECT_GE(question.Width, TitleBarNeed(question.Title));
    QString value;
    const tShown input = Measure([&] { InputQuery(QStringLiteral("Введите метку точки:"), value); });
    EXPECT_EQ(input.Title, QStringLiteral("Ввод данных"));
    EXPECT_GE(input.Width, TitleBarNeed(input.Title));
    EXPECT_GE(input.TextWidth,
              QFontMetrics(QApplication::font()).horizontalAdvance(QStringLiteral("Введите метку точки:")));
    // Qt appends the application's display name to every title on Linux: there is none to append.
    EXPECT_FALSE(QGuiApplication::applicationDisplayName().contains(ProductTitle()));
}
