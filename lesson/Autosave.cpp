// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Autosave.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include "foundation/Userfolders.h"
#include "lesson/Lesson.h"

QString tAutosave::DefaultFolder() {
    return ProgramStateFolder();
}

QString tAutosave::FileIn(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("autosave.") + QLatin1String(lessonfile::Suffix));
}

QString tAutosave::Leftover(const QString& folder) {
    // A whole write that was cut off leaves only its ".part"; that one holds nothing to restore.
    QFile::remove(FileIn(folder) + QStringLiteral(".part"));
    const QFileInfo file(FileIn(folder));
    return file.isFile() && file.size() > 0 ? file.filePath() : QString();
}

tAutosave::tAutosave(const QString& folder, QObject* parent) : QObject(parent), FFolder(folder) {
    FWriter.SetPath(FileIn(folder));
    FTimer.setInterval(5000);
    connect(&FTimer, &QTimer::timeout, this, &tAutosave::SaveNow);
    FWorker = std::thread([this] { Work(); });
}

tAutosave::~tAutosave() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_all();
    FWorker.join();
}

void tAutosave::Watch(tLesson* lesson, const QString& origin) {
    FLesson = lesson;
    if (lesson) FOwnsFile = true;
    FWriter.Forget();
    SetOrigin(origin);
    if (lesson)
        FTimer.start();
    else
        FTimer.stop();
}

void tAutosave::SetOrigin(const QString& origin) {
    FWriter.SetExtra(QStringLiteral("origin"), origin);
}

void tAutosave::SaveNow() {
    if (!FLesson) return;
    QElapsedTimer clock;
    clock.start();
    if (BeforeSave) BeforeSave();
    std::shared_ptr<const tLessonSnapshot> snapshot = FWriter.Take(*FLesson);
    FLastCopyUs = clock.nsecsElapsed() / 1000;
    if (!snapshot) return;
    if (!QDir().mkpath(FFolder)) {
        FWriter.Forget();
        emit Failed(QStringLiteral("Невозможно создать папку %1 для автосохранения.").arg(FFolder));
        return;
    }
    Post([this, snapshot] {
        if (FBroken && !tLessonWriter::Whole(*snapshot)) return;
        try {
            tLessonWriter::Write(*snapshot);
            FBroken = false;
        } catch (const tException& e) {
            FBroken = true;
            const QString message = e.Message();
            QMetaObject::invokeMethod(
                this,
                [this, message] {
                    FWriter.Forget();
                    emit Failed(message);
                },
                Qt::QueuedConnection);
        }
    });
}

void tAutosave::Flush() {
    std::unique_lock lock(FMutex);
    FIdle.wait(lock, [this] { return FJobs.empty() && !FBusy; });
}

void tAutosave::Discard() {
    Watch(nullptr);
    if (!std::exchange(FOwnsFile, false)) return;
    const QString path = FWriter.Path();
    Post([path] {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral(".part"));
        QFile::remove(path + QStringLiteral("-journal"));
    });
    Flush();
}

void tAutosave::Post(std::function<void()> job) {
    {
        std::lock_guard lock(FMutex);
        FJobs.push_back(std::move(job));
    }
    FWake.notify_one();
}

void tAutosave::Work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FStop || !FJobs.empty(); });
            if (FJobs.empty()) return;  // stopping, and nothing is left to write
            job = std::move(FJobs.front());
            FJobs.pop_front();
            FBusy = true;
        }
        job();
        {
            std::lock_guard lock(FMutex);
            FBusy = false;
        }
        FIdle.notify_all();
    }
}
