// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: the lesson file. Open, save, save as and the last five lessons in the File menu; the
// caption names the file and marks unsaved work; exit and scenario switching ask about unsaved
// work first; the autosave in the state folder and the offer to restore it; the list of runs.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QMenu>
#include <QSaveFile>
#include <QTextDocument>
#include <QTimer>

#include "app/Mainfm.h"
#include "app/Program.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Pulsefr.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "lesson/Autosave.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"

namespace {
constexpr int kRecentCount = 5;

QString LessonFilter() {
    return QStringLiteral("Уроки (*.%1);;Все файлы (*)").arg(QLatin1String(lessonfile::Suffix));
}

// The recent lessons live beside the autosave: the user's state, not the program's folder.
QString RecentListPath() {
    return QDir(tAutosave::DefaultFolder()).filePath(QStringLiteral("recent-lessons"));
}

QStringList LoadRecent() {
    QByteArray bytes;
    QString error;
    if (ReadBoundedFile(RecentListPath(), 64 * 1024, bytes, error) != tFileRead::Ok) return {};
    QStringList paths;
    for (const QByteArray& line : bytes.split('\n'))
        if (!line.isEmpty() && paths.size() < kRecentCount) paths << QString::fromUtf8(line);
    return paths;
}

void StoreRecent(const QStringList& paths) {
    QDir().mkpath(tAutosave::DefaultFolder());
    QSaveFile file(RecentListPath());
    if (!file.open(QIODevice::WriteOnly)) return;
    for (const QString& path : paths) file.write(path.toUtf8() + '\n');
    file.commit();  // a list that cannot be kept is no reason to bother the pupil
}

// The charts of a frame in the lesson's marker order: the main chart, then the heart-rate chart.
QList<TChart*> ChartsOf(TfrExperiment* frame) {
    QList<TChart*> charts{frame->Chart()};
    if (auto* pulse = qobject_cast<TfrPulse*>(frame)) charts << pulse->PulseChart();
    return charts;
}

// The scenario's experiment.txt as entries; the record's own values when the file is gone.
tLesson::tEntries EntriesOf(const tExperiment& e) {
    tLesson::tEntries entries;
    QByteArray bytes;
    QString error;
    if (!e.Path.isEmpty() && ReadBoundedFile(QDir(e.Path).filePath(QStringLiteral("experiment.txt")),
                                             ParameterFileLimit, bytes, error) == tFileRead::Ok) {
        for (const QString& line : SplitLines(DecodeText(bytes))) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq > 0) entries.append({line.left(eq), line.mid(eq + 1)});
        }
        if (!entries.isEmpty()) return entries;
    }
    auto number = [](double v) { return QString::number(v, 'g', 17); };
    entries = {{QStringLiteral("SensorName"), e.SensorName},
               {QStringLiteral("Freq"), QString::number(e.Freq)},
               {QStringLiteral("Average"), QString::number(e.Average)},
               {QStringLiteral("FormatY"), e.FormatY},
               {QStringLiteral("FormatX"), e.FormatX},
               {QStringLiteral("CaptionX"), e.CaptionX},
               {QStringLiteral("MinX"), number(e.MinX)},
               {QStringLiteral("MaxX"), number(e.MaxX)},
               {QStringLiteral("IncX"), number(e.IncX)},
               {QStringLiteral("CaptionY"), e.CaptionY},
               {QStringLiteral("MinY"), number(e.MinY)},
               {QStringLiteral("MaxY"), number(e.MaxY)},
               {QStringLiteral("IncY"), number(e.IncY)},
               {QStringLiteral("AutoSize"), QString::number(e.AutoSize ? 1 : 0)},
               {QStringLiteral("TwiceMarker"), QString::number(e.TwiceMarker ? 1 : 0)},
               {QStringLiteral("YOffset"), number(e.YOffset)},
               {QStringLiteral("SeriesCount"), QString::number(e.SeriesCount)}};
    return entries;
}

QByteArray ExperimentText(const tLesson::tEntries& entries) {
    QByteArray text;
    for (const auto& entry : entries)
        text += (entry.first + u'=' + entry.second + QStringLiteral("\r\n")).toUtf8();
    return text;
}

