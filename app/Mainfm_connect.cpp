// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: the sensor connection procedure as the user sees it. The procedure is the session's
// (tSession::Connect); the window shows a small progress box while the detectors work and the
// procedure's boxes.
#include <QAction>

#include "app/Mainfm.h"
#include "app/Searchprogress.h"
#include "devices/Ftdilibrary.h"
#include "devices/Sensorsearch.h"
#include "experiments/Experiment.h"
#include "foundation/Messagebox.h"
#include "sim/Simports.h"

std::unique_ptr<tSensorSearch> TfmMain::CreateSensorSearch() {
    return std::make_unique<tSensorSearch>(Settings());
}

bool TfmMain::FtdiLibraryLoaded() const {
    return tFTDILibrary::Instance().IsLoaded();
}

void TfmMain::acExperimentConnectExecute() {
    // Only the simulated sensors of the demo mode hear what the scenario wants them to play.
    if (const tExperiment* e = Experiment()) tSimRegistry::Instance().SetScene(e->SensorName, e->Demo);
    // One progress box a procedure: its seconds count from the procedure's start.
    FSearchProgress = std::make_unique<tSearchProgress>(this);
    struct tEnd {
        TfmMain* window;
        ~tEnd() {
            window->FSearchProgress.reset();
            window->UpdateActions();
        }
    } end{this};
    FSession->Connect();
}

void TfmMain::Searching(const QString& sensorName) {
    if (FSearchProgress) FSearchProgress->Searching(sensorName);
}

void TfmMain::SearchDone() {
    if (FSearchProgress) FSearchProgress->Done();
}

void TfmMain::Warn(const QString& text) {
    SearchDone();
    ShowWarning(text);
}
