// SPDX-License-Identifier: GPL-3.0-or-later
// The lesson file in the window: save and reopen give the same curves, labels, markers and
// documents (the chart pixel for pixel); bad files change nothing; unsaved work is offered for
// saving before the exit and the switch questions; the autosave is offered back after a crash;
// a lesson given on the command line or by a second start opens.
#include "lesson/Lesson.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUuid>

#include "Apptest.h"
#include "app/Program.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "foundation/Appmessage.h"
#include "foundation/Stringtable.h"
#include "lesson/Autosave.h"
#include "lesson/Lessonfile.h"
#include "tests/support/Wait.h"

namespace {
struct tLessonWindow : tLessonFixture {
    // A run of a simulated thermometer with one labelled point, stopped.
    void MeasureRun(tTestMain& w, int points) {
        w.Execute(w.acExperimentStart);
        ASSERT_TRUE(w.IsMeasuring());
        tRun* run = w.Lesson()->SeriesRun(w.CurrentSeries());
        ASSERT_NE(run, nullptr);
        ASSERT_EVENTUALLY(run->Count() >= 2, 20000);
        boxes.Input = QStringLiteral("закипела");
        w.Execute(w.acExperimentMarkPoint);
        ASSERT_EVENTUALLY(run->Count() >= points, 20000);
        w.Execute(w.acExperimentStop);
    }

    static int Pictures(const QTextDocument& document) { return CountPictures(document); }
};

QImage Photo() {
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x * 4, y * 5, 128));
    return image;
}
}  // namespace

// ---- save and reopen ----

TEST_F(tLessonWindow, AReopenedLessonShowsEverythingAsItWasSaved) {
    const QString scenario = folder.AddScenario(
        QStringLiteral("Остывание воды"), ScenarioLines(QStringLiteral("T100"), 20000, 1, 2),
        SimpleRtf(QStringLiteral("Description of the experiment")), SimpleRtf(QStringLiteral("Report:")));
    QImage chartBefore;
    QString reportBefore;
    {
        tTestMain w(folder);
        w.resize(900, 700);
        w.show();
        w.Choose(scenario);
        MeasureRun(w, 8);
        MeasureRun(w, 5);
        ASSERT_EQ(w.Lesson()->RunCount(), 2);
        w.Frame()->SetMarkers(w.Frame()->Chart(), 3, 1);
        // As a click on the chart tells the window: the read-out and the statistics panel show.
        w.HandleAppMessage(WM_MARKER_CHANGED, reinterpret_cast<intptr_t>(w.Frame()->Chart()), 0);
        TRichView* report = w.Frame()->ReportView();
        report->moveCursor(QTextCursor::End);
        report->insertPlainText(QStringLiteral(" вода остыла за 10 минут"));
        report->InsertImage(Photo());
        EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral(" *")));

        w.NextLessonPath = LessonPath();
        w.Execute(w.acFileSaveLesson);
        // The file is written off the window's thread; the window hears when it is done.
        ASSERT_EVENTUALLY(!w.LessonUnsaved(), 20000);
        EXPECT_EQ(w.LessonPath(), LessonPath());
        EXPECT_EQ(w.windowTitle(), ProductTitle() + QStringLiteral(" - Остывание воды - урок.rovelin"));
        EXPECT_FALSE(w.LessonUnsaved());
        // The chart as it stands once every queued redraw is done: the same picture three times.
        int same = 0;
        ASSERT_TRUE(rovelin_test::WaitUntil([&] {
            const QImage now = w.Frame()->Chart()->ToImage();
            same = now == chartBefore ? same + 1 : 0;
            chartBefore = now;
            return same >= 3;
        }));
        reportBefore = report->toPlainText();
        EXPECT_EQ(Pictures(*report->document()), 1);
    }

    tTestMain w(folder);
    w.resize(900, 700);
    w.show();
    ASSERT_TRUE(w.OpenLessonFile(LessonPath()));
    EXPECT_EQ(w.windowTitle(), ProductTitle() + QStringLiteral(" - Остывание воды - урок.rovelin"));
    ASSERT_EQ(w.Lesson()->RunCount(), 2);
    EXPECT_TRUE(w.Lesson()->Run(0)->Labels().values().contains(QStringLiteral("закипела")));
    EXPECT_EQ(w.Frame()->FirstMarker(w.Frame()->Chart()), 3);
    EXPECT_EQ(w.Frame()->ReportView()->toPlainText(), reportBefore);
    EXPECT_EQ(Pictures(*w.Frame()->ReportView()->document()), 1);
    EXPECT_TRUE(
        w.Frame()->DescrView()->toPlainText().contains(QStringLiteral("Description of the experiment")));
    EXPECT_FALSE(w.LessonUnsaved());
    // The reopened chart draws itself through the same queued redraws: it comes to the same picture.
    QImage chartAfter;
    EXPECT_TRUE(rovelin_test::WaitUntil([&] {
        chartAfter = w.Frame()->Chart()->ToImage();
        return chartAfter == chartBefore;
    })) << "the reopened chart differs";
    ASSERT_EQ(chartAfter.size(), chartBefore.size());
    EXPECT_EQ(w.RecentLessons().value(0), LessonPath());

    // A new run goes on in the reopened lesson: it fills the series by the rotation, and the
    // older runs stay in the lesson.
    MeasureRun(w, 3);
    EXPECT_EQ(w.Lesson()->RunCount(), 3);
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral(" *")));
    w.Execute(w.acFileSaveLesson);  // into the same file, without a dialog
    ASSERT_EVENTUALLY(!w.LessonUnsaved(), 20000);
    tLesson back;
    ReadLesson(LessonPath(), back);
    EXPECT_EQ(back.RunCount(), 3);

    // The list of runs puts the first run back into the first series.
    w.SeriesAnswer[0] = 0;
    w.SeriesAnswer[1] = 2;
    w.Execute(w.acExperimentRuns);
    EXPECT_EQ(w.Lesson()->SeriesRun(0), w.Lesson()->Run(0));
    EXPECT_EQ(w.Lesson()->SeriesRun(1), w.Lesson()->Run(2));
}

