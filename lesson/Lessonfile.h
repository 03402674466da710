// SPDX-License-Identifier: GPL-3.0-or-later
// The lesson file (.rovelin): one SQLite database that holds a whole lesson — the scenario, every
// run with its labels, the shown series, the markers, the description and the report. The schema
// is open and documented (README.md, "The lesson file"); any SQLite tool can read it.
//
// Writing: the first write of a file builds it whole in a temporary file beside the target and
// renames it over the target, so an existing file is replaced only by a complete one. Later writes
// add only what changed (new points are appended) in one transaction; a failed transaction leaves
// the file as it was, and the next write adds the failed part again. tLessonWriter remembers what
// its file holds; Take runs on the thread that owns the lesson and copies what is new, Write may run
// on any thread, and Written/NotWritten tell the writer on the lesson's thread how it went.
//
// A write never destroys a lesson: a file that another program has open for writing, that is
// read-only or that belongs to another user is never replaced, and a file that is no longer the one
// the writer last read or wrote (another file put in its place, or changed by another program) is
// never added to; each case is its own tLessonFault with a message in the user's words. Every
// write holds the lesson's lock (tLessonLock) beside the file. On a network folder a whole lesson
// is built on this computer first and copied beside the target before the rename.
#pragma once

#include <QMap>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Exceptions.h"
#include "lesson/Fileplace.h"

class tLesson;
struct tLessonSnapshot;
struct sqlite3;

namespace lessonfile {
// The schema version, stored as PRAGMA user_version. Every change of the schema raises it and adds
// one step to kUpgradeSteps in Lessonfile.cpp that brings a file of the previous version up to
// date; files of a higher version are refused (written by a newer program).
inline constexpr int SchemaVersion = 2;
// One upgrade step: changes a file of the version it is listed under and returns the version it
// reached (higher, or the upgrade is refused). It runs inside a transaction of its own, which also
// stores the version it returns.
using tUpgradeStep = int (*)(sqlite3* db);
// The program's own steps: [v - 1] upgrades a file of version v.
std::vector<tUpgradeStep> UpgradeSteps();
// The upgrade route with steps of its own, for tests that need an older version than there is:
// while it lives, files are written as `version` and read through `steps` (steps[v - 1] upgrades a
// file of version v). One at a time, and no writes or reads may run on other threads meanwhile.
class tSchemaForTests {
  public:
    tSchemaForTests(int version, std::vector<tUpgradeStep> steps);
    ~tSchemaForTests();
    tSchemaForTests(const tSchemaForTests&) = delete;
    tSchemaForTests& operator=(const tSchemaForTests&) = delete;
};
// The copy of a file kept before its upgrade in place: `<name>.v<version>.rovelin` beside it, or in
// `fallbackFolder` when its folder is not writable.
QString UpgradeCopyPath(const QString& path, int version, const QString& fallbackFolder);
// PRAGMA application_id of a lesson file: "ROVL".
inline constexpr std::int32_t ApplicationId = 0x524F564C;
// The extension, without the dot.
inline constexpr const char* Suffix = "rovelin";
// Points per stored chunk row at most.
inline constexpr int ChunkPoints = 8192;
}  // namespace lessonfile

// Why a lesson file could not be read or written; the message is ready for the error box.
enum class tLessonFault {
    NotLesson,       // not a lesson file at all
    Newer,           // written by a newer program
    Damaged,         // cut off or broken
    Locked,          // another program holds it (a write transaction, or open for writing)
    CannotOpen,      // cannot be read (missing, no permission)
    CannotWrite,     // the write failed (full disk, folder not writable, network gone)
    ReadOnly,        // the file may not be written
    OtherOwner,      // the file belongs to another user
    Replaced,        // another file was put in its place since it was opened or last saved
    ChangedOutside,  // another program changed it since it was opened or last saved
    HeldBySeat,      // another copy of the program (another seat of the same home) is writing it
    CannotUpgrade,   // written by an older program, and its upgrade failed
};

