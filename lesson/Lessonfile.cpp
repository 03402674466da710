// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Lessonfile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "lesson/Lesson.h"

// ---------------------------------------------------------------------------------------------
// the snapshot: what one write puts into the file

struct tLessonSnapshot {
    QString Path;
    bool Whole = false;
    QMap<QString, QString> Meta;  // entries of the lesson table
    bool WithLessonPart = false;  // scenario, series, markers
    QList<QPair<QString, QString>> Scenario;
    std::vector<std::int64_t> SeriesIds;  // per slot, 0 = none
    QList<tLesson::tMarkers> Markers;
    bool WithDocument[tLesson::DocumentCount] = {false, false};
    QByteArray Documents[tLesson::DocumentCount];
    struct tRunPart {
        std::int64_t Id = 0;
        QString Started;
        QString Sensor;
        double Step = 0;
        bool Evenly = true;
        qsizetype Total = 0;   // points of the run after this write
        bool Rewrite = false;  // points and labels from scratch
        qsizetype From = 0;    // first point in Ys/Xs
        std::vector<double> Ys;
        std::vector<double> Xs;  // irregular runs only
        bool RewriteLabels = false;
        QMap<qsizetype, QString> Labels;  // all labels (rewrite) or those from From on
    };
    std::vector<tRunPart> Runs;      // runs with anything new
    std::vector<std::int64_t> Kept;  // every run id of the lesson; others are deleted
};

struct tLessonWriter::tSavedRun {
    std::int64_t Id = 0;
    qsizetype Count = 0;
    std::uint64_t Edits = 0;
    std::uint64_t LabelEdits = 0;
    bool Evenly = true;
};

namespace {

// ---------------------------------------------------------------------------------------------
// texts

QString Quoted(const QString& path) {
    return QStringLiteral("«") + QDir::toNativeSeparators(path) + QStringLiteral("»");
}

[[noreturn]] void Fail(tLessonFault fault, const QString& path, const QString& detail = QString()) {
    QString text;
    switch (fault) {
        case tLessonFault::NotLesson:
            text = QStringLiteral("Файл %1 не является файлом урока.").arg(Quoted(path));
            break;
        case tLessonFault::Newer:
            text = QStringLiteral(
                       "Файл урока %1 сохранён более новой версией программы.\r\nЧтобы открыть его, "
                       "обновите программу.")
                       .arg(Quoted(path));
            break;
        case tLessonFault::Damaged:
            text = QStringLiteral("Файл урока %1 повреждён или записан не полностью и не может быть открыт.")
                       .arg(Quoted(path));
            break;
        case tLessonFault::Locked:
            text =
                QStringLiteral("Файл урока %1 занят другой программой.\r\nЗакройте её и повторите попытку.")
                    .arg(Quoted(path));
            break;
        case tLessonFault::CannotOpen:
            text = QStringLiteral("Невозможно открыть файл урока %1.").arg(Quoted(path));
            break;
        case tLessonFault::CannotWrite:
            text = QStringLiteral("Невозможно сохранить урок в файл %1.").arg(Quoted(path));
            break;
    }
    if (!detail.isEmpty()) text += QStringLiteral("\r\nСистема сообщает: ") + detail;
    throw tLessonFileError(fault, text);
}

// The reason SQLite gives, in the system's words where the system gave one.
QString Reason(sqlite3* db, int rc) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_FULL) return SystemErrorText(ENOSPC);
    const int err = db ? sqlite3_system_errno(db) : 0;
    if (err != 0 && (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY ||
                     primary == SQLITE_PERM))
        return SystemErrorText(err);
    return QString::fromUtf8(sqlite3_errstr(rc));
}

// ---------------------------------------------------------------------------------------------
// a small SQLite wrapper: every failure becomes a tLessonFileError of the given kind

