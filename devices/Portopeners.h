// SPDX-License-Identifier: GPL-3.0-or-later
// Port openers: the one place where a port path becomes an open tCommPort / tHidPort.
// Paths beginning with "sim:" go to the simulated opener that the demo mode or a test installed;
// every other path goes to the platform's termios / hidraw layer. Installing an opener is not
// synchronised with running searches: install before the first search.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/Commport.h"
#include "platform/Hidport.h"

using tCommOpener = std::function<std::unique_ptr<tCommPort>(const QString& path, QString& errorText)>;
using tHidOpener = std::function<std::unique_ptr<tHidPort>(const QString& path, QString& errorText)>;

// An empty opener uninstalls; "sim:" paths then fail with "no such simulated sensor".
void SetSimulatedCommOpener(tCommOpener opener);
void SetSimulatedHidOpener(tHidOpener opener);
// Identifiers appended to the system's serial ports in every serial search (demo sensors).
void SetExtraSerialCandidates(const QStringList& candidates);
QStringList ExtraSerialCandidates();

bool IsSimulatedPath(const QString& path);
// Null with errorText set on failure.
std::unique_ptr<tCommPort> OpenCommPortPath(const QString& path, QString& errorText);
std::unique_ptr<tHidPort> OpenHidPortPath(const QString& path, QString& errorText);
