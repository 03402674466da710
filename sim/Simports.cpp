// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Simports.h"

#include <poll.h>

#include <algorithm>
#include <cstring>

#include "platform/Stopsignal.h"
#include "sim/Simmodels.h"

namespace {

constexpr int64_t kMs = 1000000;
constexpr uint32_t kUnboundedReadMs = 10000;  // all-zero time-outs: Windows blocks, we stop waiting here
constexpr int kHugeCount = 200;               // count byte of the "count too large" fault

}  // namespace

// --- The device side of HID reports (shared by the simulated port and real-kernel devices) ---

void SimReceiveOutputReport(tSimSensor& sensor, const uint8_t* report, size_t length) {
    if (length == 0) return;
    sensor.RecordHidReport(report, length);
    // Output report 2 carries request bytes; the sensor has no other output report.
    if (report[0] == 0x02) sensor.HostWrite(report + 1, length - 1);
}

bool SimInputReportDue(tSimSensor& sensor) {
    const int64_t intervalNs = sensor.HidReportIntervalMs() * kMs;
    return sensor.Now() >= sensor.LastReportNs() + intervalNs && sensor.Available() > 0;
}

std::vector<uint8_t> SimTakeInputReport(tSimSensor& sensor, uint32_t& fullCount) {
    const int inputLength = sensor.HidInputLength();
    const int room = inputLength - 2;
    std::vector<uint8_t> in(inputLength, 0);
    const size_t got = sensor.HostRead(in.data() + 2, room);
    const int index = sensor.TakeReportIndex();
    const tSimFaults f = sensor.Faults();
    in[0] = f.HidWrongIdFromReport >= 0 && index >= f.HidWrongIdFromReport ? 0x02 : 0x01;
    in[1] = static_cast<uint8_t>(got);
    // A full report may announce itself with 255 instead of its byte count; both are sent.
    if (static_cast<int>(got) == room && room < 255 && fullCount++ % 2 == 1) in[1] = 255;
    if (f.HidCountTooLargeFromReport >= 0 && index >= f.HidCountTooLargeFromReport)
        in[1] = static_cast<uint8_t>(std::min(std::max(kHugeCount, room + 1), 254));
    sensor.SetLastReportNs(sensor.Now());
    return in;
}

// --- Serial port ---

tSimCommPort::tSimCommPort(std::shared_ptr<tSimSensor> sensor) : FSensor(std::move(sensor)) {
    FSensor->Record(tSimCall(tSimCall::Open));
}

tSimCommPort::~tSimCommPort() {
    FSensor->Record(tSimCall(tSimCall::Close));
    FSensor->Closed();
}

bool tSimCommPort::Alive() {
    if (!FSensor->IsUnplugged()) return true;
    FError = kSimUnpluggedText;
    return false;
}

bool tSimCommPort::SetRts(bool on) {
    if (!Alive()) return false;
    tSimCall c(tSimCall::SetRts);
    c.Value = on;
    FSensor->Record(c);
    return true;
}

bool tSimCommPort::SetBreak(bool on) {
    if (!Alive()) return false;
    tSimCall c(tSimCall::SetBreak);
    c.Value = on;
    FSensor->Record(c);
    return true;
}

bool tSimCommPort::GetModemStatus(uint32_t& status) {
    if (!Alive()) return false;
    // Single sensors raise carrier detect; that is how the host tells the dialects apart.
    status = MS_CTS_ON | MS_DSR_ON | (FSensor->Hub() ? 0u : uint32_t(MS_RLSD_ON));
    return true;
}

bool tSimCommPort::GetState(tCommState& state) {
    if (!Alive()) return false;
    state = FSensor->LineState();
    return true;
}

bool tSimCommPort::SetState(const tCommState& state) {
    if (!Alive()) return false;
    tSimCall c(tSimCall::SetState);
    c.State = state;
    FSensor->Record(c);
    return true;
}

bool tSimCommPort::GetTimeouts(tCommTimeouts& timeouts) {
    if (!Alive()) return false;
    timeouts = FSensor->Timeouts();
    return true;
}

bool tSimCommPort::SetTimeouts(const tCommTimeouts& timeouts) {
    if (!Alive()) return false;
    tSimCall c(tSimCall::SetTimeouts);
    c.Timeouts = timeouts;
    FSensor->Record(c);
    return true;
}

bool tSimCommPort::Purge(uint32_t flags) {
    if (!Alive()) return false;
    tSimCall c(tSimCall::Purge);
    c.Value = flags;
    FSensor->Record(c);
    if (flags & (PURGE_RXCLEAR | PURGE_RXABORT)) FSensor->PurgeArrived();
    return true;
}

