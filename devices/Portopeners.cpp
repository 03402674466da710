#include "devices/Portopeners.h"

#include <mutex>

#include "platform/Hidrawport.h"
#include "platform/Termiosport.h"

namespace {
std::mutex gOpenersLock;  // guards the three values below
tCommOpener gCommOpener;
tHidOpener gHidOpener;
QStringList gExtraSerial;

QString NoSimulatedSensor() {
    return QStringLiteral("no such simulated sensor");
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
    if (IsSimulatedPath(path)) {
        tCommOpener opener;
        {
            std::lock_guard<std::mutex> lock(gOpenersLock);
            opener = gCommOpener;
        }
        if (!opener) {
            errorText = NoSimulatedSensor();
            return nullptr;
        }
        // Several detectors open their candidates at the same time; the opener must be reentrant.
        std::unique_ptr<tCommPort> port = opener(path, errorText);
        if (!port && errorText.isEmpty()) errorText = NoSimulatedSensor();
        return port;
    }
    return OpenTermiosPort(path, errorText);
}

std::unique_ptr<tHidPort> OpenHidPortPath(const QString& path, QString& errorText) {
    if (IsSimulatedPath(path)) {
        tHidOpener opener;
        {
            std::lock_guard<std::mutex> lock(gOpenersLock);
            opener = gHidOpener;
        }
        if (!opener) {
            errorText = NoSimulatedSensor();
            return nullptr;
        }
        std::unique_ptr<tHidPort> port = opener(path, errorText);
        if (!port && errorText.isEmpty()) errorText = NoSimulatedSensor();
        return port;
    }
    return OpenHidrawPort(path, errorText);
}
