// SPDX-License-Identifier: GPL-3.0-or-later
// The one page setup of the print, preview and PDF paths: A4 portrait with 25 mm margins until the
// user chooses another, then the chosen one, also in later runs of the program. It is kept in the
// user's own settings file (the program's rovelin.cfg is read-only and shared by every user).
// Window-free; user-interface thread.
#pragma once

#include <QPageLayout>
#include <QString>

class QPrinter;

// A4 portrait, all four margins 25 mm, smallest margins 0.
QPageLayout DefaultPageLayout();
// The user's settings file: rovelin/rovelin.conf in the user's config folder (ConfigHome(), beside
// the user's school.conf).
QString UserSettingsPath();

class tPageSetupStore {
  public:
    explicit tPageSetupStore(const QString& path = UserSettingsPath());

    // The page setup stored last; DefaultPageLayout() when none is stored or what is stored is no
    // usable page (a damaged or hand-edited file).
    QPageLayout Load() const;
    // Keeps `layout` for the next Load (also in a later run). Raises nothing: a setup that cannot
    // be stored only lasts for this run.
    void Store(const QPageLayout& layout);

  private:
    QString FPath;
};

// Gives `printer` the paper, orientation and margins of `layout`. A printer whose hardware needs
// wider margins than asked gets its smallest ones instead (a PDF takes any).
void ApplyPageLayout(QPrinter& printer, const QPageLayout& layout);
