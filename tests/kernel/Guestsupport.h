// SPDX-License-Identifier: GPL-3.0-or-later
// What the rig's guest tests share: the control line to the host, a log that keeps its lines and
// their times (and writes a real file, as the program's log does), the settings of a Linux
// installation, and a measurement taken the way the window's timer takes it.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Logfile.h"
#include "foundation/Settings.h"

class tDevice;

namespace rig {

using tClock = std::chrono::steady_clock;
double MsSince(tClock::time_point start);

// The guest's end of the control line (tests/kernel/Rig.h).
class tControl {
  public:
    bool Open(const QString& path);
    // One request, one answer line; empty when the host does not answer within `timeoutMs`.
    QString Request(const QString& line, int timeoutMs = 60000);
    bool Unplug(const char* sensor) { return Request(QStringLiteral("UNPLUG %1").arg(sensor)) == "OK"; }
    bool Plug(const char* sensor) { return Request(QStringLiteral("PLUG %1").arg(sensor)) == "OK"; }
    // The channel 0 values the sensor sent in its current run.
    std::vector<double> Sent(const char* sensor);

  private:
    int FFd = -1;
    std::string FPending;
};
tControl& Control();

// Keeps every line (without its stamp) with the time it was written, and appends it to a file.
class tGuestLog : public tLogFile {
  public:
    explicit tGuestLog(const QString& fileName);
    ~tGuestLog() override;
    void Write(const QString& raw) override;
    bool IsOn() const override { return true; }
    int Size();
    QStringList LinesFrom(int from);
    // Lines from `from` on that start with `prefix`.
    QStringList Find(const QString& prefix, int from = 0);
    int Count(const QString& line, int from = 0);

  private:
    std::mutex FLock;  // guards FLines
    QStringList FLines;
    int FFd = -1;
};
tGuestLog& Log();

// The settings of an installation on Linux (serial through the kernel's driver, HID on), with a
// short settling wait after opening a port.
std::unique_ptr<tSettings> LinuxSettings();

// Finds the sensor named `name` through the program's search (serial or HID).
std::unique_ptr<tDevice> FindSerialSensor(tSettings& settings, const QString& name);
std::unique_ptr<tDevice> FindHidSensor(tSettings& settings, const QString& name);

// A run as the window's 100 ms timer takes it: start, take and decode the queued packets until
// `values` values of channel 0 arrived (or `timeoutMs` passed), stop.
struct tRun {
    std::vector<double> Values;  // channel 0, in order
    int Packets = 0;
    bool Started = false;
    bool Stopped = false;  // the stop command was written
};
tRun Measure(tDevice& device, int values, int timeoutMs = 30000);

// Where `received` starts in `sent`: the index from which the two agree value by value for the
// whole of `received`; -1 when they nowhere do.
int OffsetIn(const std::vector<double>& sent, const std::vector<double>& received);

// Whether a device node exists.
bool NodeExists(const QString& node);

}  // namespace rig
