// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: choosing a scenario and building its experiment frame.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/Accessibility.h"
#include "app/Analysisactions.h"
#include "app/Mainfm.h"
#include "app/Reading.h"
#include "app/Startpage.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "experiments/Catalogue.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Experimentsfm.h"
#include "experiments/Pulsefr.h"
#include "experiments/Sensormodels.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "foundation/Milestones.h"
#include "foundation/Stringtable.h"

namespace {
class tDialogChooser : public tScenarioChooser {
  public:
    tDialogChooser(QWidget* owner, const QString& root) : FDialog(owner) { FDialog.FillTree(root); }
    bool Execute() override { return FDialog.exec() == QDialog::Accepted; }
    void OpenAt(const QString& folder) override { FDialog.OpenAt(folder); }
    bool LoadScenario(tExperiment* record) override { return FDialog.LoadScenario(record); }

  private:
    TfmExperiments FDialog;
};
}  // namespace

std::unique_ptr<tScenarioChooser> TfmMain::CreateChooser(const QString& catalogueRoot) {
    return std::make_unique<tDialogChooser>(this, catalogueRoot);
}

void TfmMain::acExperimentChooseExecute() {
    // The chooser goes away on every path, also when an error escapes (unique_ptr).
    std::unique_ptr<tScenarioChooser> chooser = CreateChooser(FSession->CatalogueRoot());
    if (const tExperiment* open = Experiment(); open && !open->Path.isEmpty()) chooser->OpenAt(open->Path);
    if (!chooser->Execute()) return;
    SwitchScenario([&](tExperiment* record) { return chooser->LoadScenario(record); });
}

void TfmMain::OpenScenario(const tCatalogueEntry& entry) {
    SwitchScenario(
        [&](tExperiment* record) { return LoadScenario(entry.Caption, entry.Relative, entry.Root, record); });
}

void TfmMain::SwitchScenario(const std::function<bool(tExperiment*)>& load) {
    // Read aside first (the record is refilled in place, so it starts from the open one): a
    // scenario that is refused shows its reason and asks nothing, and the window stays as it was.
    tExperiment chosen = Experiment() ? *Experiment() : tExperiment();
    if (!load(&chosen)) return;
    if (Experiment() && !ConfirmLeaving(LoadStr(msg::NewExperimentQuestion), QMessageBox::Warning, true)) {
        UpdateTitle();
        return;
    }
    FSession->SetExperiment(chosen);
    LogMilestone(milestone::ScenarioChosen(chosen.Name, QDir::toNativeSeparators(chosen.Path)));
    Execute(acExperimentConnect);
    CreateExperimentFrame();
    UpdateTitle();
}

bool TfmMain::ConfirmLeaving(const QString& question, QMessageBox::Icon icon, bool defaultYes) {
    // Unsaved work: save / don't save / cancel says it all, so no second question follows it.
    // Whether anything is unsaved depends on how a save being written ends.
    FSession->WaitForSave();
    if (LessonUnsaved()) return ConfirmLessonSaved();
    return AskYesNo(question, icon, defaultYes);
}

std::unique_ptr<QTextDocument> TfmMain::ReadScenarioDocument(const QString& path) {
    try {
        return LoadRtfFile(path);
    } catch (const tException& e) {
        // A scenario may leave a document out; one that is there but was not shown is logged.
        if (QFile::exists(path)) LogAdd(e.Message());
        return nullptr;
    }
}

void TfmMain::ShowDocument(TRichView* view, std::unique_ptr<QTextDocument> document,
                           const QString& fallback) {
    if (document) {
        view->SetDocument(std::move(document));
        return;
    }
    // A scenario without its document still opens; the page says so instead.
    view->Clear();
    view->SetParagraphCentered();
    view->SetBold(true);
    for (int i = 0; i < 3; ++i) view->AddLine(QStringLiteral(" "));
    view->AddLine(fallback);
}

void TfmMain::CreateExperimentFrame(tFrameDocuments documents) {
    const tExperiment& e = *Experiment();
    const QDir folder(e.Path);
    // Read while the old frame still stands whole: a big document keeps the window waiting (and
    // painting) before anything in it changes.
    if (!documents.Description)
        documents.Description = ReadScenarioDocument(folder.filePath(QStringLiteral("descr.rtf")));
    if (!documents.Report)
        documents.Report = ReadScenarioDocument(folder.filePath(QStringLiteral("report.rtf")));
    if (FFrame) {
        FClientLayout->removeWidget(FFrame);
        delete FFrame;
        FFrame = nullptr;
    }
    const tSensorModel& model = SensorModelFor(e.SensorName);
    if (model.PulseFrame) {
        FFrame = new TfrPulse(this, e.TwiceMarker);
    } else {
        FFrame = new TfrExperiment(this, e.TwiceMarker);
        if (model.Manual) FFrame->Chart()->hide();
    }
    FFrame->ApplyScenarioAxes(e);
    SetValueLabelVisible(false);

    // The frame fills the client area under the tool bar (the start page goes).
    FFrame->setParent(centralWidget());
    FStart->Leave();
    FClientLayout->addWidget(FFrame, 1);
    FFrame->show();

    FFrame->Pages()->setCurrentWidget(FFrame->DescrPage());
    ShowDocument(FFrame->DescrView(), std::move(documents.Description), LoadStr(msg::NoDescription));
    FFrame->Pages()->setCurrentWidget(FFrame->ReportPage());
    ShowDocument(FFrame->ReportView(), std::move(documents.Report), LoadStr(msg::NoReportTemplate));
    // A placeholder for a lesson document that was not read cannot be edited: the lesson keeps the
    // document itself.
    if (!documents.DescriptionUnread.isNull()) FFrame->DescrView()->KeepUnread(documents.DescriptionUnread);
    if (!documents.ReportUnread.isNull()) FFrame->ReportView()->KeepUnread(documents.ReportUnread);
    FFrame->Pages()->setCurrentIndex(0);

    // At least one curve stays: the run always has a series to fill.
    TChart* chart = FFrame->Chart();
    while (chart->SeriesCount() > qMax(1, e.SeriesCount)) chart->RemoveSeries(chart->SeriesCount() - 1);
    FFrame->SetCurrentSeries(0);
    // A new scenario starts a new lesson with no runs; the old ones went with the old frame's
    // curves. An opened lesson brings its own documents at once.
    if (documents.FromLesson)
        FSession->NewLesson();
    else
        FSession->NewLesson(WriteRtf(*FFrame->DescrView()->document()),
                            WriteRtf(*FFrame->ReportView()->document()));
    FFrame->SetLesson(Lesson());
    connect(FFrame->ReportView(), &QTextEdit::textChanged, FSession.get(), &tSession::ReportEdited);
    FReading->Attach(FFrame, Experiment(), Lesson());
    FAnalysis->Attach(FFrame, Experiment(), Lesson());
    FAccessibility->Attach(FFrame, Experiment(), Lesson());
    UpdateActions();
}
