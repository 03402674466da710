// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Saver.h"

#include <utility>

#include "lesson/Lesson.h"

tLessonSaver::tLessonSaver(QObject* parent) : QObject(parent), FWriter(std::make_unique<tLessonWriter>()) {
    FWorker = std::thread([this] { Work(); });
}

tLessonSaver::~tLessonSaver() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_all();
    FWorker.join();
}

void tLessonSaver::SetWriter(std::unique_ptr<tLessonWriter> writer) {
    Wait();
    FWriter = std::move(writer);
}

tLessonSaver::tStart tLessonSaver::Save(tLesson& lesson) {
    if (FBusy) return tStart::Busy;
    return Start(lesson, *FWriter);
}

tLessonSaver::tStart tLessonSaver::SaveAs(tLesson& lesson, const QString& path) {
    if (FBusy) return tStart::Busy;
    FNextWriter = std::make_unique<tLessonWriter>(path);
    const tStart started = Start(lesson, *FNextWriter);
    if (started != tStart::Started) FNextWriter.reset();
    return started;
}

tLessonSaver::tStart tLessonSaver::Start(tLesson& lesson, tLessonWriter& writer) {
    QElapsedTimer clock;
    clock.start();
    std::shared_ptr<const tLessonSnapshot> snapshot = writer.Take(lesson);
    FLastTakeUs = clock.nsecsElapsed() / 1000;
    if (!snapshot) return tStart::NothingNew;
    FBusy = true;
    Post([this, snapshot, path = writer.Path()] {
        tResult result;
        result.Whole = tLessonWriter::Whole(*snapshot);
        try {
            result.Stamp = tLessonWriter::Write(*snapshot);
        } catch (const tLessonFileError& e) {
            result.Error = e;
        } catch (const std::exception& e) {
            // Out of memory and the like: the file is as it was, the reason is the library's.
            result.Error = tLessonFileError(
                tLessonFault::CannotWrite,
                tr("Невозможно сохранить урок в файл «%1».\r\n%2").arg(path, QString::fromUtf8(e.what())),
                QString::fromUtf8(e.what()));
        }
        {
            std::lock_guard lock(FMutex);
            FResult = std::move(result);
        }
        QMetaObject::invokeMethod(
            this, [this] { Deliver(); }, Qt::QueuedConnection);
    });
    return tStart::Started;
}

void tLessonSaver::Deliver() {
    std::optional<tResult> result;
    {
        std::lock_guard lock(FMutex);
        result = std::exchange(FResult, std::nullopt);
    }
    if (!result) return;  // delivered already (Wait)
    FBusy = false;
    if (!result->Error) {
        if (FNextWriter) FWriter = std::move(FNextWriter);
        FWriter->Written(result->Stamp);
        emit Saved(result->Whole);
    } else {
        if (FNextWriter)
            FNextWriter.reset();
        else
            FWriter->NotWritten();
        emit Failed(result->Error->Fault(), result->Error->Message(), result->Error->Reason());
    }
}

bool tLessonSaver::Wait() {
    if (!FBusy) return true;
    {
        std::unique_lock lock(FMutex);
        FIdle.wait(lock, [this] { return FResult.has_value() || (FJobs.empty() && !FRunning); });
    }
    bool failed = false;
    const auto connection = connect(this, &tLessonSaver::Failed, this, [&] { failed = true; });
    Deliver();
    disconnect(connection);
    return !failed;
}

void tLessonSaver::Post(std::function<void()> job) {
    {
        std::lock_guard lock(FMutex);
        FJobs.push_back(std::move(job));
    }
    FWake.notify_one();
}

void tLessonSaver::Work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FStop || !FJobs.empty(); });
            if (FJobs.empty()) return;  // stopping, and nothing is left to write
            job = std::move(FJobs.front());
            FJobs.pop_front();
            FRunning = true;
        }
        job();
        {
            std::lock_guard lock(FMutex);
            FRunning = false;
        }
        FIdle.notify_all();
    }
}
