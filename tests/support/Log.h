// SPDX-License-Identifier: GPL-3.0-or-later
// A program log for tests: it keeps every line instead of writing a file, and installs itself as
// the program's log for its lifetime.
#pragma once

#include <QString>
#include <QStringList>
#include <mutex>

#include "foundation/Logfile.h"

// Keeps every line the program logs. The measurement thread logs too, hence the lock.
class tCapturedLog : public tLogFile {
  public:
    tCapturedLog() { gLogFile = this; }
    ~tCapturedLog() override { gLogFile = nullptr; }
    void Write(const QString& raw) override {
        std::lock_guard<std::mutex> lock(FLock);
        FLines.append(raw);
    }
    bool IsOn() const override { return true; }
    // How many lines carry exactly `message` (after the time stamp).
    int Count(const QString& message) const {
        std::lock_guard<std::mutex> lock(FLock);
        int count = 0;
        for (const QString& line : FLines)
            if (line.endsWith(u' ' + message + QStringLiteral("\r\n")) &&
                !line.contains(QStringLiteral(" == ")))
                ++count;
        return count;
    }

    // The milestone lines in order, each the text after its mark ("Выбран опыт …").
    QStringList Milestones() const {
        std::lock_guard<std::mutex> lock(FLock);
        QStringList found;
        for (const QString& line : FLines)
            if (const qsizetype at = line.indexOf(QStringLiteral(" == ")); at >= 0)
                found.append(line.mid(at + 4).chopped(2));
        return found;
    }

  private:
    mutable std::mutex FLock;
    QStringList FLines;
};