TEST_F(tLessonWindow, ASensorlessScenarioCanBeSavedAndItsReportComesBack) {
    const QString scenario =
        folder.AddScenario(QStringLiteral("Наблюдение"), ScenarioLines(QStringLiteral("NO")), QByteArray(),
                           SimpleRtf(QStringLiteral("My report")));
    tTestMain w(folder);
    w.Choose(scenario);
    ASSERT_EQ(w.Device(), nullptr);
    w.UpdateActions();
    EXPECT_FALSE(w.acFileExport->isEnabled());
    EXPECT_TRUE(w.acFileSaveLesson->isEnabled());
    EXPECT_FALSE(w.LessonUnsaved());
    w.Frame()->ReportView()->moveCursor(QTextCursor::End);
    w.Frame()->ReportView()->insertPlainText(QStringLiteral(" — облака"));
    EXPECT_TRUE(w.LessonUnsaved());
    w.NextLessonPath = out.filePath(QStringLiteral("наблюдение"));  // the extension is added
    w.Execute(w.acFileSaveLessonAs);
    ASSERT_EVENTUALLY(!w.LessonUnsaved(), 20000);
    EXPECT_EQ(w.LessonPath(), out.filePath(QStringLiteral("наблюдение.rovelin")));

    // The scenario is gone from the catalogue: the lesson still opens, with its own documents.
    ASSERT_TRUE(QDir(folder.Data() + scenario).removeRecursively());
    tTestMain other(folder);
    ASSERT_TRUE(other.OpenLessonFile(w.LessonPath()));
    EXPECT_EQ(other.Experiment()->Name, QStringLiteral("Наблюдение"));
    const QString report = other.Frame()->ReportView()->toPlainText();
    EXPECT_TRUE(report.contains(QStringLiteral("My report")) && report.contains(QStringLiteral("— облака")))
        << report.toStdString();
    EXPECT_TRUE(other.Frame()->Chart()->isHidden());
}

