// SPDX-License-Identifier: GPL-3.0-or-later
// tAutosave: keeps a copy of the open lesson in a folder of this user on this computer, so a
// crash, a kill or a power cut loses at most the last few seconds: every second while points
// arrive (RunIntervalMs), every IntervalMs while only other things change, and on SaveNow. It
// copies what is new on the lesson's thread — a few microseconds to milliseconds — and a worker
// thread (tLessonSaver) writes it, so the live display never waits for the disk. A write that
// fails is tried again with the next one (the part it lacked included); while writes fail, Note
// holds the line a status bar shows. User-interface thread for every call; the signals arrive on it.
#pragma once

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "lesson/Saver.h"

class tLesson;

class tAutosave : public QObject {
    Q_OBJECT
  public:
    // The state folder, $XDG_STATE_HOME/rovelin (by default ~/.local/state/rovelin).
    static QString DefaultFolder();
    // Where the autosave goes: the state folder, or a folder on this computer when the state
    // folder lies on a network file system (fileplace::LocalFolder).
    static QString LocalFolder();
    // The autosave file in `folder`.
    static QString FileIn(const QString& folder);
    // The autosave left by a run that did not end normally, empty when there is none.
    static QString Leftover(const QString& folder);

    explicit tAutosave(const QString& folder = LocalFolder(), QObject* parent = nullptr);
    // Finishes the write handed to the worker; the file stays (see Discard).
    ~tAutosave() override;

    QString Path() const { return FSaver.Writer().Path(); }
    // Starts keeping `lesson` (null: stops); the next write builds the file anew. `origin` is the
    // lesson file the user works on (empty when not saved yet), written into the autosave.
    void Watch(tLesson* lesson, const QString& origin = QString());
    void SetOrigin(const QString& origin);
    // Runs on the lesson's thread just before a copy is taken (the window puts edited documents
    // into the lesson there).
    std::function<void()> BeforeSave;
    // Hands what changed to the worker now (a Stop, the timer); while a write runs, the next one
    // follows as soon as it ends.
    void SaveNow();
    // Waits until every write asked for is done (tests, the end of the program).
    void Flush();
    // Stops keeping the lesson and removes the file (normal end, a lesson closed on purpose). A
    // file this object never kept a lesson in is left alone (another run's work to restore).
    void Discard();

    // Between writes while only documents, markers and the like change (5 s).
    int IntervalMs() const { return FIntervalMs; }
    void SetIntervalMs(int ms);
    // Between writes while points arrive (1 s), so a kill loses at most about that much of a run.
    int RunIntervalMs() const { return FRunIntervalMs; }
    void SetRunIntervalMs(int ms);
    // Microseconds the last SaveNow spent on the calling thread (for the measurements).
    qint64 LastCopyMicroseconds() const { return FSaver.LastTakeMicroseconds(); }

    // «Автосохранение не удалось: <причина>» from a failed write until one succeeds; else empty.
    QString Note() const { return FNote; }

  signals:
    // A write failed (message ready for the user); the next one tries again.
    void Failed(const QString& message);
    // Note changed: a write failed after working, or succeeded after failing (empty then).
    void NoteChanged(const QString& note);

  private:
    void Tick();
    void SetNote(const QString& note);

    QString FFolder;
    tLesson* FLesson = nullptr;
    QMetaObject::Connection FPointsConnection;
    bool FOwnsFile = false;     // a lesson was kept here since the last Discard
    bool FPointsSince = false;  // points arrived since the last copy
    bool FAgain = false;        // asked for while a write ran
    int FIntervalMs = 5000;
    int FRunIntervalMs = 1000;
    QElapsedTimer FSinceCopy;
    QTimer FTimer;
    QString FNote;
    tLessonSaver FSaver;  // last: its worker ends before the members it reports to
};