class tDb {
  public:
    tDb(const QString& path, int flags, tLessonFault onError) : FPath(path), FOnError(onError) {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &FDb, flags, nullptr);
        if (rc != SQLITE_OK) {
            // A failed open still hands out a handle; the destructor does not run, so it closes here
            // (after Raise has read the reason from it).
            struct tCloser {
                sqlite3* db;
                ~tCloser() { sqlite3_close_v2(db); }
            } closer{FDb};
            Raise(rc);
        }
        sqlite3_extended_result_codes(FDb, 1);
        sqlite3_busy_timeout(FDb, 1000);
    }
    ~tDb() { sqlite3_close_v2(FDb); }
    tDb(const tDb&) = delete;
    tDb& operator=(const tDb&) = delete;

    sqlite3* Handle() const { return FDb; }
    void SetFault(tLessonFault fault) { FOnError = fault; }

    [[noreturn]] void Raise(int rc) {
        const int primary = rc & 0xFF;
        tLessonFault fault = FOnError;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) fault = tLessonFault::Locked;
        if (FOnError != tLessonFault::CannotWrite) {
            if (primary == SQLITE_NOTADB) fault = tLessonFault::NotLesson;
            if (primary == SQLITE_CORRUPT) fault = tLessonFault::Damaged;
        }
        Fail(fault, FPath,
             fault == tLessonFault::CannotWrite || fault == tLessonFault::CannotOpen ? Reason(FDb, rc)
                                                                                     : QString());
    }
    void Exec(const char* sql) {
        const int rc = sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) Raise(rc);
    }

  private:
    QString FPath;
    tLessonFault FOnError;
    sqlite3* FDb = nullptr;
};

class tStatement {
  public:
    tStatement(tDb& db, const char* sql) : FDb(db) {
        const int rc = sqlite3_prepare_v2(db.Handle(), sql, -1, &FStmt, nullptr);
        if (rc != SQLITE_OK) db.Raise(rc);
    }
    ~tStatement() { sqlite3_finalize(FStmt); }
    tStatement(const tStatement&) = delete;
    tStatement& operator=(const tStatement&) = delete;

    tStatement& Bind(int i, std::int64_t v) {
        Check(sqlite3_bind_int64(FStmt, i, v));
        return *this;
    }
    tStatement& Bind(int i, double v) {
        Check(sqlite3_bind_double(FStmt, i, v));
        return *this;
    }
    tStatement& Bind(int i, const QString& v) {
        const QByteArray utf8 = v.toUtf8();
        Check(sqlite3_bind_text(FStmt, i, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT));
        return *this;
    }
    tStatement& BindText(int i, const std::string& v) {
        Check(sqlite3_bind_text(FStmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    tStatement& BindBlob(int i, const QByteArray& v) {
        Check(sqlite3_bind_blob(FStmt, i, v.constData(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    tStatement& BindNull(int i) {
        Check(sqlite3_bind_null(FStmt, i));
        return *this;
    }
    // Runs a statement that returns no rows, then makes it ready for new values.
    void Run() {
        const int rc = sqlite3_step(FStmt);
        sqlite3_reset(FStmt);
        sqlite3_clear_bindings(FStmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) FDb.Raise(rc);
    }
    // Makes a query ready to run again with new values.
    void Reset() {
        sqlite3_reset(FStmt);
        sqlite3_clear_bindings(FStmt);
    }
    // Steps to the next row; false at the end.
    bool Next() {
        const int rc = sqlite3_step(FStmt);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) FDb.Raise(rc);
        return false;
    }
    std::int64_t Int(int col) const { return sqlite3_column_int64(FStmt, col); }
    double Real(int col) const { return sqlite3_column_double(FStmt, col); }
    bool IsNull(int col) const { return sqlite3_column_type(FStmt, col) == SQLITE_NULL; }
    QString Text(int col) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, col));
        return QString::fromUtf8(text, sqlite3_column_bytes(FStmt, col));
    }
    std::string_view Chars(int col) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, col));
        return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(FStmt, col)))
                    : std::string_view();
    }
    QByteArray Blob(int col) const {
        const void* data = sqlite3_column_blob(FStmt, col);
        return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(FStmt, col));
    }

  private:
    void Check(int rc) {
        if (rc != SQLITE_OK) FDb.Raise(rc);
    }
    tDb& FDb;
    sqlite3_stmt* FStmt = nullptr;
};

