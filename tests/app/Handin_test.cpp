// SPDX-License-Identifier: GPL-3.0-or-later
// «Сдать работу» and the school's folders from a fresh profile: what lands in the class exchange
// folder read back (the lesson by the lesson reader, the report by poppler, the table as text),
// the pupil's name asked once, no work replacing another's, the reason when there is no exchange
// folder; a lesson from a school catalogue finds its scenario again; the lesson dialog opens in
// the school's lesson folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "Apptest.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/support/Pdf.h"
#include "tests/support/Userfolders.h"
#include "tests/support/Wait.h"

using namespace rovelin_test;

namespace {
struct tHandingIn : ::testing::Test {
    tUserFolders profile;  // a fresh HOME; the school file is written into its system folder
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    QTemporaryDir out;

    // The administrator's school file.
    void SchoolFile(const QStringList& lines) {
        const QString dir = profile.SystemConfig() + QStringLiteral("/rovelin");
        QDir().mkpath(dir);
        QFile file(dir + QStringLiteral("/school.conf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(lines.join(u'\n').toUtf8() + '\n');
    }
    QString ClassFolder() const { return out.filePath(QStringLiteral("7Б")); }
    // A measured run of a simulated thermometer; the report has the pupil's words.
    std::unique_ptr<tTestMain> Measured() {
        auto w = MeasuredT100Window(folder, 5);
        w->Frame()->ReportView()->moveCursor(QTextCursor::End);
        w->Frame()->ReportView()->insertPlainText(QStringLiteral(" вода остыла"));
        return w;
    }
    QStringList HandedIn() const {
        return QDir(ClassFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
};

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

TEST_F(tHandingIn, LessonReportAndTableGoIntoAFolderOfTheirOwnAndTheNameIsAskedOnce) {
    SchoolFile({QStringLiteral("ExchangeFolder = ") + ClassFolder()});
    QDir().mkpath(ClassFolder());
    auto w = Measured();
    ASSERT_NE(w->Device(), nullptr);
    const tRun* run = w->Lesson()->SeriesRun(w->CurrentSeries());
    ASSERT_GE(run->Count(), 5);
    w->UpdateActions();
    EXPECT_TRUE(w->acFileHandIn->isEnabled());

    boxes.Input = QStringLiteral("  Иванова   Мария ");
    w->Execute(w->acFileHandIn);
    ASSERT_EQ(boxes.Seen.size(), 2u) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Input);
    EXPECT_EQ(boxes.Seen[0].text, QStringLiteral("Фамилия и имя ученика:"));
    EXPECT_EQ(boxes.Seen[1].kind, tBoxRequest::Information);
    const QStringList folders = HandedIn();
    ASSERT_EQ(folders.size(), 1);
    EXPECT_TRUE(folders[0].startsWith(QStringLiteral("Иванова Мария — Остывание — ")))
        << folders[0].toStdString();
    const QString where = QDir(ClassFolder()).filePath(folders[0]);
    EXPECT_TRUE(boxes.Seen[1].text.contains(QDir::toNativeSeparators(where)));
    EXPECT_TRUE(boxes.Seen[1].text.contains(QStringLiteral("Иванова Мария")));
    EXPECT_TRUE(w->stbMain->currentMessage().contains(QDir::toNativeSeparators(where)));
    const QString base = where + u'/' + folders[0];

    // The lesson, read back by the lesson reader: the run and the pupil's report.
    tLesson lesson;
    ReadLesson(base + QStringLiteral(".rovelin"), lesson);
    ASSERT_EQ(lesson.RunCount(), 1);
    EXPECT_EQ(lesson.Run(0)->Count(), run->Count());
    QTextDocument report;
    ReadRtf(lesson.Document(tLesson::Report), report);
    EXPECT_TRUE(report.toPlainText().contains(QStringLiteral("вода остыла"))) << "the edited report";
    // The report as PDF.
    if (PopplerInstalled()) {
        const tPdfPage page = PdfText(base + QStringLiteral(".pdf"));
        EXPECT_EQ(page.Find(QStringLiteral("остыла")).size(), 1u);
        EXPECT_GE(SmallestInkMarginMm(base + QStringLiteral(".pdf")), 24);
    }
    // The table: a header and one line per point.
    const QStringList lines =
        QString::fromUtf8(Read(base + QStringLiteral(".csv"))).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_GE(lines.size(), int(run->Count()) + 1);
    // The window's own lesson is as it was: no file, still unsaved.
    EXPECT_TRUE(w->LessonPath().isEmpty());
    EXPECT_TRUE(w->LessonUnsaved());

    // Again: the name is not asked, and the first hand-in stays as it is.
    const QByteArray first = Read(base + QStringLiteral(".rovelin"));
    boxes.Seen.clear();
    w->Execute(w->acFileHandIn);
    ASSERT_EQ(boxes.Seen.size(), 1u) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Information);
    EXPECT_EQ(HandedIn().size(), 2);
    EXPECT_EQ(Read(base + QStringLiteral(".rovelin")), first);
    for (const QString& name : HandedIn())
        EXPECT_TRUE(name.startsWith(QStringLiteral("Иванова Мария — Остывание — "))) << name.toStdString();
}

// A report whose reading was cancelled when the lesson opened: the hand-in's PDF is the report
// itself, read then, never the stand-in the tab shows; cancelled once more, nothing is handed in.
TEST_F(tHandingIn, AReportWhoseReadingWasCancelledIsHandedInAsItselfOrNotAtAll) {
    if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils not installed";
    SchoolFile({QStringLiteral("ExchangeFolder = ") + ClassFolder()});
    boxes.Input = QStringLiteral("Иванова Мария");
    QDir().mkpath(ClassFolder());
    auto w = Measured();
    ASSERT_NE(w->Device(), nullptr);
    // The tab as a cancelled reading leaves it: the stand-in, and the document kept as its bytes.
    TRichView* report = w->Frame()->ReportView();
    const QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 My report: the water cooled down.\\par }";
    report->setPlainText(QStringLiteral("Документ не открыт"));
    report->KeepUnread(rtf);

    w->Execute(w->acFileHandIn);
    ASSERT_EQ(HandedIn().size(), 1) << boxes.Texts().join(u'|').toStdString();
    const QString base = QDir(ClassFolder()).filePath(HandedIn()[0]) + u'/' + HandedIn()[0];
    const tPdfPage page = PdfText(base + QStringLiteral(".pdf"));
    EXPECT_EQ(page.Find(QStringLiteral("cooled")).size(), 1u) << "the report itself";
    EXPECT_TRUE(page.Find(QStringLiteral("открыт")).empty()) << "not the stand-in";

    // A report slow to read, and «Отмена» pressed in its wait box: the hand-in is taken back whole.
    report->KeepUnread(SlowToReadRtf());
    const tCancelWaitBox cancel;
    boxes.Seen.clear();
    w->acFileHandIn->trigger();  // through the window's guard, as a click goes
    EXPECT_TRUE(cancel.Pressed()) << "the wait box showed and was cancelled";
    EXPECT_EQ(HandedIn().size(), 1) << "no half hand-in";
    EXPECT_TRUE(boxes.Seen.empty()) << "a cancel is no error: " << boxes.Texts().join(u'|').toStdString();
}

TEST_F(tHandingIn, WithoutAnExchangeFolderTheBoxSaysWhyAndNothingIsWritten) {
    auto w = Measured();
    boxes.Input = QStringLiteral("Петров Пётр");
    w->Execute(w->acFileHandIn);
    ASSERT_FALSE(boxes.Seen.empty());
    EXPECT_EQ(boxes.Seen.back().kind, tBoxRequest::Warning);
    EXPECT_TRUE(boxes.Seen.back().text.contains(QStringLiteral("ExchangeFolder")))
        << boxes.Texts().join(u'|').toStdString();
    EXPECT_FALSE(QFileInfo::exists(ClassFolder()));

    // In another profile the name is asked again; one left empty ends the action without a word.
    tUserFolders other;
    boxes.Seen.clear();
    boxes.Input = QStringLiteral("   ");
    w->Execute(w->acFileHandIn);
    ASSERT_EQ(boxes.Seen.size(), 1u) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Input);
}

TEST_F(tHandingIn, ALessonFromASchoolCatalogueFindsItsScenarioAgain) {
    const QString school = out.filePath(QStringLiteral("school-share"));
    SchoolFile({QStringLiteral("Catalogue = ") + school + QStringLiteral("|Школа")});
    const QString scenario = school + QStringLiteral("/Свет/Освещённость/");
    QDir().mkpath(scenario);
    QFile file(scenario + QStringLiteral("experiment.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ScenarioLines(QStringLiteral("NO")).join(QStringLiteral("\r\n")).toUtf8());
    file.close();
    const QString lesson = out.filePath(QStringLiteral("свет.rovelin"));
    {
        tTestMain w(folder);
        w.ChooserRoot = school + u'/';
        w.Choose(QStringLiteral("Свет/Освещённость/"));
        ASSERT_NE(w.Experiment(), nullptr);
        w.NextLessonPath = lesson;
        w.Execute(w.acFileSaveLessonAs);
    }
    tTestMain w(folder);
    ASSERT_TRUE(w.OpenLessonFile(lesson));
    EXPECT_EQ(QDir(w.Experiment()->Path).absolutePath(), QDir(scenario).absolutePath());
}

TEST_F(tHandingIn, TheLessonDialogOpensInTheSchoolsLessonFolder) {
    const QString lessons = out.filePath(QStringLiteral("Уроки"));
    SchoolFile({QStringLiteral("LessonFolder = ") + lessons});
    tTestMain w(folder);
    QString shown;
    QTimer peek;
    peek.setInterval(20);
    QObject::connect(&peek, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible()) {
                shown = dialog->directory().absolutePath();
                dialog->reject();
                peek.stop();
            }
    });
    peek.start();
    EXPECT_TRUE(w.TfmMain::AskLessonOpenFile().isEmpty());
    EXPECT_EQ(shown, QDir(lessons).absolutePath());
}
