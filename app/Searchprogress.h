// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of a sensor search: a small modal box «Поиск датчика …» that counts the seconds
// while the window waits for the detectors, and the wait cursor for as long as a search blocks.
// Both are gone before any message box of the connection procedure. User-interface thread only.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <memory>

class QLabel;
class QWidget;
class TfmSearchProgress;

class tSearchProgress {
    Q_DECLARE_TR_FUNCTIONS(tSearchProgress)

  public:
    explicit tSearchProgress(QWidget* owner);
    ~tSearchProgress();
    tSearchProgress(const tSearchProgress&) = delete;
    tSearchProgress& operator=(const tSearchProgress&) = delete;

    // A search for `sensorName` blocks (before it and on its wait hook): the box comes up over a
    // freshly painted window, or counts on; the wait cursor shows.
    void Searching(const QString& sensorName);
    // The search is over or a box is about to come: box and wait cursor go.
    void Done();

  private:
    void ShowSeconds();
    static void Pump();

    QWidget* FOwner;
    TfmSearchProgress* FBox = nullptr;
    QLabel* FName = nullptr;
    QLabel* FSeconds = nullptr;
    QElapsedTimer FClock;
    qint64 FShownSeconds = -1;
    bool FBusy = false;  // the wait cursor is set
};