// ---------------------------------------------------------------------------------------------
// the schema (README.md, "The lesson file", describes the same)

const char* const kSchema = R"sql(
CREATE TABLE lesson (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE scenario (pos INTEGER PRIMARY KEY, key TEXT NOT NULL, value TEXT NOT NULL);
CREATE TABLE document (name TEXT PRIMARY KEY, rtf BLOB NOT NULL);
CREATE TABLE run (
    id INTEGER PRIMARY KEY,
    started TEXT NOT NULL,
    sensor TEXT NOT NULL,
    step REAL NOT NULL,
    evenly INTEGER NOT NULL,
    points INTEGER NOT NULL);
CREATE TABLE chunk (
    run_id INTEGER NOT NULL REFERENCES run(id),
    first INTEGER NOT NULL,
    count INTEGER NOT NULL,
    y TEXT NOT NULL,
    x TEXT,
    PRIMARY KEY (run_id, first));
CREATE TABLE label (
    run_id INTEGER NOT NULL REFERENCES run(id),
    idx INTEGER NOT NULL,
    text TEXT NOT NULL,
    PRIMARY KEY (run_id, idx));
CREATE TABLE series (slot INTEGER PRIMARY KEY, run_id INTEGER);
CREATE TABLE marker (chart INTEGER PRIMARY KEY, first INTEGER NOT NULL, second INTEGER NOT NULL);
CREATE VIEW point AS
    SELECT c.run_id AS run, c.first + j.key AS idx,
           CASE WHEN c.x IS NULL THEN (c.first + j.key) * r.step
                ELSE json_extract(c.x, '$[' || j.key || ']') END AS t,
           j.value AS value
    FROM chunk c JOIN run r ON r.id = c.run_id, json_each(c.y) j;
)sql";

// Brings a file of an older schema version up to date, one version at a time. There is no older
// version yet; a change of the schema adds its step here (inside the caller's transaction).
void Upgrade(tDb&, int fromVersion) {
    (void)fromVersion;
}

// ---------------------------------------------------------------------------------------------
// points as JSON arrays: readable with SQLite's json functions, exact (shortest round-trip text)

void AppendNumbers(std::string& out, const double* values, std::size_t count) {
    out.reserve(out.size() + count * 12 + 2);
    out += '[';
    char buffer[32];
    for (std::size_t i = 0; i < count; ++i) {
        if (i) out += ',';
        if (!std::isfinite(values[i])) {
            out += "null";  // JSON has no NaN or infinity; a gap reads back as NaN
            continue;
        }
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, values[i]);
        out.append(buffer, result.ptr);
    }
    out += ']';
}

// Parses a JSON array of numbers into `out`; false when the text is not one.
bool ParseNumbers(std::string_view text, std::vector<double>& out) {
    const char* p = text.data();
    const char* end = p + text.size();
    auto skip = [&] {
        while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t')) ++p;
    };
    skip();
    if (p == end || *p != '[') return false;
    ++p;
    skip();
    if (p < end && *p == ']') return true;
    for (;;) {
        skip();
        if (end - p >= 4 && std::string_view(p, 4) == "null") {
            out.push_back(std::numeric_limits<double>::quiet_NaN());
            p += 4;
        } else {
            double value = 0;
            const auto result = std::from_chars(p, end, value);
            if (result.ec != std::errc() || result.ptr == p) return false;
            out.push_back(value);
            p = result.ptr;
        }
        skip();
        if (p == end) return false;
        if (*p == ']') return true;
        if (*p != ',') return false;
        ++p;
    }
}

QString IsoTime(const QDateTime& time) {
    return time.isValid() ? time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs)
                          : QString();
}

const char* DocumentName(int which) {
    return which == tLesson::Description ? "description" : "report";
}

// ---------------------------------------------------------------------------------------------
// writing

