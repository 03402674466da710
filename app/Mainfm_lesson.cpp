// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: the lesson file as the user sees it — open, save, save as and the last five lessons in
// the File menu, the caption with the file and the unsaved mark, the offer to restore an autosave,
// the list of runs. What a lesson holds and how it is read and written is the session's.
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextDocument>

#include "app/Mainfm.h"
#include "app/Runsdialog.h"
#include "components/Chart.h"
#include "components/Dialogfolder.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "experiments/Experimentfr.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "foundation/Milestones.h"
#include "foundation/Stringtable.h"

namespace {
QStringList LessonFilters() {
    return {TfmMain::tr("Уроки (*.%1)").arg(QLatin1String(lessonfile::Suffix)), TfmMain::tr("Все файлы (*)")};
}

// A document of an opened lesson. The program wrote it, so no size limit: refusing one would lose
// a pupil's work. One that cannot be read gives way to the scenario's own. The user may cancel a
// long reading: the view then shows a placeholder and `unread` holds the document's bytes, which
// the lesson keeps as they are (null otherwise).
std::unique_ptr<QTextDocument> LessonDocument(const QByteArray& rtf, QByteArray& unread) {
    unread = QByteArray();
    if (rtf.isEmpty()) return nullptr;
    try {
        return ReadRtfAside(rtf, kUnlimitedRtf, true);
    } catch (const tRtfCancelled&) {
        // untranslated: a line of the log
        LogAdd(QStringLiteral("Открытие документа урока отменено"));
        unread = rtf;
        auto document = std::make_unique<QTextDocument>();
        document->setPlainText(
            TfmMain::tr("Документ не открыт (открытие отменено). Он сохранится в уроке без изменений."));
        return document;
    } catch (const tException& e) {
        // untranslated: a line of the log
        LogAdd(QStringLiteral("Документ урока не прочитан: ") + e.Message());
        return nullptr;
    }
}

// The recovery question names the scenario, the lesson's file and when the work was kept.
QString RecoveryQuestion(const QString& lessonFile, const QString& scenario, const QDateTime& kept) {
    const QString lesson =
        lessonFile.isEmpty() ? TfmMain::tr("ещё не сохранялся в файл") : QDir::toNativeSeparators(lessonFile);
    return TfmMain::tr("Восстановить несохранённую работу?\r\n\r\nОпыт: %1\r\nУрок: %2\r\nСохранена: %3")
        .arg(scenario, lesson, QLocale().toString(kept, QStringLiteral("dd.MM.yyyy HH:mm")));
}
}  // namespace

void TfmMain::FillRecentMenu() {
    const QStringList recent = RecentLessons();
    FRecentActions[0]->setVisible(!recent.isEmpty());  // the separator before them
    for (int i = 1; i < FRecentActions.size(); ++i) {
        QAction* action = FRecentActions[i];
        const bool used = i <= recent.size();
        action->setVisible(used);
        if (!used) continue;
        action->setText(QStringLiteral("&%1 %2").arg(i).arg(QFileInfo(recent[i - 1]).fileName()));
        action->setStatusTip(QDir::toNativeSeparators(recent[i - 1]));
    }
}

void TfmMain::UpdateTitle() {
    QString title = ProductTitle();
    if (Experiment()) title += QStringLiteral(" - ") + Experiment()->Name;
    if (!LessonPath().isEmpty()) title += QStringLiteral(" - ") + QFileInfo(LessonPath()).fileName();
    if (LessonUnsaved()) title += QStringLiteral(" *");
    setWindowTitle(title);
}

QByteArray TfmMain::EditedReport() {
    return FFrame ? WriteRtf(*FFrame->ReportView()->document()) : QByteArray();
}

void TfmMain::LessonFileFailed(const tLessonFileError& error) {
    ShowError(error.Message());
}

bool TfmMain::LessonSaveFailed(const tLessonFileError& error) {
    if (!error.SaveAsHelps()) {
        ShowError(error.Message());
        return false;
    }
    return ShowErrorOffering(error.Message(), tr("Сохранить как..."));
}