// ---- bad files ----

TEST_F(tLessonWindow, ABadFileGivesAnErrorBoxAndChangesNothing) {
    const QString scenario = folder.AddScenario(QStringLiteral("Свет"), ScenarioLines(QStringLiteral("NO")),
                                                QByteArray(), SimpleRtf(QStringLiteral("Report")));
    tTestMain w(folder);
    w.Choose(scenario);
    TfrExperiment* frame = w.Frame();
    tLesson* lesson = w.Lesson();
    const QString title = w.windowTitle();

    QFile text(LessonPath(QStringLiteral("записка.rovelin")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("просто текст");
    text.close();
    boxes.Seen.clear();
    EXPECT_FALSE(w.OpenLessonFile(text.fileName()));
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Error);
    EXPECT_TRUE(boxes.Seen[0].text.contains(QStringLiteral("не является файлом урока")));
    EXPECT_EQ(w.Frame(), frame);
    EXPECT_EQ(w.Lesson(), lesson);
    EXPECT_EQ(w.windowTitle(), title);

    // A save into a folder that cannot exist: an error box, the lesson stays unsaved.
    w.Frame()->ReportView()->insertPlainText(QStringLiteral("x"));
    boxes.Seen.clear();
    EXPECT_FALSE(w.SaveLesson(text.fileName() + QStringLiteral("/урок.rovelin")));
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_TRUE(boxes.Seen[0].text.startsWith(QStringLiteral("Невозможно сохранить урок")));
    EXPECT_TRUE(w.LessonUnsaved());
    EXPECT_TRUE(w.LessonPath().isEmpty());
}

// ---- unsaved work on exit and on switching ----

TEST_F(tLessonWindow, ExitWithUnsavedWorkAsksOnlyWhetherToSave) {
    const QString scenario = folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("NO")));
    {
        tTestMain w(folder);
        w.show();
        w.Choose(scenario);

        // Nothing changed: only the exit question.
        boxes.Default = false;
        EXPECT_FALSE(w.close());
        EXPECT_EQ(w.SaveQuestions, 0);
        EXPECT_EQ(boxes.Texts(), QStringList{LoadStr(msg::ExitQuestion)});

        w.Frame()->ReportView()->insertPlainText(QStringLiteral("несохранённое"));
        // Cancel: nothing else is asked and the window stays.
        boxes.Seen.clear();
        w.SaveAnswer = tSaveChoice::Cancel;
        EXPECT_FALSE(w.close());
        EXPECT_EQ(w.SaveQuestions, 1);
        EXPECT_TRUE(boxes.Seen.empty());

        // Save, but the file dialog is cancelled: the window stays, no exit question.
        w.SaveAnswer = tSaveChoice::Save;
        EXPECT_FALSE(w.close());
        EXPECT_TRUE(boxes.Seen.empty());

        // Save into a file: saved and closed, without the exit question after it.
        w.NextLessonPath = LessonPath();
        EXPECT_TRUE(w.close());
        EXPECT_TRUE(QFile::exists(LessonPath()));
        EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
        EXPECT_EQ(w.SaveQuestions, 3);
    }
    tLesson saved;
    ReadLesson(LessonPath(), saved);
    QTextDocument report;
    ReadRtf(saved.Document(tLesson::Report), report);
    EXPECT_TRUE(report.toPlainText().contains(QStringLiteral("несохранённое")));

    // Don't save: the window closes at once and the autosave is gone.
    tTestMain w(folder);
    w.show();
    w.Choose(scenario);
    w.Frame()->ReportView()->insertPlainText(QStringLiteral(" ещё"));
    w.Autosave()->SaveNow();
    w.Autosave()->Flush();
    ASSERT_FALSE(tAutosave::Leftover(tAutosave::DefaultFolder()).isEmpty());
    boxes.Seen.clear();
    boxes.Default = false;  // an exit question, were there one, would keep the window
    w.SaveAnswer = tSaveChoice::Discard;
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(w.SaveQuestions, 1);
    EXPECT_TRUE(tAutosave::Leftover(tAutosave::DefaultFolder()).isEmpty());
}

