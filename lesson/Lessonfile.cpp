// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Lessonfile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QUuid>
#include <algorithm>
#include <atomic>
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
    bool Network = false;
    // What the file must hold for an increment to fit: the writer's knowledge before this write.
    struct tExpect {
        fileplace::tStamp Stamp;
        QString LessonId;
        QString Changed;
        std::vector<std::pair<std::int64_t, std::int64_t>> Runs;  // id, points; by id
    } Expect;
    QMap<QString, QString> Meta;  // entries of the lesson table
    bool WithLessonPart = false;  // scenario, series, markers, analyses, heart rates
    QList<QPair<QString, QString>> Scenario;
    std::vector<std::int64_t> SeriesIds;  // per slot, 0 = none
    QList<tLesson::tMarkers> Markers;
    tLessonAnalyses Analyses;                                           // runs named by their id in the file
    std::vector<std::pair<std::int64_t, QVector<QPointF>>> HeartRates;  // by run id
    bool WithDocument[tLesson::DocumentCount] = {false, false};
    QByteArray Documents[tLesson::DocumentCount];
    struct tRunPart {
        std::int64_t Id = 0;
        QString Started;
        QString Sensor;
        double Step = 0;
        bool Evenly = true;
        qsizetype Total = 0;     // points of the run after this write
        bool Rewrite = false;    // points and labels from scratch
        qsizetype From = 0;      // first point in Ys/Xs
        tRun::tSharedValues Ys;  // shared with the run, not copied: a save of millions of points costs the
                                 // lesson's thread nothing
        std::vector<double> Xs;  // irregular runs only
        bool RewriteLabels = false;
        QMap<qsizetype, QString> Labels;  // all labels (rewrite) or those from From on
    };
    std::vector<tRunPart> Runs;      // runs with anything new
    std::vector<std::int64_t> Kept;  // every run id of the lesson; others are deleted
};

namespace {
struct tSavedRun {
    std::int64_t Id = 0;
    qsizetype Count = 0;
    std::uint64_t Edits = 0;
    std::uint64_t LabelEdits = 0;
    bool Evenly = true;
};
}  // namespace

struct tLessonWriter::tState {
    bool Known = false;
    std::uint64_t Revision = 0;
    std::uint64_t DocumentRevisions[tLesson::DocumentCount] = {0, 0};
    std::int64_t NextId = 1;
    QMap<std::uint64_t, tSavedRun> Runs;  // by tRun::Uid
    fileplace::tStamp Stamp;              // the file's identity after the last write or read
    QString LessonId;                     // the lesson table's lesson_id
    QString Changed;                      // the lesson table's changed, as the file holds it
};