void WriteContent(tDb& db, const tLessonSnapshot& s) {
    {
        tStatement meta(db, "INSERT OR REPLACE INTO lesson(key, value) VALUES (?, ?)");
        for (auto it = s.Meta.cbegin(); it != s.Meta.cend(); ++it) {
            meta.Bind(1, it.key()).Bind(2, it.value());
            meta.Run();
        }
    }
    for (int which = 0; which < tLesson::DocumentCount; ++which) {
        if (!s.WithDocument[which]) continue;
        tStatement doc(db, "INSERT OR REPLACE INTO document(name, rtf) VALUES (?, ?)");
        doc.Bind(1, QString::fromLatin1(DocumentName(which))).BindBlob(2, s.Documents[which]);
        doc.Run();
    }

    tStatement runRow(db,
                      "INSERT OR REPLACE INTO run(id, started, sensor, step, evenly, points) VALUES "
                      "(?, ?, ?, ?, ?, ?)");
    tStatement dropChunks(db, "DELETE FROM chunk WHERE run_id = ?");
    tStatement dropLabels(db, "DELETE FROM label WHERE run_id = ?");
    tStatement chunk(db, "INSERT OR REPLACE INTO chunk(run_id, first, count, y, x) VALUES (?, ?, ?, ?, ?)");
    tStatement label(db, "INSERT OR REPLACE INTO label(run_id, idx, text) VALUES (?, ?, ?)");
    std::string text;
    for (const tLessonSnapshot::tRunPart& run : s.Runs) {
        runRow.Bind(1, run.Id)
            .Bind(2, run.Started)
            .Bind(3, run.Sensor)
            .Bind(4, run.Step)
            .Bind(5, std::int64_t(run.Evenly ? 1 : 0))
            .Bind(6, std::int64_t(run.Total));
        runRow.Run();
        if (run.Rewrite) {
            dropChunks.Bind(1, run.Id);
            dropChunks.Run();
        }
        if (run.Rewrite || run.RewriteLabels) {
            dropLabels.Bind(1, run.Id);
            dropLabels.Run();
        }
        const std::size_t n = run.Ys.size();
        for (std::size_t at = 0; at < n; at += lessonfile::ChunkPoints) {
            const std::size_t count = std::min<std::size_t>(lessonfile::ChunkPoints, n - at);
            text.clear();
            AppendNumbers(text, run.Ys.data() + at, count);
            chunk.Bind(1, run.Id)
                .Bind(2, std::int64_t(run.From + qsizetype(at)))
                .Bind(3, std::int64_t(count));
            chunk.BindText(4, text);
            if (run.Evenly) {
                chunk.BindNull(5);
            } else {
                text.clear();
                AppendNumbers(text, run.Xs.data() + at, count);
                chunk.BindText(5, text);
            }
            chunk.Run();
        }
        for (auto it = run.Labels.cbegin(); it != run.Labels.cend(); ++it) {
            label.Bind(1, run.Id).Bind(2, std::int64_t(it.key())).Bind(3, it.value());
            label.Run();
        }
    }

    if (s.WithLessonPart) {
        db.Exec("DELETE FROM scenario; DELETE FROM series; DELETE FROM marker;");
        tStatement entry(db, "INSERT INTO scenario(pos, key, value) VALUES (?, ?, ?)");
        for (int i = 0; i < s.Scenario.size(); ++i) {
            entry.Bind(1, std::int64_t(i)).Bind(2, s.Scenario[i].first).Bind(3, s.Scenario[i].second);
            entry.Run();
        }
        tStatement series(db, "INSERT INTO series(slot, run_id) VALUES (?, ?)");
        for (std::size_t slot = 0; slot < s.SeriesIds.size(); ++slot) {
            series.Bind(1, std::int64_t(slot));
            if (s.SeriesIds[slot] > 0)
                series.Bind(2, s.SeriesIds[slot]);
            else
                series.BindNull(2);
            series.Run();
        }
        tStatement marker(db, "INSERT INTO marker(chart, first, second) VALUES (?, ?, ?)");
        for (int chart = 0; chart < s.Markers.size(); ++chart) {
            marker.Bind(1, std::int64_t(chart))
                .Bind(2, std::int64_t(s.Markers[chart].First))
                .Bind(3, std::int64_t(s.Markers[chart].Second));
            marker.Run();
        }
    }

    // Runs the lesson no longer has.
    db.Exec("CREATE TEMP TABLE IF NOT EXISTS kept (id INTEGER PRIMARY KEY); DELETE FROM kept;");
    tStatement keep(db, "INSERT OR IGNORE INTO kept(id) VALUES (?)");
    for (std::int64_t id : s.Kept) {
        keep.Bind(1, id);
        keep.Run();
    }
    db.Exec(
        "DELETE FROM chunk WHERE run_id NOT IN (SELECT id FROM kept);"
        "DELETE FROM label WHERE run_id NOT IN (SELECT id FROM kept);"
        "DELETE FROM run WHERE id NOT IN (SELECT id FROM kept);");
}

