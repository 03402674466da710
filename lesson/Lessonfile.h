// SPDX-License-Identifier: GPL-3.0-or-later
// The lesson file (.rovelin): one SQLite database that holds a whole lesson — the scenario, every
// run with its labels, the shown series, the markers, the description and the report. The schema
// is open and documented (README.md, "The lesson file"); any SQLite tool can read it.
//
// Writing: the first write of a file builds it whole in a temporary file beside the target and
// renames it over the target, so an existing file is replaced only by a complete one. Later writes
// add only what changed (new points are appended) in one transaction; a failed transaction leaves
// the file as it was. tLessonWriter remembers what its file holds; Take runs on the thread that
// owns the lesson and copies what is new, Write may run on any thread.
#pragma once

#include <QMap>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Exceptions.h"

class tLesson;
struct tLessonSnapshot;

namespace lessonfile {
// The schema version, stored as PRAGMA user_version. Every change of the schema raises it by one
// and adds a step to Upgrade() in Lessonfile.cpp that brings a file of the previous version up to
// date; files of a higher version are refused (written by a newer program).
inline constexpr int SchemaVersion = 1;
// PRAGMA application_id of a lesson file: "ROVL".
inline constexpr std::int32_t ApplicationId = 0x524F564C;
// The extension, without the dot.
inline constexpr const char* Suffix = "rovelin";
// Points per stored chunk row at most.
inline constexpr int ChunkPoints = 8192;
}  // namespace lessonfile

// Why a lesson file could not be read or written; the message is ready for the error box.
enum class tLessonFault { NotLesson, Newer, Damaged, Locked, CannotOpen, CannotWrite };

class tLessonFileError : public tException {
  public:
    tLessonFileError(tLessonFault fault, const QString& message) : tException(message), FFault(fault) {}
    tLessonFault Fault() const { return FFault; }

  private:
    tLessonFault FFault;
};

class tLessonWriter {
  public:
    explicit tLessonWriter(const QString& path = QString());
    ~tLessonWriter();

    QString Path() const { return FPath; }
    // A new target; the next write builds it whole.
    void SetPath(const QString& path);
    // The file's content is not known (a failed write, another target): the next write is whole.
    void Forget();
    bool Knows() const { return FKnown; }
    // Extra entries of the lesson table written with every snapshot (e.g. where an autosave came from).
    void SetExtra(const QString& key, const QString& value) { FExtra.insert(key, value); }

    // Whether `lesson` holds anything the file does not (always true before the first write).
    bool HasChanges(const tLesson& lesson) const;
    // On the lesson's thread: copies what changed since the last Take (everything when the file is
    // not known) and counts it as written; null when nothing changed. Sets lesson.Created the first
    // time and lesson.Changed.
    std::shared_ptr<const tLessonSnapshot> Take(tLesson& lesson);
    // Any thread, one write at a time per file. Raises tLessonFileError; the file keeps its content.
    static void Write(const tLessonSnapshot& snapshot);
    // Whether `snapshot` builds its file anew (rather than adding to it).
    static bool Whole(const tLessonSnapshot& snapshot);
    // Take and Write on this thread. On failure the writer forgets the file and the error goes on.
    void Save(tLesson& lesson);

    // The file holds exactly `lesson`, its runs under the ids given in lesson order (ReadLesson).
    void Adopt(const tLesson& lesson, const std::vector<std::int64_t>& runIds);

  private:
    struct tSavedRun;
    QString FPath;
    bool FKnown = false;
    std::uint64_t FRevision = 0;
    std::uint64_t FDocumentRevisions[2] = {0, 0};
    std::int64_t FNextId = 1;
    std::unique_ptr<QMap<std::uint64_t, tSavedRun>> FRuns;  // by tRun::Uid
    QMap<QString, QString> FExtra;
};

// Reads the lesson file at `path` into `lesson`, which must be empty. On success `writer` (when
// given) knows the file holds the lesson and `meta` (when given) gets the lesson table's entries.
// Raises tLessonFileError; `lesson` is then left untouched.
void ReadLesson(const QString& path, tLesson& lesson, tLessonWriter* writer = nullptr,
                QMap<QString, QString>* meta = nullptr);