namespace {

// ---------------------------------------------------------------------------------------------
// texts

QString Quoted(const QString& path) {
    return QCoreApplication::translate("Lessonfile", "«%1»").arg(QDir::toNativeSeparators(path));
}

QString SaveAsHint() {
    return QCoreApplication::translate("Lessonfile",
                                       "\r\nСохраните урок под другим именем («Сохранить как...»).");
}

// The message and the short reason of a fault; `detail` is the system's reason (or, for
// HeldBySeat, who holds the lock).
[[noreturn]] void Fail(tLessonFault fault, const QString& path, const QString& detail = QString()) {
    QString text;
    QString reason;
    switch (fault) {
        case tLessonFault::NotLesson:
            text = QCoreApplication::translate("Lessonfile", "Файл %1 не является файлом урока.")
                       .arg(Quoted(path));
            reason = QCoreApplication::translate("Lessonfile", "это не файл урока");
            break;
        case tLessonFault::Newer:
            text = QCoreApplication::translate(
                       "Lessonfile",
                       "Файл урока %1 сохранён более новой версией программы.\r\nЧтобы открыть его, "
                       "обновите программу.")
                       .arg(Quoted(path));
            reason = QCoreApplication::translate("Lessonfile", "файл сохранён более новой версией программы");
            break;
        case tLessonFault::Damaged:
            text =
                QCoreApplication::translate(
                    "Lessonfile", "Файл урока %1 повреждён или записан не полностью и не может быть открыт.")
                    .arg(Quoted(path));
            reason = QCoreApplication::translate("Lessonfile", "файл повреждён");
            break;
        case tLessonFault::Locked:
            text = QCoreApplication::translate(
                       "Lessonfile",
                       "Файл урока %1 занят другой программой.\r\nЗакройте её и повторите попытку.")
                       .arg(Quoted(path));
            reason = QCoreApplication::translate("Lessonfile", "файл занят другой программой");
            break;
        case tLessonFault::CannotOpen:
            text = QCoreApplication::translate("Lessonfile", "Невозможно открыть файл урока %1.")
                       .arg(Quoted(path));
            break;
        case tLessonFault::CannotWrite:
            text = QCoreApplication::translate("Lessonfile", "Невозможно сохранить урок в файл %1.")
                       .arg(Quoted(path));
            break;
        case tLessonFault::ReadOnly:
            text = QCoreApplication::translate(
                       "Lessonfile", "Файл урока %1 доступен только для чтения, урок в него не записан.")
                       .arg(Quoted(path)) +
                   SaveAsHint();
            reason = QCoreApplication::translate("Lessonfile", "файл доступен только для чтения");
            break;
        case tLessonFault::OtherOwner:
            text =
                QCoreApplication::translate(
                    "Lessonfile", "Файл урока %1 принадлежит другому пользователю, урок в него не записан.")
                    .arg(Quoted(path)) +
                SaveAsHint();
            reason = QCoreApplication::translate("Lessonfile", "файл принадлежит другому пользователю");
            break;
        case tLessonFault::Replaced:
            text = QCoreApplication::translate(
                       "Lessonfile",
                       "На месте файла урока %1 теперь другой файл (его заменили после того, как урок был "
                       "открыт или сохранён), урок в него не записан.")
                       .arg(Quoted(path)) +
                   SaveAsHint();
            reason = QCoreApplication::translate("Lessonfile", "файл заменён другим");
            break;
        case tLessonFault::ChangedOutside:
            text = QCoreApplication::translate(
                       "Lessonfile",
                       "Файл урока %1 изменён другой программой после того, как урок был открыт или "
                       "сохранён, урок в него не записан.")
                       .arg(Quoted(path)) +
                   SaveAsHint();
            reason = QCoreApplication::translate("Lessonfile", "файл изменён другой программой");
            break;
        case tLessonFault::HeldBySeat:
            text = QCoreApplication::translate(
                       "Lessonfile",
                       "Файл урока %1 сейчас записывает другая копия программы (%2).\r\nПовторите попытку "
                       "через несколько секунд.")
                       .arg(Quoted(path), detail);
            reason = QCoreApplication::translate("Lessonfile", "файл записывает другая копия программы");
            throw tLessonFileError(fault, text, reason);
        case tLessonFault::CannotUpgrade:
            text = QCoreApplication::translate(
                       "Lessonfile",
                       "Файл урока %1 записан прежней версией программы, и его не удалось перевести "
                       "в новый вид.")
                       .arg(Quoted(path));
            reason = QCoreApplication::translate("Lessonfile", "файл не переведён в новый вид");
            break;
    }
    if (!detail.isEmpty()) {
        text += QCoreApplication::translate("Lessonfile", "\r\nСистема сообщает: ") + detail;
        reason = detail;
    }
    throw tLessonFileError(fault, text, reason);
}

// The reason SQLite gives, in the user's words: the system's where the system gave one, never
// SQLite's own English.
QString Reason(sqlite3* db, int rc) {
    const int primary = rc & 0xFF;
    switch (primary) {
        case SQLITE_FULL:
            return fileplace::Reason(ENOSPC);
        case SQLITE_READONLY:
            // Whatever errno SQLite kept is from an earlier call, not this refusal.
            return QCoreApplication::translate("Lessonfile", "файл или папка доступны только для чтения");
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return QCoreApplication::translate("Lessonfile", "файл занят другой программой");
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return QCoreApplication::translate("Lessonfile", "файл повреждён");
        case SQLITE_NOMEM:
            return QCoreApplication::translate("Lessonfile", "не хватает памяти");
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH: {
            const int err = db ? sqlite3_system_errno(db) : 0;
            if (err != 0) return fileplace::Reason(err);
            if (primary == SQLITE_IOERR) return fileplace::Reason(EIO);
            if (primary == SQLITE_CANTOPEN)
                return QCoreApplication::translate("Lessonfile", "файл не открывается");
            return fileplace::Reason(EACCES);
        }
        default:
            return QCoreApplication::translate("Lessonfile", "ошибка SQLite %1").arg(rc);
    }
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
        if (FOnError == tLessonFault::CannotWrite) {
            // Adding to a file that is no database (any more): another file is in its place.
            if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) fault = tLessonFault::Replaced;
        } else {
            if (primary == SQLITE_NOTADB) fault = tLessonFault::NotLesson;
            if (primary == SQLITE_CORRUPT) fault = tLessonFault::Damaged;
        }
        Fail(fault, FPath,
             fault == tLessonFault::CannotWrite || fault == tLessonFault::CannotOpen ||
                     fault == tLessonFault::CannotUpgrade
                 ? Reason(FDb, rc)
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

// What version 2 added: what the pupil read off the runs, and the heart rates of pulse runs as
// they were shown while measuring.
const char* const kVersion2Tables = R"sql(
CREATE TABLE fit (
    id INTEGER PRIMARY KEY,
    run_id INTEGER NOT NULL REFERENCES run(id),
    model TEXT NOT NULL,
    formula TEXT,
    first INTEGER NOT NULL,
    last INTEGER NOT NULL,
    origin REAL NOT NULL,
    names TEXT NOT NULL,
    estimates TEXT NOT NULL,
    sigmas TEXT NOT NULL,
    rss REAL,
    rmse REAL,
    r2 REAL,
    points INTEGER NOT NULL);
CREATE TABLE slope (
    id INTEGER PRIMARY KEY,
    run_id INTEGER NOT NULL REFERENCES run(id),
    idx INTEGER NOT NULL,
    width REAL NOT NULL);
CREATE TABLE area (
    id INTEGER PRIMARY KEY,
    run_id INTEGER NOT NULL REFERENCES run(id),
    first INTEGER NOT NULL,
    second INTEGER NOT NULL);
CREATE TABLE prediction (pos INTEGER PRIMARY KEY, t REAL NOT NULL, value REAL NOT NULL);
CREATE TABLE heart_rate (
    run_id INTEGER PRIMARY KEY REFERENCES run(id),
    t TEXT NOT NULL,
    bpm TEXT NOT NULL);
)sql";

// ---------------------------------------------------------------------------------------------
// upgrades of files written by older programs

// A new schema version adds one function that changes a file of the version before (e.g.
// `int UpgradeFrom2(sqlite3* db) { Sql(db, "ALTER TABLE ..."); return 3; }`), lists it at the end of
// lessonfile::UpgradeSteps(), raises lessonfile::SchemaVersion and brings what new files get
// (BuildFile) up to date.

// A step's failure: its SQLite reason.
struct tStepFailed {
    QString Reason;
};

// Runs one statement of an upgrade step; a failure ends the step (and rolls it back).
void Sql(sqlite3* db, const char* sql) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw tStepFailed{Reason(db, rc)};
}

// Version 2: the tables of fits, slopes, areas, the prediction and heart rates, empty.
int UpgradeFrom1(sqlite3* db) {
    Sql(db, kVersion2Tables);
    return 2;
}

struct tSchema {
    int Version = lessonfile::SchemaVersion;
    std::vector<lessonfile::tUpgradeStep> Steps = lessonfile::UpgradeSteps();
};