// "Запуск 2 — 04.03.2026 09:15:30, T100, 1234 точек" for the list of runs.
QString RunCaption(const tRun& run, int index) {
    QString text = QStringLiteral("Запуск %1").arg(index + 1);
    if (run.Started.isValid())
        text += QStringLiteral(" — ") + run.Started.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (!run.SensorName.isEmpty()) text += QStringLiteral(", ") + run.SensorName;
    return text + QStringLiteral(", точек: %1").arg(run.Count());
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// actions and menu

void TfmMain::CreateLessonActions() {
    const QString file = QStringLiteral("File");
    acFileOpenLesson = NewAction("acFileOpenLesson", file, QStringLiteral("&Открыть урок..."),
                                 QStringLiteral("Открыть сохранённый урок: графики, метки, описание и отчёт"),
                                 -1, &TfmMain::acFileOpenLessonExecute);
    acFileOpenLesson->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    acFileSaveLesson = NewAction("acFileSaveLesson", file, QStringLiteral("&Сохранить урок"),
                                 QStringLiteral("Сохранить урок: все запуски, метки, описание и отчёт"), -1,
                                 &TfmMain::acFileSaveLessonExecute);
    acFileSaveLesson->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    acFileSaveLessonAs =
        NewAction("acFileSaveLessonAs", file, QStringLiteral("Сохранить урок &как..."),
                  QStringLiteral("Сохранить урок в другой файл"), -1, &TfmMain::acFileSaveLessonAsExecute);
    acExperimentRuns =
        NewAction("acExperimentRuns", QStringLiteral("Experiment"), QStringLiteral("&Запуски..."),
                  QStringLiteral("Выбрать, какие запуски показывают два графика"), -1,
                  &TfmMain::acExperimentRunsExecute);
    FRecentLessons = LoadRecent();
}

void TfmMain::AddLessonMenuItems(QMenu* file) {
    file->addAction(acFileOpenLesson);
    file->addAction(acFileSaveLesson);
    file->addAction(acFileSaveLessonAs);
    FRecentMenu = file;
    for (int i = 0; i < kRecentCount; ++i) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("acFileRecent%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, i] {
            if (i < FRecentLessons.size()) OpenLessonFile(FRecentLessons[i]);
        });
        FRecentActions << action;
    }
    FRecentActions.prepend(file->addSeparator());
    for (int i = 1; i < FRecentActions.size(); ++i) file->addAction(FRecentActions[i]);
    file->addSeparator();
    FillRecentMenu();
}

void TfmMain::FillRecentMenu() {
    if (FRecentActions.isEmpty()) return;
    FRecentActions[0]->setVisible(!FRecentLessons.isEmpty());  // the separator before them
    for (int i = 0; i < kRecentCount; ++i) {
        QAction* action = FRecentActions[i + 1];
        const bool used = i < FRecentLessons.size();
        action->setVisible(used);
        if (!used) continue;
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(FRecentLessons[i]).fileName()));
        action->setStatusTip(QDir::toNativeSeparators(FRecentLessons[i]));
    }
}

void TfmMain::RememberRecent(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    FRecentLessons.removeAll(absolute);
    FRecentLessons.prepend(absolute);
    while (FRecentLessons.size() > kRecentCount) FRecentLessons.removeLast();
    StoreRecent(FRecentLessons);
    FillRecentMenu();
}

void TfmMain::UpdateLessonActions() {
    // Saving needs only an open scenario: with or without a sensor, also while measuring.
    const bool open = FExperiment && FFrame && FLesson;
    acFileSaveLesson->setEnabled(open);
    acFileSaveLessonAs->setEnabled(open);
    acExperimentRuns->setEnabled(open && !IsMeasuring() && FLesson->RunCount() > 0);
}

void TfmMain::UpdateTitle() {
    QString title = ProductTitle();
    if (FExperiment) title += QStringLiteral(" - ") + FExperiment->Name;
    if (!FLessonPath.isEmpty()) title += QStringLiteral(" - ") + QFileInfo(FLessonPath).fileName();
    if (FLesson && (FLesson->Modified() || FReportEdited)) title += QStringLiteral(" *");
    setWindowTitle(title);
}

// ---------------------------------------------------------------------------------------------
// the lesson and the frame

void TfmMain::StartLesson(bool withDocuments) {
    if (!FLesson || !FFrame || !FExperiment) return;
    const QString root = QDir(FProgramDir + QStringLiteral("/data/")).absolutePath();
    const QString folder = QDir(FExperiment->Path).absolutePath();
    QString relative;
    if (!FExperiment->Path.isEmpty() && folder.startsWith(root + u'/'))
        relative = folder.mid(root.size() + 1) + u'/';
    FLesson->SetScenario(FExperiment->Name, relative, EntriesOf(*FExperiment));
    if (withDocuments) {
        FLesson->SetDocument(tLesson::Description, WriteRtf(*FFrame->DescrView()->document()));
        FLesson->SetDocument(tLesson::Report, WriteRtf(*FFrame->ReportView()->document()));
    }
    FLesson->SetModified(false);
    FReportEdited = false;
    FLessonPath.clear();
    FLessonWriter = std::make_unique<tLessonWriter>();
    connect(FLesson.get(), &tLesson::ModifiedChanged, this, &TfmMain::UpdateTitle);
    connect(FFrame->ReportView(), &QTextEdit::textChanged, this, [this] {
        if (FReportEdited) return;
        FReportEdited = true;
        UpdateTitle();
    });
    FAutosave->Watch(FLesson.get());
}

