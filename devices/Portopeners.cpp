// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Portopeners.h"

#include <mutex>

#include "platform/Hidrawport.h"
#include "platform/Termiosport.h"

namespace {
std::mutex gOpenersLock;  // guards the three values below
tCommOpener gCommOpener;
tHidOpener gHidOpener;
QStringList gExtraSerial;

// The installed opener (copied under the lock) opens `path`. Several detectors open their
// candidates at the same time, so openers must be reentrant.
template <class tPort, class tOpener>
std::unique_ptr<tPort> OpenSimulated(const tOpener& installed, const QString& path, QString& errorText) {
    tOpener opener;
    {
        std::lock_guard<std::mutex> lock(gOpenersLock);
        opener = installed;
    }
    const QString none = QStringLiteral("no such simulated sensor");
    if (!opener) {
        errorText = none;
        return nullptr;
    }
    std::unique_ptr<tPort> port = opener(path, errorText);
    if (!port && errorText.isEmpty()) errorText = none;
    return port;
}
}  // namespace

void SetSimulatedCommOpener(tCommOpener opener) {
    std::lock_guard<std::mutex> lock(gOpenersLock);
    gCommOpener = std::move(opener);
}

void SetSimulatedHidOpener(tHidOpener opener) {
    std::lock_guard<std::mutex> lock(gOpenersLock);
    gHidOpener = std::move(opener);
}

void SetExtraSerialCandidates(const QStringList& candidates) {
    std::lock_guard<std::mutex> lock(gOpenersLock);
    gExtraSerial = candidates;
}

QStringList ExtraSerialCandidates() {
    std::lock_guard<std::mutex> lock(gOpenersLock);
    return gExtraSerial;
}

bool IsSimulatedPath(const QString& path) {
    return path.startsWith(QStringLiteral("sim:"));
}

std::unique_ptr<tCommPort> OpenCommPortPath(const QString& path, QString& errorText) {
    if (IsSimulatedPath(path)) return OpenSimulated<tCommPort>(gCommOpener, path, errorText);
    return OpenTermiosPort(path, errorText);
}

std::unique_ptr<tHidPort> OpenHidPortPath(const QString& path, QString& errorText) {
    if (IsSimulatedPath(path)) return OpenSimulated<tHidPort>(gHidOpener, path, errorText);
    return OpenHidrawPort(path, errorText);
}
