// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Fitrunner.h"

#include <QMetaObject>

#include "platform/Affinity.h"

tFitRunner::tFitRunner(QObject* parent) : QObject(parent) {
    qRegisterMetaType<tFitResult>();
    FWorker = std::thread([this] { Work(); });
}

tFitRunner::~tFitRunner() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
        FJob.reset();
        if (FCancel) FCancel->store(true);
    }
    FWake.notify_all();
    FWorker.join();
}

quint64 tFitRunner::Request(const tRun& run, int runIndex, qsizetype first, qsizetype last, tFitModel model,
                            const QString& formula) {
    tJob job;
    job.Number = ++FLastNumber;
    job.Model = model;
    job.Formula = formula;
    job.Data = CopyFitData(run, runIndex, first, last);
    FPendingResult = job.Number;
    {
        std::lock_guard lock(FMutex);
        FJob = std::move(job);
        if (FCancel) FCancel->store(true);  // the fit in progress, if any, is no longer wanted
    }
    FWake.notify_one();
    return FLastNumber;
}

void tFitRunner::Cancel() {
    FPendingResult = 0;
    std::lock_guard lock(FMutex);
    FJob.reset();
    if (FCancel) FCancel->store(true);
}

void tFitRunner::Work() {
    // Created from the window's thread, which may be pinned to the first processor: a fit takes the
    // other one rather than the window's and the measurement's.
    ReleaseCurrentThreadFromPin();
    for (;;) {
        tJob job;
        std::shared_ptr<std::atomic<bool>> cancel;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FStop || FJob.has_value(); });
            if (FStop) return;
            job = std::move(*FJob);
            FJob.reset();
            cancel = FCancel = std::make_shared<std::atomic<bool>>(false);
        }
        tFitResult result = Fit(job.Model, job.Formula, job.Data, cancel.get());
        if (cancel->load()) continue;
        QMetaObject::invokeMethod(
            this, [this, number = job.Number, result = std::move(result)] { Deliver(number, result); },
            Qt::QueuedConnection);
    }
}

void tFitRunner::Deliver(quint64 number, const tFitResult& result) {
    if (number != FPendingResult) return;  // superseded or cancelled meanwhile
    FPendingResult = 0;
    emit Finished(number, result);
}
