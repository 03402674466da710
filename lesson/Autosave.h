// SPDX-License-Identifier: GPL-3.0-or-later
// tAutosave: keeps a copy of the open lesson in the user's state folder, so a crash, a kill or a
// power cut loses at most the last few seconds. Every IntervalMs while the lesson has changes (and
// on SaveNow) it copies what is new on the lesson's thread — a few microseconds to milliseconds —
// and a worker thread of its own writes it, so the live display never waits for the disk.
// User-interface thread for every call; Failed arrives on that thread.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "lesson/Lessonfile.h"

class tLesson;

class tAutosave : public QObject {
    Q_OBJECT
  public:
    // $XDG_STATE_HOME/rovelin, by default ~/.local/state/rovelin.
    static QString DefaultFolder();
    // The autosave file in `folder`.
    static QString FileIn(const QString& folder);
    // The autosave left by a run that did not end normally, empty when there is none.
    static QString Leftover(const QString& folder);

    explicit tAutosave(const QString& folder = DefaultFolder(), QObject* parent = nullptr);
    // Finishes the writes already handed to the worker; the file stays (see Discard).
    ~tAutosave() override;

    QString Path() const { return FWriter.Path(); }
    // Starts keeping `lesson` (null: stops); the next write builds the file anew. `origin` is the
    // lesson file the user works on (empty when not saved yet), written into the autosave.
    void Watch(tLesson* lesson, const QString& origin = QString());
    void SetOrigin(const QString& origin);
    // Runs on the lesson's thread just before a copy is taken (the window puts edited documents
    // into the lesson there).
    std::function<void()> BeforeSave;
    // Hands what changed to the worker now (a Stop, the timer).
    void SaveNow();
    // Waits until every write handed over is done (tests, the end of the program).
    void Flush();
    // Stops keeping the lesson and removes the file (normal end, a lesson closed on purpose). A
    // file this object never kept a lesson in is left alone (another run's work to restore).
    void Discard();

    int IntervalMs() const { return FTimer.interval(); }
    void SetIntervalMs(int ms) { FTimer.setInterval(ms); }
    // Microseconds the last SaveNow spent on the calling thread (for the measurements).
    qint64 LastCopyMicroseconds() const { return FLastCopyUs; }

  signals:
    // A write failed (message ready for the user); the next write builds the file anew.
    void Failed(const QString& message);

  private:
    void Post(std::function<void()> job);
    void Work();

    QString FFolder;
    tLesson* FLesson = nullptr;
    bool FOwnsFile = false;  // a lesson was kept here since the last Discard
    tLessonWriter FWriter;
    QTimer FTimer;
    qint64 FLastCopyUs = 0;

    // FMutex guards the job queue, FBusy and FStop; the worker takes jobs one at a time.
    std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<std::function<void()>> FJobs;
    bool FBusy = false;
    bool FStop = false;
    // Set on the worker after a failed write: later increments are skipped until a whole write,
    // since they would leave gaps in a file that lacks the failed part. Worker thread only.
    bool FBroken = false;
    std::thread FWorker;
};
