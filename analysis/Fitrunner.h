// SPDX-License-Identifier: GPL-3.0-or-later
// tFitRunner: fits off the window's thread, so a fit over a million points never holds the window.
// Request copies the points on the caller's thread (the run is not thread-safe) and returns at
// once; one worker thread of the runner's own fits them; Finished comes back on the thread the
// runner lives in. A newer request supersedes an older one: the older fit is cancelled and its
// result never delivered. The destructor cancels and joins the worker.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "analysis/Fit.h"

class tFitRunner : public QObject {
    Q_OBJECT
  public:
    explicit tFitRunner(QObject* parent = nullptr);
    ~tFitRunner() override;

    // Fits points first..last of `run` (the lesson's run number `runIndex`) with `model`; returns
    // the request's number, which Finished repeats.
    quint64 Request(const tRun& run, int runIndex, qsizetype first, qsizetype last, tFitModel model,
                    const QString& formula = QString());
    // Drops the newest request (and any older one): nothing more is delivered for them.
    void Cancel();
    // A request is waiting or being fitted and its result not yet delivered.
    bool Busy() const { return FPendingResult != 0; }

  signals:
    // The result of request `request`; only for the newest one, on the runner's thread.
    void Finished(quint64 request, const tFitResult& result);

  private:
    struct tJob {
        quint64 Number = 0;
        tFitModel Model = tFitModel::Linear;
        QString Formula;
        tFitData Data;
    };
    void Work();
    void Deliver(quint64 number, const tFitResult& result);

    quint64 FLastNumber = 0;     // runner's thread only
    quint64 FPendingResult = 0;  // the request whose result is awaited (0: none); runner's thread only

    // Guards FJob, FStop and FCancel's replacement; the worker fits outside it.
    std::mutex FMutex;
    std::condition_variable FWake;
    std::optional<tJob> FJob;  // the next request to fit
    bool FStop = false;
    // Set to cancel the fit in progress; each job gets a fresh flag.
    std::shared_ptr<std::atomic<bool>> FCancel;
    std::thread FWorker;
};
