// SPDX-License-Identifier: GPL-3.0-or-later
// Child programs the lesson tests start (the test binary run with a switch): another program that
// holds a write transaction on a lesson, and a measurement that appends points in real time with
// the autosave on, to be killed.
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "lesson/Autosave.h"
#include "lesson/Lesson.h"

namespace {

// --hold-write <lesson>: opens the lesson as any SQLite tool would, starts a write transaction
// that adds a teacher's note, prints "held", and commits when a line arrives on its input.
int HoldWrite(const char* path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path, &db) != SQLITE_OK) return 2;
    if (sqlite3_exec(db,
                     "BEGIN IMMEDIATE; INSERT OR REPLACE INTO lesson(key, value) VALUES ('note', 'учитель');",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        return 3;
    std::printf("held\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::printf(rc == SQLITE_OK ? "committed\n" : "failed\n");
    std::fflush(stdout);
    return rc == SQLITE_OK ? 0 : 4;
}

}  // namespace

// The value of point i of the real-time run (tests recognise the run by it).
double RealtimeValue(qsizetype i) {
    return std::round(std::sin(i * 0.003) * 40000) / 1000;
}

namespace {

// --realtime-run <folder>: a 1 kHz run as the live display makes it — every 100 ms the points
// measured since the start are appended — with the autosave as the program keeps it. Prints
// "ready <start of the run, ms since the epoch>" once points flow.
int RealtimeRun(const QString& folder) {
    tLesson lesson;
    tRun* run = lesson.AddRun(0.001);
    lesson.SetSeriesRun(0, run);
    tAutosave autosave(folder);
    autosave.Watch(&lesson);
    autosave.SaveNow();  // the lesson is kept from its start on, before any run
    autosave.Flush();
    QElapsedTimer clock;
    clock.start();
    run->Started = QDateTime::currentDateTime();
    QTimer tick;
    bool announced = false;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qsizetype from = run->Count();
        const qsizetype to = clock.elapsed();  // one point a millisecond since the start
        for (qsizetype i = from; i < to; ++i) run->Append(RealtimeValue(i));
        lesson.NotifyAppended(run, from, to - from);
        if (!std::exchange(announced, true)) {
            std::printf("ready %lld\n", static_cast<long long>(run->Started.toMSecsSinceEpoch()));
            std::fflush(stdout);
        }
    });
    tick.start(100);
    return QCoreApplication::exec();
}

}  // namespace

int RunLessonChild(int argc, char** argv) {
    if (argc < 3) return -1;
    const QByteArray mode(argv[1]);
    if (mode == "--hold-write") return HoldWrite(argv[2]);
    if (mode == "--realtime-run") return RealtimeRun(QString::fromLocal8Bit(argv[2]));
    return -1;
}
