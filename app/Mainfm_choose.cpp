// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: choosing a scenario and building its experiment frame.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/Mainfm.h"
#include "app/Program.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Experimentsfm.h"
#include "experiments/Pulsefr.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "foundation/Stringtable.h"
#include "lesson/Lesson.h"

namespace {
class tDialogChooser : public tScenarioChooser {
  public:
    tDialogChooser(QWidget* owner, const QString& root) : FDialog(owner) { FDialog.FillTree(root); }
    bool Execute() override { return FDialog.exec() == QDialog::Accepted; }
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
    std::unique_ptr<tScenarioChooser> chooser = CreateChooser(FProgramDir + QStringLiteral("/data/"));
    if (!chooser->Execute()) return;
    if (FExperiment) {
        // Unsaved work is offered for saving before the question about losing the data.
        if (!ConfirmLessonSaved()) return;
        if (AskYesNo(LoadStr(msg::NewExperimentQuestion), QMessageBox::Warning, true)) {
            if (!chooser->LoadScenario(FExperiment.get())) return;
            Execute(acExperimentConnect);
            CreateExperimentFrame();
        }
    } else {
        auto record = std::make_unique<tExperiment>();
        if (!chooser->LoadScenario(record.get())) return;
        FExperiment = std::move(record);
        Execute(acExperimentConnect);
        CreateExperimentFrame();
    }
    UpdateTitle();
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
    const tExperiment& e = *FExperiment;
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
    // A new scenario starts with no runs; the old ones went with the old frame's curves.
    FLesson = std::make_unique<tLesson>();
    if (e.SensorName == QStringLiteral("P620")) {
        FFrame = new TfrPulse(this, e.TwiceMarker);
    } else {
        FFrame = new TfrExperiment(this, e.TwiceMarker);
        if (e.SensorName.toUpper() == QStringLiteral("NO")) FFrame->Chart()->hide();
    }
    FFrame->ApplyScenarioAxes(e);
    SetValueLabelVisible(false);

    // The frame fills the client area under the tool bar (replacing the stretch at the end).
    FFrame->setParent(centralWidget());
    if (FClientLayout->count() > 1 && FClientLayout->itemAt(1)->spacerItem()) delete FClientLayout->takeAt(1);
    FClientLayout->addWidget(FFrame, 1);
    FFrame->show();

    FFrame->Pages()->setCurrentWidget(FFrame->DescrPage());
    ShowDocument(FFrame->DescrView(), std::move(documents.Description), LoadStr(msg::NoDescription));
    FFrame->Pages()->setCurrentWidget(FFrame->ReportPage());
    ShowDocument(FFrame->ReportView(), std::move(documents.Report), LoadStr(msg::NoReportTemplate));
    FFrame->Pages()->setCurrentIndex(0);

    // At least one curve stays: the run always has a series to fill.
    TChart* chart = FFrame->Chart();
    while (chart->SeriesCount() > qMax(1, e.SeriesCount)) chart->RemoveSeries(chart->SeriesCount() - 1);
    FCurrentSeries = 0;
    FFrame->SetCurrentSeries(0);
    FFrame->SetLesson(FLesson.get());
    StartLesson(!documents.FromLesson);
    AttachReading();
    UpdateActions();
}