tSchema& Schema() {
    static tSchema schema;
    return schema;
}

// Brings the database `db` (the file `path`, or its copy in memory) from `from` to the schema
// version, one step at a time, each in its own transaction that also stores the version it
// reached. A step that fails, is missing or reaches no higher version leaves the file at the
// last version reached and raises CannotUpgrade.
void Upgrade(tDb& db, const QString& path, int from) {
    const tSchema& schema = Schema();
    int version = from;
    while (version < schema.Version) {
        const std::size_t at = static_cast<std::size_t>(version - 1);
        if (at >= schema.Steps.size() || !schema.Steps[at])
            Fail(tLessonFault::CannotUpgrade, path,
                 QCoreApplication::translate("Lessonfile",
                                             "нет перехода с версии %1 (программа собрана с ошибкой)")
                     .arg(version));
        db.Exec("BEGIN IMMEDIATE");
        try {
            int reached = 0;
            try {
                reached = schema.Steps[at](db.Handle());
            } catch (const tStepFailed& failed) {
                Fail(tLessonFault::CannotUpgrade, path, failed.Reason);
            } catch (const tLessonFileError&) {
                throw;
            } catch (const std::exception& e) {
                Fail(tLessonFault::CannotUpgrade, path, QString::fromUtf8(e.what()));
            }
            if (reached <= version || reached > schema.Version)
                Fail(tLessonFault::CannotUpgrade, path,
                     QCoreApplication::translate(
                         "Lessonfile", "переход с версии %1 не продвинулся (программа собрана с ошибкой)")
                         .arg(version));
            db.Exec(QStringLiteral("PRAGMA user_version = %1").arg(reached).toUtf8().constData());
            db.Exec("COMMIT");
            version = reached;
        } catch (...) {
            sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
}

// Copies the database `from` (the file `path`) page by page into the open database `into`.
void CopyDatabase(tDb& from, sqlite3* into, const QString& path) {
    sqlite3_backup* backup = sqlite3_backup_init(into, "main", from.Handle(), "main");
    if (!backup) Fail(tLessonFault::CannotUpgrade, path, Reason(into, sqlite3_errcode(into)));
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) Fail(tLessonFault::CannotUpgrade, path, Reason(into, rc));
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

std::string NumbersText(const QVector<double>& values) {
    std::string text;
    AppendNumbers(text, values.constData(), static_cast<std::size_t>(values.size()));
    return text;
}

QVector<double> NumbersFrom(std::string_view text, bool& ok) {
    std::vector<double> values;
    ok = ParseNumbers(text, values);
    return QVector<double>(values.begin(), values.end());
}

QString NamesText(const QStringList& names) {
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact));
}

QStringList NamesFrom(const QString& text, bool& ok) {
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    ok = document.isArray();
    QStringList names;
    for (const QJsonValue& name : document.array()) {
        ok = ok && name.isString();
        names << name.toString();
    }
    return names;
}

// ---------------------------------------------------------------------------------------------
// writing

// A number, or NULL for what SQLite cannot hold (NaN reads back as NULL anyway).
void BindReal(tStatement& st, int i, double value) {
    if (std::isfinite(value))
        st.Bind(i, value);
    else
        st.BindNull(i);
}

// The fits, slopes, areas, prediction and heart rates, rewritten whole (they are small).
void WriteAnalyses(tDb& db, const tLessonSnapshot& s) {
    db.Exec(
        "DELETE FROM fit; DELETE FROM slope; DELETE FROM area; DELETE FROM prediction; DELETE FROM "
        "heart_rate;");
    const tLessonAnalyses& a = s.Analyses;
    tStatement fit(
        db,
        "INSERT INTO fit(id, run_id, model, formula, first, last, origin, names, estimates, sigmas, "
        "rss, rmse, r2, points) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (int i = 0; i < a.Fits.size(); ++i) {
        const tFitRecord& f = a.Fits[i];
        fit.Bind(1, std::int64_t(i + 1)).Bind(2, std::int64_t(f.Run)).Bind(3, f.Model);
        if (f.Formula.isEmpty())
            fit.BindNull(4);
        else
            fit.Bind(4, f.Formula);
        fit.Bind(5, std::int64_t(f.First)).Bind(6, std::int64_t(f.Last));
        BindReal(fit, 7, f.Origin);
        fit.Bind(8, NamesText(f.Names))
            .BindText(9, NumbersText(f.Values))
            .BindText(10, NumbersText(f.Sigmas));
        BindReal(fit, 11, f.Rss);
        BindReal(fit, 12, f.Rmse);
        BindReal(fit, 13, f.R2);
        fit.Bind(14, std::int64_t(f.Points));
        fit.Run();
    }
    tStatement slope(db, "INSERT INTO slope(id, run_id, idx, width) VALUES (?, ?, ?, ?)");
    for (int i = 0; i < a.Slopes.size(); ++i) {
        slope.Bind(1, std::int64_t(i + 1))
            .Bind(2, std::int64_t(a.Slopes[i].Run))
            .Bind(3, std::int64_t(a.Slopes[i].Index));
        BindReal(slope, 4, a.Slopes[i].Window);
        slope.Run();
    }
    tStatement area(db, "INSERT INTO area(id, run_id, first, second) VALUES (?, ?, ?, ?)");
    for (int i = 0; i < a.Areas.size(); ++i) {
        area.Bind(1, std::int64_t(i + 1))
            .Bind(2, std::int64_t(a.Areas[i].Run))
            .Bind(3, std::int64_t(a.Areas[i].First))
            .Bind(4, std::int64_t(a.Areas[i].Second));
        area.Run();
    }
    tStatement prediction(db, "INSERT INTO prediction(pos, t, value) VALUES (?, ?, ?)");
    for (int i = 0; i < a.Prediction.Points.size(); ++i) {
        const QPointF& p = a.Prediction.Points[i];
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) continue;
        prediction.Bind(1, std::int64_t(i)).Bind(2, p.x()).Bind(3, p.y());
        prediction.Run();
    }
    tStatement rates(db, "INSERT INTO heart_rate(run_id, t, bpm) VALUES (?, ?, ?)");
    for (const auto& [id, points] : s.HeartRates) {
        QVector<double> ts, bpm;
        for (const QPointF& p : points) {
            ts << p.x();
            bpm << p.y();
        }
        rates.Bind(1, id).BindText(2, NumbersText(ts)).BindText(3, NumbersText(bpm));
        rates.Run();
    }
}

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
        const std::size_t n = static_cast<std::size_t>(run.Ys.Count());
        std::vector<double> ys(lessonfile::ChunkPoints);
        for (std::size_t at = 0; at < n; at += lessonfile::ChunkPoints) {
            const std::size_t count = std::min<std::size_t>(lessonfile::ChunkPoints, n - at);
            run.Ys.Copy(qsizetype(at), qsizetype(count), ys.data());
            text.clear();
            AppendNumbers(text, ys.data(), count);
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
        WriteAnalyses(db, s);
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
        "DELETE FROM fit WHERE run_id NOT IN (SELECT id FROM kept);"
        "DELETE FROM slope WHERE run_id NOT IN (SELECT id FROM kept);"
        "DELETE FROM area WHERE run_id NOT IN (SELECT id FROM kept);"
        "DELETE FROM heart_rate WHERE run_id NOT IN (SELECT id FROM kept);"
        "DELETE FROM run WHERE id NOT IN (SELECT id FROM kept);");
}

