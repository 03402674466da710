// SPDX-License-Identifier: GPL-3.0-or-later
// Handing work in: the three files land in a folder of their own in the exchange folder, read back
// as what was handed in; another pupil's work is never touched; a failure leaves nothing behind
// and says why.
#include "lesson/Handin.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "foundation/Exceptions.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"

namespace {
const QDateTime kWhen(QDate(2026, 12, 9), QTime(10, 45, 12));
const QString kFolder = QStringLiteral("Иванова Мария — Остывание воды — 2026-12-09 10.45");

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class HandingIn : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FExchange = FDir.filePath(QStringLiteral("сдача 5А"));
        ASSERT_TRUE(QDir().mkpath(FExchange));
        // The lesson as saved by the pupil: one run with a label.
        tLesson lesson;
        lesson.SetScenario(QStringLiteral("Остывание воды"), QStringLiteral("Тепло/Остывание воды/"),
                           {{QStringLiteral("SensorName"), QStringLiteral("T100")}});
        tRun* run = lesson.AddRun(1.0);
        run->SensorName = QStringLiteral("T100");
        for (int i = 0; i < 100; ++i) run->Append(80 - i * 0.5);
        run->SetLabel(3, QStringLiteral("лёд"));
        FLessonPath = FDir.filePath(QStringLiteral("урок.rovelin"));
        tLessonWriter(FLessonPath).Save(lesson);
    }
    QList<tHandInPart> Parts() const {
        return {HandInCopy(QStringLiteral("rovelin"), FLessonPath),
                HandInBytes(QStringLiteral("pdf"), QByteArray("%PDF-1.4 отчёт")),
                HandInBytes(QStringLiteral("csv"), QByteArray("t, c;T, °C\r\n0;80\r\n"))};
    }
    tHandInResult Run(const QString& exchange, const QString& pupil = QStringLiteral("Иванова Мария")) {
        return ::HandIn(exchange, pupil, QStringLiteral("Остывание воды"), kWhen, Parts());
    }

    QTemporaryDir FDir;
    QString FExchange;
    QString FLessonPath;
};