// ---------------------------------------------------------------------------------------------
// open and save

bool TfmMain::OpenLessonFile(const QString& path) {
    if (path.isEmpty()) return false;
    if (!ConfirmLessonSaved()) return false;
    return OpenLesson(QFileInfo(path).absoluteFilePath(), false);
}

bool TfmMain::OpenLesson(const QString& path, bool recovered) {
    // Everything is read before anything in the window changes: the lesson and its documents.
    std::unique_ptr<tOpenedLesson> opened = FSession->ReadLessonFile(path, recovered);
    if (!opened) return false;
    ShowOpenedLesson(*opened);
    LogMilestone(milestone::LessonOpened(QDir::toNativeSeparators(path)));
    return true;
}

void TfmMain::ShowOpenedLesson(tOpenedLesson& opened) {
    tFrameDocuments documents;
    documents.FromLesson = true;
    documents.Description =
        LessonDocument(opened.Lesson.Document(tLesson::Description), documents.DescriptionUnread);
    documents.Report = LessonDocument(opened.Lesson.Document(tLesson::Report), documents.ReportUnread);
    FSession->SetExperiment(opened.Scenario);

    Execute(acExperimentConnect);
    CreateExperimentFrame(std::move(documents));
    FSession->AdoptLesson(opened);
    FFrame->SetCurrentSeries(CurrentSeries());
    ShowMarkerReadout();
    UpdateTitle();
    UpdateActions();
    if (!opened.Note.isEmpty()) ShowWarning(opened.Note);
}

void TfmMain::OfferRecovery() {
    const QString left = FSession->LeftoverAutosave();
    if (left.isEmpty()) return;
    // Read before asking, so the question can say which lesson it was and when it was kept.
    std::unique_ptr<tOpenedLesson> opened = FSession->ReadLessonFile(left, true);
    if (!opened) {
        // Kept under another name for a teacher to look at, and not offered again.
        const QString kept = left + QStringLiteral(".damaged");
        QFile::remove(kept);
        QFile::rename(left, kept);
        return;
    }
    const QDateTime kept = QFileInfo(left).lastModified();
    if (!AskYesNo(RecoveryQuestion(opened->Path, opened->Scenario.Name, kept), QMessageBox::Question, true)) {
        QFile::remove(left);
        return;
    }
    ShowOpenedLesson(*opened);
    LogMilestone(milestone::LessonRecovered(QDir::toNativeSeparators(opened->Path), kept));
}

// ---------------------------------------------------------------------------------------------
// the list of runs

void TfmMain::acExperimentRunsExecute() {
    tLesson* lesson = Lesson();
    if (!lesson || lesson->RunCount() == 0) return;
    int first = lesson->IndexOf(lesson->SeriesRun(0));
    int second = lesson->IndexOf(lesson->SeriesRun(1));
    if (!AskSeriesRuns(first, second)) return;
    lesson->SetSeriesRun(0, lesson->Run(first));
    lesson->SetSeriesRun(1, lesson->Run(second));
}

bool TfmMain::AskSeriesRuns(int& first, int& second) {
    return AskSeriesRunsDialog(this, *Lesson(), FFrame && FFrame->Chart()->SeriesCount() > 1, first, second);
}

// ---------------------------------------------------------------------------------------------
// dialogs

QString TfmMain::AskLessonOpenFile() {
    return AskOpenFileName(this, tr("Открыть урок"), LessonFilters(), QLatin1String(lessonfile::Suffix));
}

QString TfmMain::AskLessonSaveFile() {
    // Saving again under another name starts beside the lesson's own file.
    const QString suffix = QLatin1String(lessonfile::Suffix);
    const QString proposed = !LessonPath().isEmpty()
                                 ? LessonPath()
                                 : (Experiment() ? Experiment()->Name : QString()) + u'.' + suffix;
    return AskSaveFileName(this, tr("Сохранить урок"), LessonFilters(), suffix, proposed, true);
}

tSaveChoice TfmMain::AskSaveChanges() {
    return AskSaveDiscardCancel(tr("Урок не сохранён. Сохранить изменения?"));
}