// fsync of a folder, so a rename in it survives a power cut.
void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// How long a write waits for another copy of the program to finish writing the same lesson.
constexpr int kLockWaitMs = 3000;

// Takes the lesson's lock for a write, or says why not.
void LockForWriting(tLessonLock& lock, const QString& path) {
    if (lock.Acquire(kLockWaitMs)) return;
    if (lock.Error() != 0) Fail(tLessonFault::CannotWrite, path, fileplace::Reason(lock.Error()));
    Fail(tLessonFault::HeldBySeat, path, lock.Holder());
}

// The checks before any write into an existing file: it is a file, ours, and may be written.
void CheckWritable(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        Fail(tLessonFault::CannotWrite, path, QCoreApplication::translate("Lessonfile", "это не файл"));
    if (fileplace::OtherOwner(path)) Fail(tLessonFault::OtherOwner, path);
    if (fileplace::ReadOnly(path)) Fail(tLessonFault::ReadOnly, path);
}

// The folder must take new files (the temporary file, the journal); said before SQLite says it
// in its own words.
void CheckFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0) {
        const int err = errno;
        Fail(tLessonFault::CannotWrite, path,
             err == EACCES || err == EPERM
                 ? QCoreApplication::translate("Lessonfile", "папка %1 недоступна для записи")
                       .arg(Quoted(folder))
                 : fileplace::Reason(err));
    }
}

bool LooksLikeSqlite(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16).startsWith("SQLite format 3");
}

// Holds an exclusive SQLite lock on the file about to be replaced, so no other program is in the
// middle of a transaction on it when it goes; one that is raises Locked.
class tHoldOld {
  public:
    explicit tHoldOld(const QString& path) {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &FDb, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            return;  // nobody can be writing what nobody can open
        sqlite3_busy_timeout(FDb, 1000);
        const int rc = sqlite3_exec(FDb, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) & 0xFF;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            sqlite3_close_v2(std::exchange(FDb, nullptr));
            Fail(tLessonFault::Locked, path);
        }
    }
    ~tHoldOld() {
        if (FDb) sqlite3_close_v2(FDb);
    }
    tHoldOld(const tHoldOld&) = delete;
    tHoldOld& operator=(const tHoldOld&) = delete;

  private:
    sqlite3* FDb = nullptr;
};

// Builds the whole lesson in `file` (made anew).
void BuildFile(const QString& file, const tLessonSnapshot& s) {
    QFile::remove(file);
    tDb db(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, tLessonFault::CannotWrite);
    // A throwaway file needs no journal; the rename is what makes it the lesson.
    db.Exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL;");
    db.Exec(QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2;")
                .arg(lessonfile::ApplicationId)
                .arg(Schema().Version)
                .toUtf8()
                .constData());
    db.Exec("BEGIN");
    db.Exec(kSchema);
    db.Exec(kVersion2Tables);
    WriteContent(db, s);
    db.Exec("COMMIT");
}

// Copies `from` to `to` and makes it durable (a whole lesson built on this computer, to the network).
void CopyOut(const QString& from, const QString& to, const QString& target) {
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) Fail(tLessonFault::CannotWrite, target, fileplace::Reason(errno));
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        Fail(tLessonFault::CannotWrite, target, fileplace::Reason(err));
    }
    std::vector<char> buffer(1 << 20);
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            break;
        }
        for (ssize_t done = 0; done < n && err == 0;) {
            const ssize_t w = ::write(out, buffer.data() + done, std::size_t(n - done));
            if (w < 0 && errno != EINTR) err = errno;
            if (w > 0) done += w;
        }
        if (err) break;
    }
    if (err == 0 && ::fsync(out) != 0) err = errno;
    if (::close(out) != 0 && err == 0) err = errno;
    ::close(in);
    if (err) Fail(tLessonFault::CannotWrite, target, fileplace::Reason(err));
}