bool tSimCommPort::Write(const uint8_t* data, uint32_t n, uint32_t& written) {
    written = 0;
    if (!Alive()) return false;
    FSensor->HostWrite(data, n);
    written = n;
    return true;
}

bool tSimCommPort::Read(uint8_t* data, uint32_t n, uint32_t& read) {
    read = 0;
    if (!Alive()) return false;
    const tCommTimeouts t = FSensor->Timeouts();
    const bool immediate = t.ReadIntervalTimeout == 0xFFFFFFFFu && t.ReadTotalTimeoutMultiplier == 0 &&
                           t.ReadTotalTimeoutConstant == 0;
    uint64_t totalMs = uint64_t(t.ReadTotalTimeoutMultiplier) * n + t.ReadTotalTimeoutConstant;
    if (totalMs == 0 && !immediate) totalMs = kUnboundedReadMs;
    const int64_t deadline =
        tSimSensor::RealNow() + static_cast<int64_t>(std::min<uint64_t>(totalMs, 3600000)) * kMs;
    for (;;) {
        read += static_cast<uint32_t>(FSensor->HostRead(data + read, n - read));
        if (read == n || immediate) return true;
        if (FSensor->IsUnplugged()) {
            FError = kSimUnpluggedText;
            return read > 0;  // what arrived before the sensor vanished still counts
        }
        if (tSimSensor::RealNow() >= deadline) return true;
        FSensor->WaitChange(deadline);
    }
}

QString tSimCommPort::LastErrorText() const {
    return FError;
}

// --- HID ---

tSimHidPort::tSimHidPort(std::shared_ptr<tSimSensor> sensor) : FSensor(std::move(sensor)) {
    FSensor->Record(tSimCall(tSimCall::Open));
}

tSimHidPort::~tSimHidPort() {
    FSensor->Record(tSimCall(tSimCall::Close));
    FSensor->Closed();
}

tHidPort::tCaps tSimHidPort::GetCaps(int& inputReportLength, int& outputReportLength) {
    if (FSensor->IsUnplugged()) return NoPreparsedData;
    inputReportLength = FSensor->HidInputLength();
    outputReportLength = FSensor->HidOutputLength();
    return CapsOk;
}

tHidPort::tIo tSimHidPort::WriteReport(const uint8_t* report, uint32_t length, uint32_t,
                                       uint32_t& transferred, bool& immediate) {
    transferred = 0;
    immediate = true;
    if (FSensor->IsUnplugged()) {
        FError = kSimUnpluggedText;
        return IoFailed;
    }
    if (length == 0 || length > static_cast<uint32_t>(FSensor->HidOutputLength())) {
        FError = "Invalid argument";
        return IoFailed;
    }
    SimReceiveOutputReport(*FSensor, report, length);
    transferred = FSensor->Faults().HidWriteOneShort ? length - 1 : length;
    return IoDone;
}

tHidPort::tIo tSimHidPort::ReadReport(uint8_t* report, uint32_t length, uint32_t timeoutMs,
                                      uint32_t& transferred, bool& immediate, const tStopSignal* stop) {
    transferred = 0;
    immediate = false;
    const int64_t deadline = tSimSensor::RealNow() + int64_t(timeoutMs) * kMs;
    bool first = true;
    for (;;) {
        if (FSensor->IsUnplugged()) {
            FError = kSimUnpluggedText;
            return IoFailed;
        }
        if (stop && stop->IsSet()) return IoStopped;
        if (SimInputReportDue(*FSensor)) break;
        const int64_t realNow = tSimSensor::RealNow();
        if (realNow >= deadline) return IoTimeout;
        first = false;
        const int64_t until = std::min(deadline, realNow + 2 * kMs);
        if (stop) {
            pollfd p{stop->Fd(), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::max<int64_t>(1, (until - realNow) / kMs)));
        } else {
            FSensor->WaitChange(until);
        }
    }
    immediate = first;

    const std::vector<uint8_t> in = SimTakeInputReport(*FSensor, FFullCount);
    transferred = std::min<uint32_t>(length, static_cast<uint32_t>(in.size()));
    std::memcpy(report, in.data(), transferred);
    return IoDone;
}

void tSimHidPort::Cancel() {
    FSensor->Record(tSimCall(tSimCall::Cancel));
}

bool tSimHidPort::Flush() {
    FSensor->Record(tSimCall(tSimCall::Flush));
    if (FSensor->IsUnplugged()) return false;
    FSensor->PurgeArrived();
    return true;
}

QString tSimHidPort::LastErrorText() const {
    return FError;
}