TEST_F(tLessonWindow, SwitchingWithUnsavedWorkAsksOnlyWhetherToSave) {
    const QString a = folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("NO")));
    const QString b = folder.AddScenario(QStringLiteral("b"), ScenarioLines(QStringLiteral("NO")));
    tTestMain w(folder);
    w.Choose(a);
    w.Frame()->ReportView()->insertPlainText(QStringLiteral("работа"));
    TfrExperiment* frame = w.Frame();

    boxes.Seen.clear();
    w.SaveAnswer = tSaveChoice::Cancel;
    w.Choose(b);
    EXPECT_TRUE(boxes.Seen.empty());
    EXPECT_EQ(w.Frame(), frame);
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("a"));

    // Save: saved, then switched without a second question.
    w.SaveAnswer = tSaveChoice::Save;
    w.NextLessonPath = LessonPath();
    boxes.Default = false;  // a «данные будут потеряны», were there one, would keep scenario a
    w.Choose(b);
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    EXPECT_TRUE(QFile::exists(LessonPath()));
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("b"));
    EXPECT_TRUE(w.LessonPath().isEmpty());

    // Don't save: switched at once.
    w.Frame()->ReportView()->insertPlainText(QStringLiteral(" и ещё"));
    w.SaveAnswer = tSaveChoice::Discard;
    w.Choose(a);
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("a"));
    EXPECT_FALSE(w.LessonUnsaved());
    EXPECT_EQ(w.SaveQuestions, 3);

    // Nothing unsaved: the specified question, and No keeps the scenario.
    w.Choose(b);
    EXPECT_EQ(boxes.Texts(), QStringList{LoadStr(msg::NewExperimentQuestion)});
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("a"));
    EXPECT_EQ(w.SaveQuestions, 3);
}

// ---- recovery ----

TEST_F(tLessonWindow, WorkLeftByAnEndThatWasNotNormalIsOfferedBack) {
    const QString scenario =
        folder.AddScenario(QStringLiteral("Тепло ладони"), ScenarioLines(QStringLiteral("NO")));
    {
        tTestMain w(folder);
        w.show();
        w.Choose(scenario);
        w.Frame()->ReportView()->insertPlainText(QStringLiteral("ладонь тёплая"));
        w.Autosave()->SaveNow();
        w.Autosave()->Flush();
        // The session ends (as a power cut would end it, the window does not get to clean up).
        w.QuerySessionEnd();
        w.EndSession(true);
    }
    const QString left = tAutosave::Leftover(tAutosave::DefaultFolder());
    ASSERT_FALSE(left.isEmpty());

    {
        // No: the autosave goes.
        tTestMain w(folder);
        boxes.Default = false;
        boxes.Seen.clear();
        QFile::copy(left, left + QStringLiteral(".copy"));
        w.OfferRecovery();
        // The question names the scenario, the lesson (none yet) and the time the work was kept.
        ASSERT_EQ(boxes.Seen.size(), 1u);
        const QString question = boxes.Seen[0].text;
        EXPECT_TRUE(question.startsWith(QStringLiteral("Восстановить несохранённую работу?\r\n")));
        EXPECT_TRUE(question.contains(QStringLiteral("Опыт: Тепло ладони\r\n"))) << question.toStdString();
        EXPECT_TRUE(question.contains(QStringLiteral("Урок: ещё не сохранялся в файл")));
        EXPECT_TRUE(
            question.contains(QFileInfo(left).lastModified().toString(QStringLiteral("dd.MM.yyyy HH:mm"))));
        EXPECT_TRUE(tAutosave::Leftover(tAutosave::DefaultFolder()).isEmpty());
        EXPECT_EQ(w.Experiment(), nullptr);
        QFile::rename(left + QStringLiteral(".copy"), left);
    }

    tTestMain w(folder);
    boxes.Default = true;
    w.OfferRecovery();
    ASSERT_NE(w.Frame(), nullptr);
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("Тепло ладони"));
    EXPECT_TRUE(w.Frame()->ReportView()->toPlainText().contains(QStringLiteral("ладонь тёплая")));
    EXPECT_TRUE(w.LessonUnsaved());  // restored work still has to be saved
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral(" *")));
}