fileplace::tStamp WriteWhole(const tLessonSnapshot& s) {
    const QString target = QFileInfo(s.Path).absoluteFilePath();
    const QString part = target + QStringLiteral(".part");
    CheckFolder(target);
    tLessonLock lock(target);
    LockForWriting(lock, target);
    QFile::remove(part);  // a save cut off earlier; ours now, under the lock
    std::unique_ptr<tHoldOld> old;
    if (QFileInfo::exists(target)) {
        CheckWritable(target);
        if (fileplace::OpenForWritingElsewhere(target)) Fail(tLessonFault::Locked, target);
        if (LooksLikeSqlite(target)) old = std::make_unique<tHoldOld>(target);
    }
    // On a network folder SQLite's many small writes (and its locks) are slow and unsure: the
    // lesson is built on this computer, then goes over in one sequential copy.
    static std::atomic<int> serial{0};
    const QString build =
        s.Network
            ? QDir(fileplace::LocalFolder())
                  .filePath(QStringLiteral("lesson-%1-%2.part").arg(::getpid()).arg(serial.fetch_add(1)))
            : part;
    try {
        try {
            BuildFile(build, s);
        } catch (const tLessonFileError& e) {
            // The temporary file's failure is the lesson's.
            if (e.Fault() == tLessonFault::CannotWrite) Fail(tLessonFault::CannotWrite, target, e.Reason());
            throw;
        }
        if (s.Network) {
            CopyOut(build, part, target);
            QFile::remove(build);
        }
        if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0)
            Fail(tLessonFault::CannotWrite, target, fileplace::Reason(errno));
        SyncFolder(QFileInfo(target).absolutePath());
    } catch (...) {
        QFile::remove(part);
        if (build != part) QFile::remove(build);
        throw;
    }
    return fileplace::StampOf(target);
}

// The file's version (after checking it is a lesson file this program can read).
int CheckHeader(tDb& db, const QString& path) {
    tStatement id(db, "PRAGMA application_id");
    const std::int64_t application = id.Next() ? id.Int(0) : 0;
    tStatement uv(db, "PRAGMA user_version");
    const std::int64_t version = uv.Next() ? uv.Int(0) : 0;
    if (application != lessonfile::ApplicationId || version < 1) Fail(tLessonFault::NotLesson, path);
    if (version > Schema().Version) Fail(tLessonFault::Newer, path);
    return static_cast<int>(version);
}

QString Entry(tDb& db, const char* key) {
    tStatement st(db, "SELECT value FROM lesson WHERE key = ?");
    st.Bind(1, QString::fromLatin1(key));
    return st.Next() ? st.Text(0) : QString();
}

// The file holds what the writer last wrote or read there, so new points go on where it left off.
void CheckContent(tDb& db, const tLessonSnapshot& s) {
    try {
        if (CheckHeader(db, s.Path) != Schema().Version) Fail(tLessonFault::Replaced, s.Path);
    } catch (const tLessonFileError&) {
        Fail(tLessonFault::Replaced, s.Path);
    }
    if (Entry(db, "lesson_id") != s.Expect.LessonId) Fail(tLessonFault::Replaced, s.Path);
    if (Entry(db, "changed") != s.Expect.Changed) Fail(tLessonFault::ChangedOutside, s.Path);
    std::vector<std::pair<std::int64_t, std::int64_t>> runs;
    tStatement st(db, "SELECT id, points FROM run ORDER BY id");
    while (st.Next()) runs.emplace_back(st.Int(0), st.Int(1));
    if (runs != s.Expect.Runs) Fail(tLessonFault::ChangedOutside, s.Path);
}

