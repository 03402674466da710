// SPDX-License-Identifier: GPL-3.0-or-later
// tStartPage: the start page (TfrStart) in the window while no scenario is open. A scenario tile
// opens the scenario as the chooser's OK does, a recent lesson opens as File → recent does,
// «Открыть урок...» is the File menu's, «Руководство» opens the guide at its first steps. The page
// goes when the first frame comes. User-interface thread only.
#pragma once

#include <QObject>
#include <QPointer>

#include "experiments/Startfr.h"

class QVBoxLayout;
class TfmMain;
class tHelp;

class tStartPage : public QObject {
    Q_OBJECT
  public:
    // Puts the page into `client` (the window's area under the tool bar), filling it.
    tStartPage(TfmMain& window, tHelp& help, QVBoxLayout* client);
    ~tStartPage() override;

    // Null once the page has gone.
    TfrStart* Page() const { return FPage; }
    // A frame took the window's area: the page goes.
    void Leave();
    // The recent lessons changed: the page shows them anew (while it is there).
    void RecentChanged();

  private:
    TfmMain& FWindow;
    QPointer<TfrStart> FPage;
};