// --- Registry ---

tSimRegistry& tSimRegistry::Instance() {
    static tSimRegistry registry;
    return registry;
}

bool tSimRegistry::ParsePath(const QString& path, QString& model) {
    if (!path.startsWith("sim:")) return false;
    model = path.mid(4).section('@', 0, 0);
    return !model.isEmpty();
}

tSimSensorConfig tSimRegistry::DemoConfig(const QString& model, bool hid) {
    tSimSensorConfig c;
    c.Model = model;
    c.Hub = !hid;
    c.Speed = 115200;
    if (const tSimModel* row = SimModelFor(model)) {
        c.Hub = row->Hub && !hid;
        c.Speed = row->Speed;
        c.Channels = row->Channels;
        c.PeriodUs = row->PeriodUs;
    }
    c.VaryRuns = true;
    return c;
}

std::shared_ptr<tSimSensor> tSimRegistry::Add(const QString& path, const tSimSensorConfig& config) {
    auto sensor = std::make_shared<tSimSensor>(config);
    std::lock_guard lock(FLock);
    FSensors[path] = sensor;
    FDemoModels.erase(path);
    return sensor;
}

std::shared_ptr<tSimSensor> tSimRegistry::Find(const QString& path) const {
    std::lock_guard lock(FLock);
    auto it = FSensors.find(path);
    return it == FSensors.end() ? nullptr : it->second;
}

std::shared_ptr<tSimSensor> tSimRegistry::FindOrCreate(const QString& path, bool hid, QString& errorText) {
    std::lock_guard lock(FLock);
    auto it = FSensors.find(path);
    if (it != FSensors.end()) return it->second;
    QString model;
    if (!ParsePath(path, model) || !SimModelFor(model)) {
        errorText = "No such file or directory";
        return nullptr;
    }
    tSimSensorConfig config = DemoConfig(model, hid);
    if (auto scene = FScenes.find(model); scene != FScenes.end()) config.Scene = scene->second;
    auto sensor = std::make_shared<tSimSensor>(config);
    FSensors[path] = sensor;
    FDemoModels[path] = model;
    return sensor;
}

void tSimRegistry::Remove(const QString& path) {
    std::lock_guard lock(FLock);
    FSensors.erase(path);
    FDemoModels.erase(path);
}

QString tSimRegistry::Replug(const QString& path) {
    std::lock_guard lock(FLock);
    auto it = FSensors.find(path);
    if (it == FSensors.end()) return QString();
    tSimSensorConfig config = it->second->Config();
    config.Faults = tSimFaults{};
    QString place = path;
    if (it->second->IsOpen()) {
        QString model;
        ParsePath(path, model);
        for (int n = 2; FSensors.count(place); ++n) place = QStringLiteral("sim:%1@%2").arg(model).arg(n);
    }
    FSensors[place] = std::make_shared<tSimSensor>(config);
    if (auto demo = FDemoModels.find(path); demo != FDemoModels.end()) FDemoModels[place] = demo->second;
    return place;
}

void tSimRegistry::Clear() {
    std::lock_guard lock(FLock);
    FSensors.clear();
    FDemoModels.clear();
    FScenes.clear();
}

void tSimRegistry::SetScene(const QString& model, const QString& scene) {
    std::lock_guard lock(FLock);
    FScenes[model] = scene;
    for (const auto& [path, demoModel] : FDemoModels)
        if (demoModel == model) FSensors[path]->SetScene(scene);
}

namespace {

template <class tPort>
std::unique_ptr<tPort> OpenSim(const QString& path, bool hid, QString& errorText) {
    errorText.clear();
    std::shared_ptr<tSimSensor> sensor = tSimRegistry::Instance().FindOrCreate(path, hid, errorText);
    if (!sensor) return nullptr;
    if (!sensor->TryOpen()) {
        errorText = sensor->IsUnplugged() ? kSimUnpluggedText : "Device or resource busy";
        return nullptr;
    }
    return std::make_unique<tPort>(sensor);
}

}  // namespace

std::unique_ptr<tCommPort> OpenSimulatedCommPort(const QString& path, QString& errorText) {
    return OpenSim<tSimCommPort>(path, false, errorText);
}

std::unique_ptr<tHidPort> OpenSimulatedHidPort(const QString& path, QString& errorText) {
    return OpenSim<tSimHidPort>(path, true, errorText);
}

QStringList DemoSerialCandidates() {
    QStringList candidates;
    for (const tSimModel& model : SimModels())
        candidates << QStringLiteral("sim:") + QLatin1String(model.Name);
    return candidates;
}