void TfmMain::SyncLessonFromFrame() {
    if (!FFrame || !FLesson) return;
    const QList<TChart*> charts = ChartsOf(FFrame);
    for (int i = 0; i < charts.size(); ++i)
        FLesson->SetMarkers(i, {FFrame->FirstMarker(charts[i]), FFrame->SecondMarker(charts[i])});
    FLesson->SetCurrentSeries(FCurrentSeries);
    if (FReportEdited) {
        FReportEdited = false;
        FLesson->SetDocument(tLesson::Report, WriteRtf(*FFrame->ReportView()->document()));
    }
}

void TfmMain::ShowLessonInFrame() {
    FReportEdited = false;
    FCurrentSeries = FLesson->CurrentSeries();
    FFrame->SetCurrentSeries(FCurrentSeries);
    const QList<TChart*> charts = ChartsOf(FFrame);
    for (int i = 0; i < charts.size(); ++i) {
        const tLesson::tMarkers m = FLesson->Markers(i);
        FFrame->SetMarkers(charts[i], m.First, m.Second);
    }
}

bool TfmMain::LessonUnsaved() const {
    if (!FLesson) return false;
    const_cast<TfmMain*>(this)->SyncLessonFromFrame();
    return FLesson->Modified();
}

bool TfmMain::ConfirmLessonSaved() {
    if (!LessonUnsaved()) return true;
    switch (AskSaveChanges()) {
        case tSaveChoice::Save:
            return SaveLesson();
        case tSaveChoice::Discard:
            return true;
        case tSaveChoice::Cancel:
            break;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// open and save

bool TfmMain::SaveLesson(const QString& path) {
    if (!FExperiment || !FFrame || !FLesson) return false;
    QString target = path.isEmpty() ? FLessonPath : path;
    if (target.isEmpty()) target = AskLessonSaveFile();
    if (target.isEmpty()) return false;
    if (QFileInfo(target).suffix().isEmpty()) target += u'.' + QLatin1String(lessonfile::Suffix);
    target = QFileInfo(target).absoluteFilePath();
    SyncLessonFromFrame();
    if (FLessonWriter->Path() != target) FLessonWriter->SetPath(target);
    try {
        FLessonWriter->Save(*FLesson);
    } catch (const tLessonFileError& e) {
        ShowError(e.Message());
        return false;
    }
    FLessonPath = target;
    FLesson->SetModified(false);
    FAutosave->SetOrigin(target);
    RememberRecent(target);
    UpdateTitle();
    return true;
}

bool TfmMain::OpenLessonFile(const QString& path) {
    if (path.isEmpty()) return false;
    if (!ConfirmLessonSaved()) return false;
    return OpenLesson(QFileInfo(path).absoluteFilePath(), false);
}

bool TfmMain::OpenLesson(const QString& path, bool recovered) {
    // Everything is read before anything in the window changes.
    auto loaded = std::make_unique<tLesson>();
    auto writer = std::make_unique<tLessonWriter>();
    QMap<QString, QString> meta;
    try {
        ReadLesson(path, *loaded, recovered ? nullptr : writer.get(), &meta);
    } catch (const tLessonFileError& e) {
        ShowError(e.Message());
        return false;
    }
    // Its documents too. The program wrote them, so no size limit: refusing one would lose a
    // pupil's work. One that cannot be read gives way to the scenario's own.
    tFrameDocuments documents;
    documents.FromLesson = true;
    auto readDocument = [](const QByteArray& rtf) -> std::unique_ptr<QTextDocument> {
        if (rtf.isEmpty()) return nullptr;
        try {
            return ReadRtfAside(rtf, kUnlimitedRtf);
        } catch (const tException& e) {
            LogAdd(QStringLiteral("Документ урока не прочитан: ") + e.Message());
            return nullptr;
        }
    };
    documents.Description = readDocument(loaded->Document(tLesson::Description));
    documents.Report = readDocument(loaded->Document(tLesson::Report));
    tExperiment record;
    record.Clear();
    QString error;
    ParseExperiment(ExperimentText(loaded->ScenarioEntries()), record, error);
    record.Name = loaded->ScenarioName();
    // The scenario's folder when this catalogue has it; its documents come from the lesson anyway.
    const QString folder = FProgramDir + QStringLiteral("/data/") + loaded->ScenarioFolder();
    record.Path = !loaded->ScenarioFolder().isEmpty() && QDir(folder).exists() ? folder : QString();
    if (!FExperiment) FExperiment = std::make_unique<tExperiment>();
    *FExperiment = record;

    Execute(acExperimentConnect);
    CreateExperimentFrame(std::move(documents));
    FLesson->MoveFrom(*loaded);
    ShowLessonInFrame();
    if (recovered) {
        // The restored work is not in any lesson file yet: saving writes it whole.
        FLessonPath = meta.value(QStringLiteral("origin"));
        FLessonWriter = std::make_unique<tLessonWriter>(FLessonPath);
        FLesson->SetModified(true);
    } else {
        FLessonPath = path;
        FLessonWriter = std::move(writer);
        FLesson->SetModified(false);
        RememberRecent(path);
    }
    FAutosave->Watch(FLesson.get(), FLessonPath);
    UpdateTitle();
    UpdateActions();
    return true;
}

void TfmMain::OfferRecovery() {
    const QString left = tAutosave::Leftover(QFileInfo(FAutosave->Path()).absolutePath());
    if (left.isEmpty()) return;
    if (!AskYesNo(QStringLiteral("Восстановить несохранённую работу?"), QMessageBox::Question, true)) {
        QFile::remove(left);
        return;
    }
    if (!OpenLesson(left, true)) {
        // Kept under another name for a teacher to look at, and not offered again.
        const QString kept = left + QStringLiteral(".damaged");
        QFile::remove(kept);
        QFile::rename(left, kept);
    }
}

void TfmMain::acFileOpenLessonExecute() {
    const QString path = AskLessonOpenFile();
    if (!path.isEmpty()) OpenLessonFile(path);
}

void TfmMain::acFileSaveLessonExecute() {
    SaveLesson();
}

void TfmMain::acFileSaveLessonAsExecute() {
    const QString path = AskLessonSaveFile();
    if (!path.isEmpty()) SaveLesson(path);
}

// ---------------------------------------------------------------------------------------------
// the list of runs

void TfmMain::acExperimentRunsExecute() {
    if (!FLesson || FLesson->RunCount() == 0) return;
    int first = FLesson->IndexOf(FLesson->SeriesRun(0));
    int second = FLesson->IndexOf(FLesson->SeriesRun(1));
    if (!AskSeriesRuns(first, second)) return;
    FLesson->SetSeriesRun(0, FLesson->Run(first));
    FLesson->SetSeriesRun(1, FLesson->Run(second));
}

bool TfmMain::AskSeriesRuns(int& first, int& second) {
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("fmRuns"));
    dialog.setWindowTitle(QStringLiteral("Запуски урока"));
    auto* form = new QFormLayout(&dialog);
    auto combo = [&](int current) {
        auto* box = new QComboBox(&dialog);
        box->addItem(QStringLiteral("(не показывать)"), -1);
        for (int i = 0; i < FLesson->RunCount(); ++i) box->addItem(RunCaption(*FLesson->Run(i), i), i);
        box->setCurrentIndex(current + 1);
        return box;
    };
    QComboBox* one = combo(first);
    QComboBox* two = combo(second);
    form->addRow(QStringLiteral("Первый график (красный):"), one);
    if (FFrame && FFrame->Chart()->SeriesCount() > 1)
        form->addRow(QStringLiteral("Второй график (синий):"), two);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    first = one->currentData().toInt();
    second = two->currentData().toInt();
    return true;
}

// ---------------------------------------------------------------------------------------------
// dialogs

QString TfmMain::AskLessonOpenFile() {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Открыть урок"), QString(), LessonFilter());
}

QString TfmMain::AskLessonSaveFile() {
    QString suggested = FLessonPath;
    if (suggested.isEmpty() && FExperiment)
        suggested = QDir::home().filePath(FExperiment->Name + u'.' + QLatin1String(lessonfile::Suffix));
    return QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить урок"), suggested, LessonFilter());
}

tSaveChoice TfmMain::AskSaveChanges() {
    return AskSaveDiscardCancel(QStringLiteral("Урок не сохранён. Сохранить изменения?"));
}