fileplace::tStamp WriteIncrement(const tLessonSnapshot& s) {
    CheckFolder(s.Path);
    tLessonLock lock(s.Path);
    LockForWriting(lock, s.Path);
    QFile::remove(s.Path + QStringLiteral(".part"));  // a whole save cut off earlier
    if (!QFileInfo::exists(s.Path)) Fail(tLessonFault::CannotWrite, s.Path, fileplace::Reason(ENOENT));
    CheckWritable(s.Path);
    // On a network file system an inode number may change with the client's cache; there the
    // content alone tells.
    if (!s.Network && s.Expect.Stamp.Exists() && fileplace::StampOf(s.Path) != s.Expect.Stamp)
        Fail(tLessonFault::Replaced, s.Path);
    tDb db(s.Path, SQLITE_OPEN_READWRITE, tLessonFault::CannotWrite);
    // A rollback journal, never WAL (whose shared memory no network file system shares); a file a
    // foreign tool switched to WAL goes back.
    {
        tStatement mode(db, "PRAGMA journal_mode = DELETE");
        if (!mode.Next() || mode.Text(0) != QStringLiteral("delete")) Fail(tLessonFault::Locked, s.Path);
    }
    db.Exec("PRAGMA synchronous = FULL");
    db.Exec("BEGIN IMMEDIATE");
    try {
        CheckContent(db, s);
        WriteContent(db, s);
        db.Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return fileplace::StampOf(s.Path);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// tLessonWriter

tLessonWriter::tLessonWriter(const QString& path) : FState(std::make_unique<tState>()) {
    SetPath(path);
}

tLessonWriter::~tLessonWriter() = default;

void tLessonWriter::SetPath(const QString& path) {
    FPath = path;
    FNetwork = !path.isEmpty() && fileplace::OnNetwork(path);
    Forget();
}

void tLessonWriter::Forget() {
    FState = std::make_unique<tState>();
    FPending.reset();
}

bool tLessonWriter::Knows() const {
    return FState->Known;
}

bool tLessonWriter::HasChanges(const tLesson& lesson) const {
    const tState& state = *FState;
    if (!state.Known || lesson.Revision() != state.Revision) return true;
    for (int d = 0; d < tLesson::DocumentCount; ++d)
        if (lesson.DocumentRevision(tLesson::tDocument(d)) != state.DocumentRevisions[d]) return true;
    if (lesson.RunCount() != state.Runs.size()) return true;
    for (int i = 0; i < lesson.RunCount(); ++i) {
        const tRun* run = lesson.Run(i);
        const auto it = state.Runs.constFind(run->Uid());
        if (it == state.Runs.cend() || it->Count != run->Count() || it->Edits != run->Edits() ||
            it->LabelEdits != run->LabelEdits() || it->Evenly != run->Evenly())
            return true;
    }
    return false;
}

std::shared_ptr<const tLessonSnapshot> tLessonWriter::Take(tLesson& lesson) {
    if (FPending || !HasChanges(lesson)) return nullptr;
    // A file that is gone holds nothing of anyone's: it is built anew.
    if (FState->Known && !QFileInfo::exists(FPath)) FState = std::make_unique<tState>();
    const tState& old = *FState;
    auto next = std::make_unique<tState>(old);
    auto s = std::make_shared<tLessonSnapshot>();
    s->Path = FPath;
    s->Whole = !old.Known;
    s->Network = FNetwork;
    if (!s->Whole) {
        s->Expect.Stamp = old.Stamp;
        s->Expect.LessonId = old.LessonId;
        s->Expect.Changed = old.Changed;
        for (const tSavedRun& run : old.Runs) s->Expect.Runs.emplace_back(run.Id, run.Count);
        std::sort(s->Expect.Runs.begin(), s->Expect.Runs.end());
    }
    const QDateTime now = QDateTime::currentDateTime();
    if (!lesson.Created.isValid()) lesson.Created = now;
    lesson.Changed = now;
    s->Meta = FExtra;
    s->Meta.insert(QStringLiteral("program"), QStringLiteral("Rovelin"));
    s->Meta.insert(QStringLiteral("created"), IsoTime(lesson.Created));
    s->Meta.insert(QStringLiteral("changed"), IsoTime(lesson.Changed));
    next->Changed = IsoTime(lesson.Changed);
    if (s->Whole) {
        if (next->LessonId.isEmpty()) next->LessonId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        s->Meta.insert(QStringLiteral("lesson_id"), next->LessonId);
    }

    s->WithLessonPart = s->Whole || lesson.Revision() != old.Revision;
    if (s->WithLessonPart) {
        s->Meta.insert(QStringLiteral("scenario_name"), lesson.ScenarioName());
        s->Meta.insert(QStringLiteral("scenario_folder"), lesson.ScenarioFolder());
        s->Meta.insert(QStringLiteral("current_series"), QString::number(lesson.CurrentSeries()));
        s->Scenario = lesson.ScenarioEntries();
        for (int chart = 0; chart < lesson.MarkerCharts(); ++chart) s->Markers.append(lesson.Markers(chart));
    }
    for (int d = 0; d < tLesson::DocumentCount; ++d) {
        const auto which = tLesson::tDocument(d);
        if (s->Whole || lesson.DocumentRevision(which) != old.DocumentRevisions[d]) {
            s->WithDocument[d] = true;
            s->Documents[d] = lesson.Document(which);
            next->DocumentRevisions[d] = lesson.DocumentRevision(which);
        }
    }

    QMap<std::uint64_t, tSavedRun> nowRuns;
    for (int i = 0; i < lesson.RunCount(); ++i) {
        const tRun* run = lesson.Run(i);
        tSavedRun saved;
        const auto it = old.Runs.constFind(run->Uid());
        const bool known = it != old.Runs.cend();
        if (known)
            saved = *it;
        else
            saved.Id = next->NextId++;

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
                part.Ys = run->ShareValues(part.From, n);
                if (!part.Evenly) {
                    part.Xs.resize(static_cast<std::size_t>(n));
                    std::vector<double> ys(static_cast<std::size_t>(n));
                    run->CopyValues(part.From, n, ys.data(), part.Xs.data());
                }
            }
            const auto& labels = run->Labels();
            if (part.RewriteLabels) {
                part.Labels = labels;  // shared until either side changes
            } else {
                for (auto l = labels.lowerBound(part.From); l != labels.cend(); ++l)
                    part.Labels.insert(l.key(), l.value());
            }
            s->Runs.push_back(std::move(part));
        }
        s->Kept.push_back(saved.Id);
        saved.Count = run->Count();
        saved.Edits = run->Edits();
        saved.LabelEdits = run->LabelEdits();
        saved.Evenly = run->Evenly();
        nowRuns.insert(run->Uid(), saved);
    }
    for (int slot = 0; slot < tLesson::SeriesSlots; ++slot) {
        const tRun* shown = lesson.SeriesRun(slot);
        s->SeriesIds.push_back(shown ? nowRuns.value(shown->Uid()).Id : 0);
    }
    if (s->WithLessonPart) {
        // The file names runs by id, the lesson by index; a record of a run that is gone is not kept.
        const auto idOf = [&](int index) -> std::int64_t {
            const tRun* run = lesson.Run(index);
            return run ? nowRuns.value(run->Uid()).Id : 0;
        };
        const tLessonAnalyses& a = lesson.Analyses();
        s->Analyses.Prediction = a.Prediction;
        for (tFitRecord fit : a.Fits)
            if ((fit.Run = int(idOf(fit.Run))) > 0) s->Analyses.Fits.append(fit);
        for (tSlopeRecord slope : a.Slopes)
            if ((slope.Run = int(idOf(slope.Run))) > 0) s->Analyses.Slopes.append(slope);
        for (tAreaRecord area : a.Areas)
            if ((area.Run = int(idOf(area.Run))) > 0) s->Analyses.Areas.append(area);
        for (int i = 0; i < lesson.RunCount(); ++i)
            if (const QVector<QPointF>* rates = lesson.HeartRates(lesson.Run(i)))
                s->HeartRates.emplace_back(idOf(i), *rates);
    }
    next->Runs = std::move(nowRuns);
    next->Revision = lesson.Revision();
    next->Known = true;
    FPending = std::move(next);
    return s;
}

fileplace::tStamp tLessonWriter::Write(const tLessonSnapshot& snapshot) {
    return snapshot.Whole ? WriteWhole(snapshot) : WriteIncrement(snapshot);
}