// ---- the command line and a second start ----

TEST(LessonArgument, PathsAreTakenAndSwitchesAreNot) {
    EXPECT_EQ(LessonArgument({QStringLiteral("/DEMO"), QStringLiteral("-log")}), QString());
    EXPECT_EQ(LessonArgument({QStringLiteral("/DEMO"), QStringLiteral("/home/ученик/урок 1.rovelin")}),
              QStringLiteral("/home/ученик/урок 1.rovelin"));
    EXPECT_EQ(LessonArgument({QStringLiteral("урок.ROVELIN")}),
              QDir::current().absoluteFilePath(QStringLiteral("урок.ROVELIN")));
}

namespace {
// A second program start with `arguments`, as a file manager's double-click makes it.
int RunSecondStart(const QString& instanceKey, const QStringList& arguments) {
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(QCoreApplication::applicationFilePath(),
                 QStringList{QStringLiteral("--second-start"), instanceKey} + arguments);
    if (!second.waitForStarted(20000)) return -1;
    const bool ended = rovelin_test::WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 30000);
    return ended ? second.exitCode() : -2;
}
}  // namespace

// The helper side: the program's entry as a second start (tests/app/Main.cpp calls it).
int RunSecondStartHelper(QApplication& app, int argc, char** argv) {
    if (argc < 3 || QByteArray(argv[1]) != "--second-start") return -1;
    tProgramOptions options;
    options.InstanceKey = QString::fromLocal8Bit(argv[2]);
    options.CreateMainWindow = [](const QString&) -> std::unique_ptr<QWidget> { return nullptr; };
    QStringList arguments;
    for (int i = 3; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    RunProgram(app, arguments, options);
    return 0;
}

TEST_F(tLessonWindow, ALessonOnTheCommandLineOrFromASecondStartOpens) {
    const QString scenario = folder.AddScenario(QStringLiteral("Пульс"), ScenarioLines(QStringLiteral("NO")));
    {
        tTestMain w(folder);
        w.Choose(scenario);
        w.Frame()->ReportView()->insertPlainText(QStringLiteral("первый"));
        ASSERT_TRUE(w.SaveLesson(LessonPath(QStringLiteral("первый.rovelin"))));
        w.Frame()->ReportView()->insertPlainText(QStringLiteral(" второй"));
        ASSERT_TRUE(w.SaveLesson(LessonPath(QStringLiteral("второй урок.rovelin"))));
    }
    tProgramOptions options;
    options.ProgramDir = folder.Path();
    options.InstanceKey = QStringLiteral("rovelin-test-") + QUuid::createUuid().toString(QUuid::Id128);
    tTestMain* window = nullptr;
    options.CreateMainWindow = [&](const QString&) {
        auto w = std::make_unique<tTestMain>(folder);
        window = w.get();
        return std::unique_ptr<QWidget>(std::move(w));
    };
    bool driven = false;
    options.RunLoop = [&] {
        EXPECT_EVENTUALLY(window->LessonPath() == LessonPath(QStringLiteral("первый.rovelin")));
        // A double-click on another lesson starts the program again: the running one opens it.
        EXPECT_EQ(RunSecondStart(options.InstanceKey, {LessonPath(QStringLiteral("второй урок.rovelin"))}),
                  0);
        EXPECT_EVENTUALLY(window->LessonPath() == LessonPath(QStringLiteral("второй урок.rovelin")));
        EXPECT_TRUE(window->Frame()->ReportView()->toPlainText().contains(QStringLiteral("первый второй")));
        driven = true;
        return 0;
    };
    RunProgram(*static_cast<QApplication*>(QCoreApplication::instance()),
               {LessonPath(QStringLiteral("первый.rovelin"))}, options);
    EXPECT_TRUE(driven);
}