// fsync of a folder, so a rename in it survives a power cut.
void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void WriteWhole(const tLessonSnapshot& s) {
    const QString target = QFileInfo(s.Path).absoluteFilePath();
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    try {
        {
            tDb db(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, tLessonFault::CannotWrite);
            // A throwaway file needs no journal; the rename below is what makes it the lesson.
            db.Exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL;");
            db.Exec(QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2;")
                        .arg(lessonfile::ApplicationId)
                        .arg(lessonfile::SchemaVersion)
                        .toUtf8()
                        .constData());
            db.Exec("BEGIN");
            db.Exec(kSchema);
            WriteContent(db, s);
            db.Exec("COMMIT");
        }
        if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0)
            Fail(tLessonFault::CannotWrite, target, LastSystemErrorText());
        SyncFolder(QFileInfo(target).absolutePath());
    } catch (...) {
        QFile::remove(part);
        throw;
    }
}

void CheckHeader(tDb& db, const QString& path, int* versionOut = nullptr) {
    tStatement id(db, "PRAGMA application_id");
    const std::int64_t application = id.Next() ? id.Int(0) : 0;
    tStatement uv(db, "PRAGMA user_version");
    const std::int64_t version = uv.Next() ? uv.Int(0) : 0;
    if (application != lessonfile::ApplicationId || version < 1) Fail(tLessonFault::NotLesson, path);
    if (version > lessonfile::SchemaVersion) Fail(tLessonFault::Newer, path);
    if (versionOut) *versionOut = static_cast<int>(version);
}

