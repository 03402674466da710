// SPDX-License-Identifier: GPL-3.0-or-later
// The program log: time-stamped lines appended to one file beside the executable.
// Thread-safe: any thread may call Add/Write; one line is one write(2) under FLock, so lines from
// different threads never interleave. The file is opened only when the LOG switch is present.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <mutex>

class tLogFile {
  public:
    // Opens (appends to) or creates fileName when the command line holds the LOG switch;
    // otherwise opens nothing and every line is dropped. Raises tException on open failure.
    explicit tLogFile(const QString& fileName);
    virtual ~tLogFile();
    tLogFile(const tLogFile&) = delete;
    tLogFile& operator=(const tLogFile&) = delete;

    // Date, blank, time, blank, message, CR LF.
    void Add(const QString& message);
    // Writes raw text at the end of the file in one write; nothing when logging is off.
    virtual void Write(const QString& raw);
    // True when lines are kept; test doubles that capture lines return true.
    virtual bool IsOn() const { return FFd >= 0; }
    // The file the lines go to (also when logging is off: where they would go).
    QString FileName() const { return FFileName; }

    // The stamp "date time" of now in the user's locale: the short date and the long time without
    // the zone name, with milliseconds after the seconds ("04.03.2026 09:15:30.042"), or
    // dd.MM.yyyy HH:mm:ss.zzz where the locale gives nothing.
    static QString Stamp();
    static QString Stamp(const QDateTime& when, const QLocale& locale);

  protected:
    tLogFile();  // logging off; for test doubles that override Write
    virtual void Cleanup();

  private:
    std::mutex FLock;  // serialises writers
    int FFd = -1;
    QString FFileName;
};

// The program-wide log, set by the entry point (tests may set their own). May be null.
extern tLogFile* gLogFile;

// Adds a line to gLogFile when it exists.
void LogAdd(const QString& message);
// True when the log would keep lines (so per-cycle dumps can be skipped otherwise).
bool LogIsOn();
