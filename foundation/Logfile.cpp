// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Logfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <cerrno>

#include "foundation/Commandline.h"
#include "foundation/Exceptions.h"

tLogFile* gLogFile = nullptr;

tLogFile::tLogFile() = default;

tLogFile::tLogFile(const QString& fileName) : FFileName(fileName) {
    if (!HasSwitch(QStringLiteral("LOG"))) return;
    const QByteArray path = fileName.toLocal8Bit();
    // O_APPEND: every write lands at the current end, so one write is one whole line.
    FFd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (FFd < 0) {
        const QString reason = LastSystemErrorText();
        Cleanup();
        throw tException(QCoreApplication::translate(
                             "tLogFile", "Невозможно открыть файл журнала '%1'.\r\nСистема сообщает: %2")
                             .arg(fileName, reason));
    }
    // Another writer holding the log would interleave with ours; readers are welcome.
    if (::flock(FFd, LOCK_EX | LOCK_NB) != 0) {
        Cleanup();
        throw tException(QCoreApplication::translate(
                             "tLogFile", "Невозможно открыть файл журнала '%1'.\r\nСистема сообщает: %2")
                             .arg(fileName, QCoreApplication::translate(
                                                "tLogFile", "файл используется другой программой")));
    }
}

tLogFile::~tLogFile() {
    Cleanup();
}

void tLogFile::Cleanup() {
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
}

namespace {
// The locale's long time format without its time-zone part (Qt's long formats end in "t"; the log
// is local time without a zone name), with the milliseconds right after the seconds, so lines of
// one second stay apart and the rest of the locale's look (an AM/PM after the time) stays.
QString LogTimeFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    qsizetype secondsEnd = -1;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u't') continue;
        out += c;
        if (!quoted && c == u's') secondsEnd = out.size();
    }
    if (secondsEnd >= 0) out.insert(secondsEnd, QStringLiteral(".zzz"));
    return out.trimmed();
}
}  // namespace

QString tLogFile::Stamp() {
    // Making a stamp (the zone's rules for the current time, the locale's formats) costs far more
    // than writing a line, and a device that fails at once logs hundreds of lines in a moment: each
    // thread makes the stamp of a second once and puts the milliseconds into it.
    struct tCached {
        qint64 Second = -1;
        QString Text;
        qsizetype Millis = -1;  // where the three digits of the milliseconds stand, -1 = none shown
    };
    thread_local tCached cached;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = now / 1000;
    if (second != cached.Second) {
        cached.Second = second;
        cached.Text = Stamp(QDateTime::fromMSecsSinceEpoch(second * 1000), QLocale::system());
        const qsizetype at = cached.Text.lastIndexOf(QStringLiteral(".000"));
        cached.Millis = at < 0 ? -1 : at + 1;
    }
    QString text = cached.Text;
    if (cached.Millis >= 0) {
        const int millis = static_cast<int>(now % 1000);
        text[cached.Millis] = QChar(u'0' + millis / 100);
        text[cached.Millis + 1] = QChar(u'0' + millis / 10 % 10);
        text[cached.Millis + 2] = QChar(u'0' + millis % 10);
    }
    return text;
}

QString tLogFile::Stamp(const QDateTime& when, const QLocale& locale) {
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    const QString timeFormat = LogTimeFormat(locale);
    const QString time = timeFormat.isEmpty() ? QString() : locale.toString(when.time(), timeFormat);
    if (date.isEmpty() || time.isEmpty()) return when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz"));
    return date + u' ' + time;
}

void tLogFile::Add(const QString& message) {
    // The stamp is formatted before the lock is taken (Write locks).
    Write(Stamp() + u' ' + message + QStringLiteral("\r\n"));
}

void tLogFile::Write(const QString& raw) {
    if (FFd < 0) return;
    const QByteArray bytes = raw.toUtf8();
    std::lock_guard<std::mutex> lock(FLock);
    // A failing write is ignored: the log must never stop the program. A signal or a full disk may
    // cut a write short; the rest follows under the same lock so the line stays whole.
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(FFd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        data += written;
        left -= static_cast<size_t>(written);
    }
}

void LogAdd(const QString& message) {
    if (gLogFile) gLogFile->Add(message);
}

bool LogIsOn() {
    return gLogFile != nullptr && gLogFile->IsOn();
}