TEST_F(HandingIn, TheThreeFilesLandInAFolderNamedAfterPupilScenarioAndTime) {
    const tHandInResult result = Run(FExchange);
    ASSERT_TRUE(result.Ok) << result.Reason.toStdString();
    EXPECT_EQ(result.Folder, QDir(FExchange).filePath(kFolder));
    EXPECT_EQ(QDir(result.Folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({kFolder + QStringLiteral(".csv"), kFolder + QStringLiteral(".pdf"),
                           kFolder + QStringLiteral(".rovelin")}));
    EXPECT_EQ(ReadFile(result.Folder + u'/' + kFolder + QStringLiteral(".pdf")),
              QByteArray("%PDF-1.4 отчёт"));
    EXPECT_EQ(ReadFile(result.Folder + u'/' + kFolder + QStringLiteral(".csv")),
              QByteArray("t, c;T, °C\r\n0;80\r\n"));
    // The teacher opens the handed-in lesson: the run and its label are there.
    tLesson back;
    ReadLesson(result.Folder + u'/' + kFolder + QStringLiteral(".rovelin"), back);
    ASSERT_EQ(back.RunCount(), 1);
    EXPECT_EQ(back.Run(0)->Count(), 100);
    EXPECT_EQ(back.Run(0)->Label(3), QStringLiteral("лёд"));
}

TEST_F(HandingIn, AnotherPupilsWorkIsNeverTouched) {
    // Someone's folder of the same name is there already (the same pupil a minute ago, or a
    // namesake), with a file in it.
    const QString theirs = QDir(FExchange).filePath(kFolder);
    ASSERT_TRUE(QDir().mkpath(theirs));
    QFile other(theirs + u'/' + kFolder + QStringLiteral(".pdf"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("чужая работа");
    other.close();

    const tHandInResult second = Run(FExchange);
    ASSERT_TRUE(second.Ok) << second.Reason.toStdString();
    EXPECT_EQ(second.Folder, theirs + QStringLiteral(" (2)"));
    const tHandInResult third = Run(FExchange);
    EXPECT_EQ(third.Folder, theirs + QStringLiteral(" (3)"));
    EXPECT_EQ(ReadFile(other.fileName()), QByteArray("чужая работа"));
    EXPECT_EQ(QDir(theirs).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // The files of a numbered folder carry its whole name.
    EXPECT_TRUE(QFile::exists(third.Folder + u'/' + kFolder + QStringLiteral(" (3).csv")));
}

TEST_F(HandingIn, AFailedFileTakesTheWholeHandInBackAndSaysWhy) {
    QList<tHandInPart> parts = Parts();
    parts.insert(2, tHandInPart{QStringLiteral("pdf"), [](const QString&) {
                                    throw tException(QStringLiteral("На диске нет места."));
                                }});
    const tHandInResult result =
        ::HandIn(FExchange, QStringLiteral("Иванова Мария"), QStringLiteral("Остывание воды"), kWhen, parts);
    EXPECT_FALSE(result.Ok);
    EXPECT_TRUE(result.Folder.isEmpty());
    EXPECT_EQ(result.Reason, QStringLiteral("Работа не сдана.\nНа диске нет места."));
    EXPECT_TRUE(QDir(FExchange).isEmpty()) << QDir(FExchange).entryList().join(u',').toStdString();

    // A lesson file that went away before the copy: the reason names it.
    QFile::remove(FLessonPath);
    const tHandInResult missing = Run(FExchange);
    EXPECT_FALSE(missing.Ok);
    EXPECT_TRUE(missing.Reason.contains(FLessonPath)) << missing.Reason.toStdString();
    EXPECT_TRUE(QDir(FExchange).isEmpty());
}

TEST_F(HandingIn, NoExchangeFolderOrNoNameIsSaidInWords) {
    const struct {
        QString exchange;
        QString pupil;
        QString says;
    } cases[] = {
        {FExchange, QStringLiteral("  "), QStringLiteral("Не указаны фамилия и имя ученика.")},
        {QString(), QStringLiteral("Иванова Мария"), QStringLiteral("Папка для сдачи работ не задана.")},
        {FDir.filePath(QStringLiteral("нет такой")), QStringLiteral("Иванова Мария"),
         QStringLiteral("недоступна: такой папки нет")},
        {FLessonPath, QStringLiteral("Иванова Мария"), QStringLiteral("недоступна: это не папка")},
    };
    for (const auto& c : cases) {
        const tHandInResult result = Run(c.exchange, c.pupil);
        EXPECT_FALSE(result.Ok);
        EXPECT_TRUE(result.Reason.contains(c.says)) << result.Reason.toStdString();
    }
    EXPECT_TRUE(QDir(FExchange).isEmpty());
}

TEST_F(HandingIn, AnExchangeFolderThatRefusesThePupilIsSaidInWords) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
    ::chmod(QFile::encodeName(FExchange).constData(), 0555);
    const tHandInResult refused = Run(FExchange);
    ::chmod(QFile::encodeName(FExchange).constData(), 0755);
    EXPECT_FALSE(refused.Ok);
    EXPECT_TRUE(refused.Reason.contains(QStringLiteral("невозможно создать в ней папку")))
        << refused.Reason.toStdString();
}

TEST_F(HandingIn, NamesAreMadeSafeForEveryFileSystem) {
    EXPECT_EQ(
        HandInFolderName(QStringLiteral(" Петров   Пётр\t"), QStringLiteral("Звук: 1/2 «громко»?"), kWhen),
        QStringLiteral("Петров Пётр — Звук_ 1_2 «громко»_ — 2026-12-09 10.45"));
    EXPECT_EQ(HandInFolderName(QStringLiteral("Петров Пётр..."), QString(), kWhen),
              QStringLiteral("Петров Пётр — 2026-12-09 10.45"));
    // Long names are cut so that the folder and its files fit a file system's 255 bytes.
    const QString name = HandInFolderName(QString(300, u'Ж'), QString(300, u'Щ'), kWhen);
    EXPECT_LE((name + QStringLiteral(" (99).rovelin.XXXXXX")).toUtf8().size(), 255);
    const tHandInResult result = ::HandIn(FExchange, QString(300, u'Ж'), QString(300, u'Щ'), kWhen, Parts());
    ASSERT_TRUE(result.Ok) << result.Reason.toStdString();
    EXPECT_EQ(QDir(result.Folder).entryList(QDir::Files).size(), 3);
}
}  // namespace