bool tLessonWriter::Whole(const tLessonSnapshot& snapshot) {
    return snapshot.Whole;
}

void tLessonWriter::Written(const fileplace::tStamp& stamp) {
    if (!FPending) return;
    FState = std::move(FPending);
    FState->Stamp = stamp;
}

void tLessonWriter::NotWritten() {
    FPending.reset();
}

void tLessonWriter::Save(tLesson& lesson) {
    const auto snapshot = Take(lesson);
    if (!snapshot) return;
    try {
        Written(Write(*snapshot));
    } catch (...) {
        NotWritten();
        throw;
    }
}

void tLessonWriter::Adopt(const tLesson& lesson, const std::vector<std::int64_t>& runIds,
                          const QMap<QString, QString>& entries, const fileplace::tStamp& stamp) {
    auto state = std::make_unique<tState>();
    for (int i = 0; i < lesson.RunCount() && i < static_cast<int>(runIds.size()); ++i) {
        const tRun* run = lesson.Run(i);
        tSavedRun saved;
        saved.Id = runIds[static_cast<std::size_t>(i)];
        saved.Count = run->Count();
        saved.Edits = run->Edits();
        saved.LabelEdits = run->LabelEdits();
        saved.Evenly = run->Evenly();
        state->Runs.insert(run->Uid(), saved);
        state->NextId = std::max(state->NextId, saved.Id + 1);
    }
    state->Revision = lesson.Revision();
    for (int d = 0; d < tLesson::DocumentCount; ++d)
        state->DocumentRevisions[d] = lesson.DocumentRevision(tLesson::tDocument(d));
    state->Stamp = stamp;
    state->LessonId = entries.value(QStringLiteral("lesson_id"));
    state->Changed = entries.value(QStringLiteral("changed"));
    state->Known = true;
    FState = std::move(state);
    FPending.reset();
}

// ---------------------------------------------------------------------------------------------
// reading

namespace {
// A NULL number reads back as NaN (it was stored for one).
double RealOrNaN(const tStatement& st, int col) {
    return st.IsNull(col) ? std::numeric_limits<double>::quiet_NaN() : st.Real(col);
}

// The fits, slopes, areas, prediction and heart rates; records of runs the file does not have are
// left out, a record that does not hold together makes the file damaged. Fits of a model this
// program does not know are kept as they are (a later program's), so saving keeps them too.
void ReadAnalyses(tDb& db, const QString& path, const std::vector<std::int64_t>& ids, tLessonAnalyses& a,
                  std::vector<std::pair<int, QVector<QPointF>>>& heartRates) {
    const auto indexOf = [&ids](std::int64_t id) {
        const auto it = std::find(ids.begin(), ids.end(), id);
        return it == ids.end() ? -1 : int(it - ids.begin());
    };
    {
        tStatement st(
            db,
            "SELECT run_id, model, formula, first, last, origin, names, estimates, sigmas, rss, rmse, "
            "r2, points FROM fit ORDER BY id");
        while (st.Next()) {
            tFitRecord f;
            f.Run = indexOf(st.Int(0));
            if (f.Run < 0) continue;
            f.Model = st.Text(1);
            f.Formula = st.IsNull(2) ? QString() : st.Text(2);
            f.First = qsizetype(st.Int(3));
            f.Last = qsizetype(st.Int(4));
            f.Origin = RealOrNaN(st, 5);
            bool names = false, values = false, sigmas = false;
            f.Names = NamesFrom(st.Text(6), names);
            f.Values = NumbersFrom(st.Chars(7), values);
            f.Sigmas = NumbersFrom(st.Chars(8), sigmas);
            if (!names || !values || !sigmas || f.Values.size() != f.Names.size() ||
                f.Sigmas.size() != f.Names.size())
                Fail(tLessonFault::Damaged, path);
            f.Rss = RealOrNaN(st, 9);
            f.Rmse = RealOrNaN(st, 10);
            f.R2 = RealOrNaN(st, 11);
            f.Points = qsizetype(st.Int(12));
            a.Fits.append(f);
        }
    }
    {
        tStatement st(db, "SELECT run_id, idx, width FROM slope ORDER BY id");
        while (st.Next())
            if (const int run = indexOf(st.Int(0)); run >= 0)
                a.Slopes.append(tSlopeRecord{run, qsizetype(st.Int(1)), RealOrNaN(st, 2)});
    }
    {
        tStatement st(db, "SELECT run_id, first, second FROM area ORDER BY id");
        while (st.Next())
            if (const int run = indexOf(st.Int(0)); run >= 0)
                a.Areas.append(tAreaRecord{run, qsizetype(st.Int(1)), qsizetype(st.Int(2))});
    }
    {
        tStatement st(db, "SELECT t, value FROM prediction ORDER BY pos");
        while (st.Next()) a.Prediction.Points.append(QPointF(st.Real(0), st.Real(1)));
    }
    {
        tStatement st(db, "SELECT run_id, t, bpm FROM heart_rate ORDER BY run_id");
        while (st.Next()) {
            const int run = indexOf(st.Int(0));
            if (run < 0) continue;
            bool tsOk = false, bpmOk = false;
            const QVector<double> ts = NumbersFrom(st.Chars(1), tsOk);
            const QVector<double> bpm = NumbersFrom(st.Chars(2), bpmOk);
            if (!tsOk || !bpmOk || ts.size() != bpm.size()) Fail(tLessonFault::Damaged, path);
            QVector<QPointF> rates;
            rates.reserve(ts.size());
            for (qsizetype i = 0; i < ts.size(); ++i) rates.append(QPointF(ts[i], bpm[i]));
            heartRates.emplace_back(run, rates);
        }
    }
}
}  // namespace

