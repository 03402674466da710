// SPDX-License-Identifier: GPL-3.0-or-later
// tLessonSaver: saves a lesson into its file without holding the lesson's thread, whatever the
// lesson's size. Save takes what is new on that thread (a copy of the new points: microseconds for
// a second of points, some tens of milliseconds for ten million) and a worker thread of the
// saver's own writes it; Saved or Failed arrives on the thread that made the saver, after the
// writer has learnt how the write went. One write at a time, so increments never overtake one
// another: a Save while one runs is refused as Busy. The writer (the path, what the file holds)
// belongs to the saver. The saver and its writer are used on the lesson's thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "lesson/Lessonfile.h"

class tLesson;

class tLessonSaver : public QObject {
    Q_OBJECT
  public:
    explicit tLessonSaver(QObject* parent = nullptr);
    // Lets the running write finish; its result is dropped.
    ~tLessonSaver() override;

    tLessonWriter& Writer() { return *FWriter; }
    const tLessonWriter& Writer() const { return *FWriter; }
    // Takes `writer` as this saver's (a lesson read from a file comes with the writer that knows
    // that file). Waits for a running write first.
    void SetWriter(std::unique_ptr<tLessonWriter> writer);

    enum class tStart { Started, NothingNew, Busy };
    // Hands what `lesson` holds beyond its file to the worker; Saved or Failed follows.
    tStart Save(tLesson& lesson);
    // «Сохранить как»: writes the whole lesson to `path` with a writer of its own, which becomes
    // this saver's writer once the write succeeded; after a failure the writer of the file before
    // stays as it was (the next Save goes on with that file).
    tStart SaveAs(tLesson& lesson, const QString& path);
    bool Busy() const { return FBusy; }
    // Blocks until the running write is done and its Saved or Failed was sent (a save before the
    // program ends, tests). True when nothing failed.
    bool Wait();
    // Runs `job` on the worker after the writes handed over so far.
    void Post(std::function<void()> job);
    // What the last Save spent on the calling thread, in microseconds (for the measurements).
    qint64 LastTakeMicroseconds() const { return FLastTakeUs; }

  signals:
    // The write handed over by the last Save is in the file (whole: the file was built anew).
    void Saved(bool whole);
    // It failed; the file holds what it held before. `message` is ready for the error box,
    // `reason` a few words for a status line.
    void Failed(tLessonFault fault, const QString& message, const QString& reason);

  private:
    struct tResult {
        bool Whole = false;
        fileplace::tStamp Stamp;
        std::optional<tLessonFileError> Error;
    };
    tStart Start(tLesson& lesson, tLessonWriter& writer);
    void Deliver();
    void Work();

    std::unique_ptr<tLessonWriter> FWriter;
    std::unique_ptr<tLessonWriter> FNextWriter;  // of a SaveAs in flight
    bool FBusy = false;  // a snapshot was handed over and its result not delivered yet
    qint64 FLastTakeUs = 0;

    // FMutex guards FJobs, FRunning, FStop and FResult; the worker runs one job at a time.
    std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<std::function<void()>> FJobs;
    bool FRunning = false;
    bool FStop = false;
    std::optional<tResult> FResult;  // written by the worker, taken by Deliver
    std::thread FWorker;
};
