// SPDX-License-Identifier: GPL-3.0-or-later
// TfrStart: the page an empty window shows, so a first lesson needs no menu: the catalogue's
// scenarios as large tiles under their groups (one click chooses one), the recent lessons (one
// click opens one), and «Как начать» in three pictured steps. It reads the catalogue itself
// (tCatalogue) and knows nothing of the window, which connects the signals. Wide, the scenarios
// and the side column stand beside each other; narrow (a small screen or a large scale) they stand
// one above the other, and the page scrolls. User-interface thread only.
#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

#include "experiments/Catalogue.h"

class QAbstractButton;
class QBoxLayout;
class QScrollArea;
class QVBoxLayout;

class TfrStart : public QWidget {
    Q_OBJECT
  public:
    explicit TfrStart(QWidget* owner = nullptr);
    ~TfrStart() override;

    // Lists the scenarios of `catalogue` (its roots in order, e.g. tCatalogue::ForProgram) afresh.
    void SetCatalogue(const tCatalogue& catalogue);
    // The recent lessons, newest first; files that are gone are left out.
    void SetRecentLessons(const QStringList& paths);
    // Reads the catalogue and the lessons' files again (when the window shows the page anew).
    void Refresh();

    // At most this many tiles per group; the rest are reached through the chooser.
    static constexpr int GroupLimit = 60;

    // The tiles in the order shown: their text is the caption or the lesson's name.
    QList<QAbstractButton*> ScenarioTiles() const;
    QList<QAbstractButton*> LessonTiles() const;
    // True while the scenarios and the side column stand beside each other.
    bool SideBySide() const;

  signals:
    // A scenario tile was clicked (or pressed with Enter or Space).
    void ScenarioChosen(const tCatalogueEntry& scenario);
    // A recent lesson was clicked.
    void LessonChosen(const QString& path);
    // «Открыть урок...»: the window asks for a file.
    void OpenLessonAsked();
    // «Руководство»: the window opens the user guide.
    void GuideAsked();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildCatalogue();
    void BuildLessons();
    void ArrangeColumns(int width);
    void FitPage();

    tCatalogue FCatalogue;
    QStringList FLessons;
    QScrollArea* FScroll;
    QBoxLayout* FColumns;
    QVBoxLayout* FScenarios;  // group headings and their tiles
    QVBoxLayout* FRecent;     // the recent lessons' tiles
    QList<QAbstractButton*> FScenarioTiles;
    QList<QAbstractButton*> FLessonTiles;
};
