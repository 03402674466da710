// SPDX-License-Identifier: GPL-3.0-or-later
// One seat of a home shared by two computers (tests/lesson/network-seats.sh starts two, each on its
// own mount of the same folder). The seats take turns, as pupils at two seats do: each turn opens
// the shared lesson afresh, checks that it holds every point of every turn before, measures on and
// saves (every tenth turn «Сохранить как» under the same name, a whole save). Before that it tries
// to add its points of the previous turn with what it knew then, which must be refused as changed
// by the other seat, never taken or reported as damage. Then both seats save at the same moment,
// ten times: one wins, the other is refused (locked or changed), and the lesson stays whole.
//
//   lesson_seat <home> <seat 0|1> <turns> <baton folder>   take part; exit status 0 = all well
//   lesson_seat --check <lesson> <turns>                   the lesson holds every turn's points
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <cstdio>
#include <memory>

#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"

namespace {

constexpr int kPoints = 400;  // points a turn adds

double Value(int turn, int j) {
    return turn * 1000 + j * 0.25;
}

QString Name(tLessonFault fault) {
    switch (fault) {
        case tLessonFault::Locked:
            return QStringLiteral("locked");
        case tLessonFault::HeldBySeat:
            return QStringLiteral("held by the other seat");
        case tLessonFault::ChangedOutside:
            return QStringLiteral("changed elsewhere");
        case tLessonFault::Replaced:
            return QStringLiteral("replaced");
        case tLessonFault::Damaged:
            return QStringLiteral("DAMAGED");
        default:
            return QStringLiteral("fault %1").arg(int(fault));
    }
}

// The lesson holds the points of turns 0..turns-1 (and the race rounds' points after them).
bool Holds(const tLesson& lesson, int turns, QString& why) {
    if (lesson.RunCount() != 1) {
        why = QStringLiteral("%1 runs").arg(lesson.RunCount());
        return false;
    }
    const tRun* run = lesson.Run(0);
    if (run->Count() < qsizetype(turns) * kPoints) {
        why = QStringLiteral("%1 points, %2 expected").arg(run->Count()).arg(turns * kPoints);
        return false;
    }
    for (int turn = 0; turn < turns; ++turn)
        for (int j = 0; j < kPoints; ++j)
            if (run->Y(qsizetype(turn) * kPoints + j) != Value(turn, j)) {
                why = QStringLiteral("turn %1, point %2 differs").arg(turn).arg(j);
                return false;
            }
    return true;
}

class tBaton {
  public:
    explicit tBaton(const QString& folder) : FFolder(folder) {}
    int Read(const char* name) const {
        QFile file(QDir(FFolder).filePath(QLatin1String(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : -1;
    }
    void Write(const char* name, int value) const {
        QSaveFile file(QDir(FFolder).filePath(QLatin1String(name)));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QByteArray::number(value));
            file.commit();
        }
    }
    // Waits until `name` holds at least `value`; false after 60 s.
    bool WaitFor(const char* name, int value) const {
        QElapsedTimer clock;
        clock.start();
        while (Read(name) < value) {
            if (clock.elapsed() > 60000) return false;
            QThread::msleep(5);
        }
        return true;
    }

  private:
    QString FFolder;
};

int Check(const QString& path, int turns) {
    tLesson lesson;
    try {
        ReadLesson(path, lesson);
    } catch (const tLessonFileError& e) {
        std::printf("check: %s\n", qPrintable(e.Message()));
        return 1;
    }
    QString why;
    if (!Holds(lesson, turns, why)) {
        std::printf("check: %s\n", qPrintable(why));
        return 1;
    }
    std::printf("check: %lld points, every turn's there\n", static_cast<long long>(lesson.Run(0)->Count()));
    return 0;
}

int Seat(const QString& home, int seat, int turns, const QString& batonFolder) {
    const QString path = QDir(home).filePath(QStringLiteral("общий урок.rovelin"));
    const tBaton baton(batonFolder);
    int saves = 0, refused = 0, damaged = 0;
    std::unique_ptr<tLesson> lesson;
    std::unique_ptr<tLessonWriter> writer;
    auto fail = [&](const QString& what) {
        std::printf("seat %d: %s\n", seat, qPrintable(what));
        std::fflush(stdout);
        ++damaged;
    };
    for (int turn = seat; turn < turns; turn += 2) {
        if (!baton.WaitFor("turn", turn)) {
            fail(QStringLiteral("the other seat never passed turn %1").arg(turn));
            return 1;
        }
        // What this seat measured since its last turn: the other seat has saved in between.
        if (lesson) {
            lesson->Run(0)->Append(-1);
            try {
                writer->Save(*lesson);
                fail(QStringLiteral("turn %1: added to a lesson the other seat had changed").arg(turn));
            } catch (const tLessonFileError& e) {
                if (e.Fault() == tLessonFault::ChangedOutside || e.Fault() == tLessonFault::Replaced)
                    ++refused;
                else
                    fail(QStringLiteral("turn %1: refused as %2: %3")
                             .arg(turn)
                             .arg(Name(e.Fault()), e.Message()));
            }
        }
        lesson = std::make_unique<tLesson>();
        writer = std::make_unique<tLessonWriter>();
        if (turn == 0) {
            lesson->AddRun(0.001);
            writer->SetPath(path);
        } else {
            try {
                ReadLesson(path, *lesson, writer.get());
            } catch (const tLessonFileError& e) {
                fail(QStringLiteral("turn %1: not opened: %2").arg(turn).arg(e.Message()));
                return 1;
            }
            QString why;
            if (!Holds(*lesson, turn, why))
                fail(QStringLiteral("turn %1: lost points: %2").arg(turn).arg(why));
        }
        tRun* run = lesson->Run(0);
        for (int j = 0; j < kPoints; ++j) run->Append(Value(turn, j));
        try {
            if (turn % 10 == 9) writer = std::make_unique<tLessonWriter>(path);  // «Сохранить как»
            writer->Save(*lesson);
            ++saves;
        } catch (const tLessonFileError& e) {
            fail(QStringLiteral("turn %1: not saved (%2): %3").arg(turn).arg(Name(e.Fault()), e.Message()));
        }
        baton.Write("turn", turn + 1);
    }

    // Both seats at once: open, add, and save at the same moment.
    int won = 0, lost = 0;
    for (int round = 0; round < 10; ++round) {
        const int base = turns + round * 2;  // the "race" counter: both seats arrive, then go
        if (!baton.WaitFor("turn", turns + round)) return 1;
        tLesson mine;
        tLessonWriter mineWriter;
        try {
            ReadLesson(path, mine, &mineWriter);
        } catch (const tLessonFileError& e) {
            fail(QStringLiteral("race %1: not opened: %2").arg(round).arg(e.Message()));
            return 1;
        }
        for (int j = 0; j < 50; ++j) mine.Run(0)->Append(-100 - seat);
        baton.Write(seat == 0 ? "ready0" : "ready1", base);
        if (!baton.WaitFor(seat == 0 ? "ready1" : "ready0", base)) return 1;
        try {
            mineWriter.Save(mine);
            ++won;
        } catch (const tLessonFileError& e) {
            if (e.Fault() == tLessonFault::HeldBySeat || e.Fault() == tLessonFault::ChangedOutside ||
                e.Fault() == tLessonFault::Locked)
                ++lost;
            else
                fail(QStringLiteral("race %1: refused as %2: %3")
                         .arg(round)
                         .arg(Name(e.Fault()), e.Message()));
        }
        baton.Write(seat == 0 ? "done0" : "done1", base);
        if (!baton.WaitFor(seat == 0 ? "done1" : "done0", base)) return 1;
        if (seat == 0) baton.Write("turn", turns + round + 1);
        if (!baton.WaitFor("turn", turns + round + 1)) return 1;
    }
    std::printf(
        "seat %d: %d saves in turns, %d stale saves refused as changed elsewhere, %d races won, %d lost, "
        "%d faults\n",
        seat, saves, refused, won, lost, damaged);
    return damaged == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc == 4 && QByteArray(argv[1]) == "--check")
        return Check(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    if (argc != 5) {
        std::fprintf(stderr, "usage: lesson_seat <home> <seat 0|1> <turns> <baton folder>\n");
        return 2;
    }
    return Seat(QString::fromLocal8Bit(argv[1]), QByteArray(argv[2]).toInt(), QByteArray(argv[3]).toInt(),
                QString::fromLocal8Bit(argv[4]));
}
