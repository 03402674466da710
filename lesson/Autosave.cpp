// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Autosave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "foundation/Userfolders.h"
#include "lesson/Fileplace.h"
#include "lesson/Lesson.h"

QString tAutosave::DefaultFolder() {
    return ProgramStateFolder();
}

QString tAutosave::LocalFolder() {
    return fileplace::LocalFolder();
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
    FSaver.Writer().SetPath(FileIn(folder));
    FTimer.setInterval(std::min(FIntervalMs, FRunIntervalMs));
    connect(&FTimer, &QTimer::timeout, this, &tAutosave::Tick);
    connect(&FSaver, &tLessonSaver::Saved, this, [this] {
        SetNote(QString());
        if (std::exchange(FAgain, false)) SaveNow();
    });
    connect(&FSaver, &tLessonSaver::Failed, this,
            [this](tLessonFault fault, const QString& message, const QString& reason) {
                // The autosave file is ours alone: one changed or replaced behind our back is built anew.
                if (fault == tLessonFault::Replaced || fault == tLessonFault::ChangedOutside)
                    FSaver.Writer().Forget();
                SetNote(tr("Автосохранение не удалось: %1").arg(reason));
                emit Failed(message);
            });
}

tAutosave::~tAutosave() {
    FSaver.Wait();
}

void tAutosave::Watch(tLesson* lesson, const QString& origin) {
    disconnect(FPointsConnection);
    FLesson = lesson;
    FPointsSince = false;
    FAgain = false;
    FSaver.Writer().Forget();
    SetOrigin(origin);
    if (lesson) {
        FOwnsFile = true;
        FPointsConnection = connect(lesson, &tLesson::PointsAppended, this, [this] { FPointsSince = true; });
        FSinceCopy.start();
        FTimer.start();
    } else {
        FTimer.stop();
    }
}

void tAutosave::SetOrigin(const QString& origin) {
    FSaver.Writer().SetExtra(QStringLiteral("origin"), origin);
}

void tAutosave::SetIntervalMs(int ms) {
    FIntervalMs = ms;
    FTimer.setInterval(std::min(FIntervalMs, FRunIntervalMs));
}

void tAutosave::SetRunIntervalMs(int ms) {
    FRunIntervalMs = ms;
    FTimer.setInterval(std::min(FIntervalMs, FRunIntervalMs));
}

void tAutosave::Tick() {
    // The timer ticks at the shorter interval: points are kept at every tick, other changes once
    // the longer interval is (about) over. A copy that ran late must not push the next one a whole
    // tick further, hence half a tick of slack.
    if (FPointsSince || FSinceCopy.elapsed() + FTimer.interval() / 2 >= FIntervalMs) SaveNow();
}

void tAutosave::SaveNow() {
    if (!FLesson) return;
    if (FSaver.Busy()) {
        FAgain = true;
        return;
    }
    if (BeforeSave) BeforeSave();
    FPointsSince = false;
    FSinceCopy.start();
    if (!FSaver.Writer().HasChanges(*FLesson)) return;
    if (!QDir().mkpath(FFolder)) {
        const QString reason = tr("папка %1 не создаётся").arg(QDir::toNativeSeparators(FFolder));
        SetNote(tr("Автосохранение не удалось: %1").arg(reason));
        emit Failed(tr("Невозможно создать папку %1 для автосохранения.").arg(FFolder));
        return;
    }
    FSaver.Save(*FLesson);
}

void tAutosave::Flush() {
    for (;;) {
        if (FSaver.Busy()) {
            FSaver.Wait();  // a write that ends asks for the next one when FAgain
        } else if (std::exchange(FAgain, false)) {
            SaveNow();
            if (!FSaver.Busy()) return;
        } else {
            return;
        }
    }
}

void tAutosave::Discard() {
    Watch(nullptr);
    FSaver.Wait();
    if (!std::exchange(FOwnsFile, false)) return;
    const QString path = Path();
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".part"));
    QFile::remove(path + QStringLiteral("-journal"));
}

void tAutosave::SetNote(const QString& note) {
    if (note == FNote) return;
    FNote = note;
    emit NoteChanged(note);
}