void ReadLesson(const QString& path, tLesson& lesson, tLessonWriter* writer, QMap<QString, QString>* meta,
                tLessonReadNote* note) {
    const QFileInfo info(path);
    if (!info.exists()) Fail(tLessonFault::CannotOpen, path, fileplace::Reason(ENOENT));
    if (!info.isFile()) Fail(tLessonFault::NotLesson, path);
    {
        // Not even an SQLite header: say so before SQLite guesses.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) Fail(tLessonFault::CannotOpen, path, file.errorString());
        if (!file.read(16).startsWith("SQLite format 3")) Fail(tLessonFault::NotLesson, path);
    }
    // The lesson's lock: a save cut off earlier leaves its ".part", removed while nobody writes. On
    // a network folder the lock is held while reading, since another seat's write in the middle
    // would not be kept out by SQLite's locks there.
    const bool network = fileplace::OnNetwork(path);
    tLessonLock lock(path);
    if (lock.Acquire(network ? kLockWaitMs : 0)) {
        QFile::remove(path + QStringLiteral(".part"));
        if (!network) lock.Release();
    } else if (network && lock.Error() == 0) {
        Fail(tLessonFault::HeldBySeat, path, lock.Holder());
    }

    // Read-write when allowed: a file left in the middle of a write (a crash) is rolled back on open.
    const bool readOnly = fileplace::ReadOnly(path) || !info.isWritable();
    tDb file(path, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, tLessonFault::CannotOpen);
    file.SetFault(tLessonFault::Damaged);
    file.Exec("BEGIN");
    const int version = CheckHeader(file, path);
    file.Exec("COMMIT");

    // A file of an older program: upgraded in place after a copy of it as it was is kept, or, when
    // it may not be written, upgraded in a copy in memory.
    tLessonReadNote said;
    std::unique_ptr<tDb> memory;
    if (version < Schema().Version) {
        said.Upgraded = true;
        if (!readOnly) {
            said.UpgradeCopy = lessonfile::UpgradeCopyPath(path, version, fileplace::StateFolder());
            QDir().mkpath(QFileInfo(said.UpgradeCopy).absolutePath());
            // The bytes as they are, read under a shared lock so no writer is in the middle.
            file.Exec("BEGIN");
            CheckHeader(file, path);
            try {
                CopyOut(path, said.UpgradeCopy, path);
            } catch (const tLessonFileError& e) {
                QFile::remove(said.UpgradeCopy);
                Fail(tLessonFault::CannotUpgrade, path, e.Reason());
            }
            file.Exec("COMMIT");
            // No journal can be made in a folder that is not writable; the copy stands in for it.
            if (::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) != 0)
                file.Exec("PRAGMA journal_mode = MEMORY");
            Upgrade(file, path, version);
        } else {
            memory =
                std::make_unique<tDb>(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                      tLessonFault::CannotUpgrade);
            CopyDatabase(file, memory->Handle(), path);
            memory->SetFault(tLessonFault::Damaged);
            Upgrade(*memory, path, version);
            said.Text =
                QCoreApplication::translate(
                    "Lessonfile",
                    "Файл урока %1 записан прежней версией программы и доступен только для чтения: "
                    "урок открыт, а файл оставлен как есть.\r\nЧтобы сохранить урок, сохраните его под "
                    "другим именем («Сохранить как...»).")
                    .arg(Quoted(path));
        }
    }
    tDb& db = memory ? *memory : file;
    db.Exec("BEGIN");
    const int reached = CheckHeader(db, path);
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
    tLessonAnalyses analyses;
    std::vector<std::pair<int, QVector<QPointF>>> heartRates;
    if (reached >= 2) ReadAnalyses(db, path, ids, analyses, heartRates);
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
    lesson.SetAnalyses(analyses);
    for (const auto& [index, rates] : heartRates) lesson.SetHeartRates(lesson.Run(index), rates);
    lesson.SetCurrentSeries(entries.value(QStringLiteral("current_series")).toInt());
    lesson.Created = QDateTime::fromString(entries.value(QStringLiteral("created")), Qt::ISODateWithMs);
    lesson.Changed = QDateTime::fromString(entries.value(QStringLiteral("changed")), Qt::ISODateWithMs);
    if (writer) {
        writer->SetPath(path);
        // A file upgraded in memory only is not what the writer would add to.
        if (!memory) writer->Adopt(lesson, ids, entries, fileplace::StampOf(path));
    }
    if (meta) *meta = entries;
    if (note) *note = said;
    lesson.SetModified(false);
}

// ---------------------------------------------------------------------------------------------
// the rest of the interface

bool tLessonFileError::SaveAsHelps(tLessonFault fault) {
    switch (fault) {
        case tLessonFault::Locked:
        case tLessonFault::CannotWrite:
        case tLessonFault::ReadOnly:
        case tLessonFault::OtherOwner:
        case tLessonFault::Replaced:
        case tLessonFault::ChangedOutside:
            return true;
        default:
            return false;
    }
}

namespace lessonfile {

std::vector<tUpgradeStep> UpgradeSteps() {
    return {UpgradeFrom1};
}

QString UpgradeCopyPath(const QString& path, int version, const QString& fallbackFolder) {
    const QFileInfo info(path);
    const bool beside = ::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) == 0;
    const QDir folder(beside ? info.absolutePath() : fallbackFolder);
    const QString base = info.completeBaseName() + QStringLiteral(".v") + QString::number(version);
    QString copy = folder.filePath(base + u'.' + QLatin1String(Suffix));
    // An earlier copy stays: it may be the only one of an even older state.
    for (int n = 2; QFileInfo::exists(copy); ++n)
        copy = folder.filePath(base + QStringLiteral("-%1.").arg(n) + QLatin1String(Suffix));
    return copy;
}

tSchemaForTests::tSchemaForTests(int version, std::vector<tUpgradeStep> steps) {
    Schema().Version = version;
    Schema().Steps = std::move(steps);
}

tSchemaForTests::~tSchemaForTests() {
    Schema() = tSchema{};
}

}  // namespace lessonfile