class tLessonFileError : public tException {
  public:
    tLessonFileError(tLessonFault fault, const QString& message, const QString& reason = QString())
        : tException(message), FFault(fault), FReason(reason) {}
    tLessonFault Fault() const { return FFault; }
    // The reason in a few words, for a status line: «на диске нет места», «файл занят другой программой».
    QString Reason() const { return FReason; }
    // Whether saving under another name («Сохранить как...») gets the lesson out: the file or its
    // folder cannot or must not be written.
    bool SaveAsHelps() const { return SaveAsHelps(FFault); }
    static bool SaveAsHelps(tLessonFault fault);

  private:
    tLessonFault FFault;
    QString FReason;
};

class tLessonWriter {
  public:
    explicit tLessonWriter(const QString& path = QString());
    ~tLessonWriter();

    QString Path() const { return FPath; }
    // A new target; the next write builds it whole.
    void SetPath(const QString& path);
    // The file's content is not known (another target, a file of ours to be rebuilt): the next
    // write is whole.
    void Forget();
    bool Knows() const;
    // Extra entries of the lesson table written with every snapshot (e.g. where an autosave came from).
    void SetExtra(const QString& key, const QString& value) { FExtra.insert(key, value); }
    // Whether the file is written the careful way of network folders (a whole lesson built on this
    // computer first, no identity by inode). Picked from the folder by SetPath; Force sets it.
    bool Network() const { return FNetwork; }
    void ForceNetwork(bool network) { FNetwork = network; }

    // Whether `lesson` holds anything the file does not (always true before the first write).
    bool HasChanges(const tLesson& lesson) const;
    // On the lesson's thread: copies what changed since the file was last written (everything when
    // the file is not known or is gone); null when nothing changed or a write is still pending.
    // Sets lesson.Created the first time and lesson.Changed.
    std::shared_ptr<const tLessonSnapshot> Take(tLesson& lesson);
    // Any thread, one write at a time per file. Returns the file's identity afterwards. Raises
    // tLessonFileError; the file keeps its content.
    static fileplace::tStamp Write(const tLessonSnapshot& snapshot);
    // Whether `snapshot` builds its file anew (rather than adding to it).
    static bool Whole(const tLessonSnapshot& snapshot);
    // On the lesson's thread after the write of the last Take: it succeeded (the writer counts it
    // as in the file), or it failed (the file holds what it held before; the next Take includes
    // the failed part again, as an increment when the file was known).
    void Written(const fileplace::tStamp& stamp);
    void NotWritten();
    bool Pending() const { return FPending != nullptr; }
    // Take, Write and Written/NotWritten on this thread; the error goes on.
    void Save(tLesson& lesson);

    // The file at Path (identity `stamp`, lesson-table entries `entries`) holds exactly `lesson`,
    // its runs under the ids given in lesson order (ReadLesson).
    void Adopt(const tLesson& lesson, const std::vector<std::int64_t>& runIds,
               const QMap<QString, QString>& entries, const fileplace::tStamp& stamp);

  private:
    struct tState;
    QString FPath;
    bool FNetwork = false;
    std::unique_ptr<tState> FState;    // what the file holds as far as the writer knows
    std::unique_ptr<tState> FPending;  // what it holds once the write in flight succeeds
    QMap<QString, QString> FExtra;
};

// What opening a lesson file has to tell besides the lesson (empty when nothing).
struct tLessonReadNote {
    // The file was written by an older program: it was upgraded (its copy as it was is at
    // UpgradeCopy), or, when it may not be written, upgraded in memory only (Text says so).
    bool Upgraded = false;
    QString UpgradeCopy;
    QString Text;
};

// Reads the lesson file at `path` into `lesson`, which must be empty. On success `writer` (when
// given) knows the file holds the lesson, `meta` (when given) gets the lesson table's entries and
// `note` (when given) what the user should know. A leftover `<name>.part` of a cut-off save is
// removed. Raises tLessonFileError; `lesson` is then left untouched.
void ReadLesson(const QString& path, tLesson& lesson, tLessonWriter* writer = nullptr,
                QMap<QString, QString>* meta = nullptr, tLessonReadNote* note = nullptr);
