// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: start, stop, point labels and what a tick of the run shows. The run itself — the
// device, the decoding, the points — is the session's (session/Session.h).
#include <QAction>
#include <QLabel>

#include "app/Mainfm.h"
#include "components/Chart.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Sensormodels.h"
#include "lesson/Lesson.h"

void TfmMain::acExperimentStartExecute() {
    const int slot = FFrame->StartMeasurement(*Experiment());
    SetValueLabelVisible(false);
    stbSilence->hide();
    FSession->Start(slot);
    UpdateActions();
}

void TfmMain::acExperimentStopExecute() {
    FSession->Stop();
}

void TfmMain::acExperimentMarkPointExecute() {
    if (!FFrame) return;
    // While the box is open the tick keeps decoding but holds the points back (checked state).
    acExperimentMarkPoint->setChecked(true);
    FSession->HoldPoints(true);
    struct tRelease {
        TfmMain* window;
        ~tRelease() {
            window->acExperimentMarkPoint->setChecked(false);
            window->FSession->HoldPoints(false);
        }
    } release{this};
    FFrame->AskPointLabel();
}

QString TfmMain::TakePointLabel() {
    return FFrame ? FFrame->TakePointLabel() : QString();
}

void TfmMain::ShowTick() {
    stbElapsed->setText(ElapsedText(FSession->ElapsedTenths()));
    stbMain->ShowSilence(FSession->SilentSeconds());
    const tExperiment* e = Experiment();
    if (!FFrame || !e) return;
    TChartSeries* series = FFrame->Chart()->Series(CurrentSeries());
    if (!series || series->Count() < 1) return;
    if (SensorModelFor(e->SensorName).ShowsLiveValue) {
        SetValueLabelVisible(true);
        lbValue->setText(FFrame->GetLastValueText(e->FormatY));
    }
    FFrame->UpdateAxes(e->AutoSize);
}
