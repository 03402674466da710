// SPDX-License-Identifier: GPL-3.0-or-later
// tHandInAction: «Сдать работу» of the main window. The open lesson, its report as PDF and its runs
// as CSV go into the class exchange folder of the school settings, in a folder of their own named
// after the pupil, the scenario and the time (lesson/Handin.h), so no pupil's work replaces
// another's. The pupil's name is asked the first time and kept in the user's school settings; the
// box at the end says under which name and where the work went. User-interface thread only.
#pragma once

#include <QCoreApplication>

class TfmMain;
class tPaper;
class tResultReading;

class tHandInAction {
    Q_DECLARE_TR_FUNCTIONS(tHandInAction)

  public:
    tHandInAction(TfmMain& window, tPaper& paper, tResultReading& reading);

    // Enabled when a scenario is open and no run is being measured (no sensor is needed).
    void UpdateActions(bool measuring);
    // The action's handler.
    void Execute();

  private:
    TfmMain& FWindow;
    tPaper& FPaper;
    tResultReading& FReading;
};
