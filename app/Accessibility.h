// SPDX-License-Identifier: GPL-3.0-or-later
// tWindowAccessibility: what the main window adds for pupils who use a screen reader or no mouse.
// Names for the parts that have no words of their own (tool bars, documents, the table), click
// targets of at least 24 × 24 pixels, and the charts' descriptions: a sentence per shown run
// (analysis/Runsummary.h) and the marker read-out, renewed at most once a second, so a reader can
// follow a live run without being flooded. The window owns one and attaches it to every new frame.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class QWidget;
class TChart;
class TfrExperiment;
class tExperiment;
class tLesson;

// The smallest click target, in pixels at 100 % scale.
constexpr int kMinimumTarget = 24;

class tWindowAccessibility : public QObject {
    Q_OBJECT
  public:
    // Names the window's own parts (tool bars); from now on every button, list box and menu item of
    // the program is at least kMinimumTarget pixels high (buttons also wide), and a button with an
    // icon alone is named.
    explicit tWindowAccessibility(QWidget* window);
    ~tWindowAccessibility() override;

    // Names the new frame's parts and starts describing its charts.
    void Attach(TfrExperiment* frame, const tExperiment* scenario, tLesson* lesson);
    // What a screen reader hears for `chart` of the attached frame now: a sentence per run it shows
    // and the marker read-out.
    QString ChartDescription(TChart* chart) const;
    // Puts the descriptions on the charts now (the timer does it once a second).
    void Refresh();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<TfrExperiment> FFrame;
    const tExperiment* FScenario = nullptr;
    QPointer<tLesson> FLesson;
    QTimer* FTimer;
};

// `widget` at least kMinimumTarget pixels wide and high.
void EnsureTargetSize(QWidget* widget);