void WriteIncrement(const tLessonSnapshot& s) {
    if (!QFileInfo::exists(s.Path)) Fail(tLessonFault::CannotWrite, s.Path, SystemErrorText(ENOENT));
    tDb db(s.Path, SQLITE_OPEN_READWRITE, tLessonFault::CannotWrite);
    db.Exec("PRAGMA synchronous = FULL");
    db.Exec("BEGIN IMMEDIATE");
    try {
        CheckHeader(db, s.Path);
        WriteContent(db, s);
        db.Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// tLessonWriter

tLessonWriter::tLessonWriter(const QString& path)
    : FPath(path), FRuns(std::make_unique<QMap<std::uint64_t, tSavedRun>>()) {}

tLessonWriter::~tLessonWriter() = default;

void tLessonWriter::SetPath(const QString& path) {
    FPath = path;
    Forget();
}

void tLessonWriter::Forget() {
    FKnown = false;
    FRuns->clear();
    FNextId = 1;
}

bool tLessonWriter::HasChanges(const tLesson& lesson) const {
    if (!FKnown || lesson.Revision() != FRevision) return true;
    for (int d = 0; d < tLesson::DocumentCount; ++d)
        if (lesson.DocumentRevision(tLesson::tDocument(d)) != FDocumentRevisions[d]) return true;
    if (lesson.RunCount() != FRuns->size()) return true;
    for (int i = 0; i < lesson.RunCount(); ++i) {
        const tRun* run = lesson.Run(i);
        const auto it = FRuns->constFind(run->Uid());
        if (it == FRuns->cend() || it->Count != run->Count() || it->Edits != run->Edits() ||
            it->LabelEdits != run->LabelEdits() || it->Evenly != run->Evenly())
            return true;
    }
    return false;
}

std::shared_ptr<const tLessonSnapshot> tLessonWriter::Take(tLesson& lesson) {
    if (!HasChanges(lesson)) return nullptr;
    auto s = std::make_shared<tLessonSnapshot>();
    s->Path = FPath;
    s->Whole = !FKnown;
    const QDateTime now = QDateTime::currentDateTime();
    if (!lesson.Created.isValid()) lesson.Created = now;
    lesson.Changed = now;
    s->Meta = FExtra;
    s->Meta.insert(QStringLiteral("program"), QStringLiteral("Rovelin"));
    s->Meta.insert(QStringLiteral("created"), IsoTime(lesson.Created));
    s->Meta.insert(QStringLiteral("changed"), IsoTime(lesson.Changed));

    s->WithLessonPart = s->Whole || lesson.Revision() != FRevision;
    if (s->WithLessonPart) {
        s->Meta.insert(QStringLiteral("scenario_name"), lesson.ScenarioName());
        s->Meta.insert(QStringLiteral("scenario_folder"), lesson.ScenarioFolder());
        s->Meta.insert(QStringLiteral("current_series"), QString::number(lesson.CurrentSeries()));
        s->Scenario = lesson.ScenarioEntries();
        for (int chart = 0; chart < lesson.MarkerCharts(); ++chart) s->Markers.append(lesson.Markers(chart));
    }
    for (int d = 0; d < tLesson::DocumentCount; ++d) {
        const auto which = tLesson::tDocument(d);
        if (s->Whole || lesson.DocumentRevision(which) != FDocumentRevisions[d]) {
            s->WithDocument[d] = true;
            s->Documents[d] = lesson.Document(which);
            FDocumentRevisions[d] = lesson.DocumentRevision(which);
        }
    }

    QMap<std::uint64_t, tSavedRun> now_runs;
    for (int i = 0; i < lesson.RunCount(); ++i) {
        const tRun* run = lesson.Run(i);
        tSavedRun saved;
        const auto it = FRuns->constFind(run->Uid());
        const bool known = it != FRuns->cend();
        if (known)
            saved = *it;
        else
            saved.Id = FNextId++;

        tLessonSnapshot::tRunPart part;
        part.Id = saved.Id;
        part.Started = IsoTime(run->Started);
        part.Sensor = run->SensorName;
        part.Step = run->Step();
        part.Evenly = run->Evenly();
        part.Total = run->Count();
        part.Rewrite = !known || saved.Edits != run->Edits() || saved.Evenly != run->Evenly() ||
                       run->Count() < saved.Count;
        part.RewriteLabels = part.Rewrite || saved.LabelEdits != run->LabelEdits();
        part.From = part.Rewrite ? 0 : saved.Count;
        const qsizetype n = run->Count() - part.From;
        const bool anything = part.Rewrite || part.RewriteLabels || n > 0 || !known;
        if (anything || s->WithLessonPart) {
            if (n > 0) {
                part.Ys.resize(static_cast<std::size_t>(n));
                if (!part.Evenly) part.Xs.resize(static_cast<std::size_t>(n));
                run->CopyValues(part.From, n, part.Ys.data(), part.Evenly ? nullptr : part.Xs.data());
            }
            const auto& labels = run->Labels();
            for (auto l = part.RewriteLabels ? labels.cbegin() : labels.lowerBound(part.From);
                 l != labels.cend(); ++l)
                part.Labels.insert(l.key(), l.value());
            s->Runs.push_back(std::move(part));
        }
        s->Kept.push_back(saved.Id);
        saved.Count = run->Count();
        saved.Edits = run->Edits();
        saved.LabelEdits = run->LabelEdits();
        saved.Evenly = run->Evenly();
        now_runs.insert(run->Uid(), saved);
    }
    for (int slot = 0; slot < tLesson::SeriesSlots; ++slot) {
        const tRun* shown = lesson.SeriesRun(slot);
        s->SeriesIds.push_back(shown ? now_runs.value(shown->Uid()).Id : 0);
    }
    *FRuns = std::move(now_runs);
    FRevision = lesson.Revision();
    FKnown = true;
    return s;
}

void tLessonWriter::Write(const tLessonSnapshot& snapshot) {
    if (snapshot.Whole)
        WriteWhole(snapshot);
    else
        WriteIncrement(snapshot);
}

bool tLessonWriter::Whole(const tLessonSnapshot& snapshot) {
    return snapshot.Whole;
}

void tLessonWriter::Save(tLesson& lesson) {
    try {
        if (auto snapshot = Take(lesson)) Write(*snapshot);
    } catch (...) {
        Forget();
        throw;
    }
}

void tLessonWriter::Adopt(const tLesson& lesson, const std::vector<std::int64_t>& runIds) {
    FRuns->clear();
    FNextId = 1;
    for (int i = 0; i < lesson.RunCount() && i < static_cast<int>(runIds.size()); ++i) {
        const tRun* run = lesson.Run(i);
        tSavedRun saved;
        saved.Id = runIds[static_cast<std::size_t>(i)];
        saved.Count = run->Count();
        saved.Edits = run->Edits();
        saved.LabelEdits = run->LabelEdits();
        saved.Evenly = run->Evenly();
        FRuns->insert(run->Uid(), saved);
        FNextId = std::max(FNextId, saved.Id + 1);
    }
    FRevision = lesson.Revision();
    for (int d = 0; d < tLesson::DocumentCount; ++d)
        FDocumentRevisions[d] = lesson.DocumentRevision(tLesson::tDocument(d));
    FKnown = true;
}

// ---------------------------------------------------------------------------------------------
// reading

void ReadLesson(const QString& path, tLesson& lesson, tLessonWriter* writer, QMap<QString, QString>* meta) {
    const QFileInfo info(path);
    if (!info.exists()) Fail(tLessonFault::CannotOpen, path, SystemErrorText(ENOENT));
    if (!info.isFile()) Fail(tLessonFault::NotLesson, path);
    {
        // Not even an SQLite header: say so before SQLite guesses.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) Fail(tLessonFault::CannotOpen, path, file.errorString());
        if (!file.read(16).startsWith("SQLite format 3")) Fail(tLessonFault::NotLesson, path);
    }
    // Read-write when allowed: a file left in the middle of a write (a crash) is rolled back on open.
    int flags = SQLITE_OPEN_READWRITE;
    if (!info.isWritable()) flags = SQLITE_OPEN_READONLY;
    tDb db(path, flags, tLessonFault::CannotOpen);
    db.SetFault(tLessonFault::Damaged);
    db.Exec("BEGIN");
    int version = 0;
    CheckHeader(db, path, &version);
    if (version < lessonfile::SchemaVersion) Upgrade(db, version);
    {
        tStatement check(db, "PRAGMA quick_check");
        if (!check.Next() || check.Text(0) != QStringLiteral("ok")) Fail(tLessonFault::Damaged, path);
    }

    QMap<QString, QString> entries;
    {
        tStatement st(db, "SELECT key, value FROM lesson");
        while (st.Next()) entries.insert(st.Text(0), st.Text(1));
    }
    tLesson::tEntries scenario;
    {
        tStatement st(db, "SELECT key, value FROM scenario ORDER BY pos");
        while (st.Next()) scenario.append({st.Text(0), st.Text(1)});
    }
    QByteArray documents[tLesson::DocumentCount];
    {
        tStatement st(db, "SELECT name, rtf FROM document");
        while (st.Next())
            for (int d = 0; d < tLesson::DocumentCount; ++d)
                if (st.Text(0) == QLatin1String(DocumentName(d))) documents[d] = st.Blob(1);
    }

    std::vector<tRun> runs;
    std::vector<std::int64_t> ids;
    {
        tStatement st(db, "SELECT id, started, sensor, step, evenly, points FROM run ORDER BY id");
        tStatement chunks(db, "SELECT first, count, y, x FROM chunk WHERE run_id = ? ORDER BY first");
        tStatement labels(db, "SELECT idx, text FROM label WHERE run_id = ? ORDER BY idx");
        std::vector<double> ys, xs;
        while (st.Next()) {
            const std::int64_t id = st.Int(0);
            const bool evenly = st.Int(4) != 0;
            const std::int64_t points = st.Int(5);
            const double step = st.Real(3);
            if (points < 0 || !(step > 0)) Fail(tLessonFault::Damaged, path);
            tRun run(step);
            run.Started = QDateTime::fromString(st.Text(1), Qt::ISODateWithMs);
            run.SensorName = st.Text(2);
            run.Reserve(static_cast<qsizetype>(points));
            chunks.Bind(1, id);
            while (chunks.Next()) {
                const std::int64_t first = chunks.Int(0), count = chunks.Int(1);
                ys.clear();
                xs.clear();
                // Chunks follow each other without gaps, and each holds what it says.
                if (first != run.Count() || !ParseNumbers(chunks.Chars(2), ys) ||
                    static_cast<std::int64_t>(ys.size()) != count || chunks.IsNull(3) != evenly)
                    Fail(tLessonFault::Damaged, path);
                if (!evenly && (!ParseNumbers(chunks.Chars(3), xs) || xs.size() != ys.size()))
                    Fail(tLessonFault::Damaged, path);
                for (std::size_t i = 0; i < ys.size(); ++i) {
                    if (evenly)
                        run.Append(ys[i]);
                    else
                        run.AppendXY(xs[i], ys[i]);
                }
            }
            chunks.Reset();
            if (run.Count() != points) Fail(tLessonFault::Damaged, path);
            labels.Bind(1, id);
            while (labels.Next()) run.SetLabel(static_cast<qsizetype>(labels.Int(0)), labels.Text(1));
            labels.Reset();
            runs.push_back(std::move(run));
            ids.push_back(id);
        }
    }
    std::vector<std::int64_t> series(tLesson::SeriesSlots, 0);
    {
        tStatement st(db, "SELECT slot, run_id FROM series");
        while (st.Next())
            if (st.Int(0) >= 0 && st.Int(0) < tLesson::SeriesSlots && !st.IsNull(1))
                series[static_cast<std::size_t>(st.Int(0))] = st.Int(1);
    }
    QList<tLesson::tMarkers> markers;
    {
        tStatement st(db, "SELECT chart, first, second FROM marker ORDER BY chart");
        while (st.Next()) {
            const std::int64_t chart = st.Int(0);
            if (chart < 0 || chart > 7) continue;
            while (markers.size() <= chart) markers.append(tLesson::tMarkers{});
            markers[chart] = tLesson::tMarkers{int(st.Int(1)), int(st.Int(2))};
        }
    }
    db.Exec("COMMIT");

    // Everything is read: only now does the lesson change.
    lesson.ClearRuns();
    lesson.SetScenario(entries.value(QStringLiteral("scenario_name")),
                       entries.value(QStringLiteral("scenario_folder")), scenario);
    for (int d = 0; d < tLesson::DocumentCount; ++d) lesson.SetDocument(tLesson::tDocument(d), documents[d]);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        tRun* run = lesson.AddRun(runs[i].Step());
        *run = std::move(runs[i]);
    }
    for (int slot = 0; slot < tLesson::SeriesSlots; ++slot) {
        tRun* shown = nullptr;
        for (std::size_t i = 0; i < ids.size(); ++i)
            if (ids[i] == series[static_cast<std::size_t>(slot)]) shown = lesson.Run(static_cast<int>(i));
        lesson.SetSeriesRun(slot, shown);
    }
    for (int chart = 0; chart < markers.size(); ++chart) lesson.SetMarkers(chart, markers[chart]);
    lesson.SetCurrentSeries(entries.value(QStringLiteral("current_series")).toInt());
    lesson.Created = QDateTime::fromString(entries.value(QStringLiteral("created")), Qt::ISODateWithMs);
    lesson.Changed = QDateTime::fromString(entries.value(QStringLiteral("changed")), Qt::ISODateWithMs);
    if (writer) {
        writer->SetPath(path);
        writer->Adopt(lesson, ids);
    }
    if (meta) *meta = entries;
    lesson.SetModified(false);
}
