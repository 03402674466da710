// SPDX-License-Identifier: GPL-3.0-or-later
// Simulated sensors behind the program's port seams. A path "sim:<MODEL>" or "sim:<MODEL>@<n>"
// names one sensor in tSimRegistry: tests register sensors with their dialect, speed and faults
// and look them up afterwards to see what they received; a path nobody registered gets the
// model's demo sensor, so the demo mode needs no set-up.
//
// The ports block with real waits bounded by the port's read time-out (serial) or the caller's
// time-out (HID); the sensor's own clock decides what has arrived. One port per sensor is open at
// a time, as with a tty opened exclusively. The registry is thread-safe.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Commport.h"
#include "platform/Hidport.h"
#include "sim/Simsensor.h"

// The error text a port reports once its sensor was unplugged (as the system says for ENODEV).
inline constexpr const char* kSimUnpluggedText = "No such device";

// The device side of HID reports, for every way a simulated HID sensor is reached.
// An output report as the sensor receives it: report 2 carries request bytes.
void SimReceiveOutputReport(tSimSensor& sensor, const uint8_t* report, size_t length);
// Whether the sensor sends an input report now: bytes are waiting and its report interval has passed.
bool SimInputReportDue(tSimSensor& sensor);
// The next input report (id 1, count, up to input length - 2 stream bytes, with the sensor's
// faults); `fullCount` counts full reports of one link, every other one is announced with 255.
std::vector<uint8_t> SimTakeInputReport(tSimSensor& sensor, uint32_t& fullCount);

class tSimCommPort : public tCommPort {
  public:
    explicit tSimCommPort(std::shared_ptr<tSimSensor> sensor);
    ~tSimCommPort() override;
    bool SetRts(bool on) override;
    bool SetBreak(bool on) override;
    bool GetModemStatus(uint32_t& status) override;
    bool GetState(tCommState& state) override;
    bool SetState(const tCommState& state) override;
    bool GetTimeouts(tCommTimeouts& timeouts) override;
    bool SetTimeouts(const tCommTimeouts& timeouts) override;
    bool Purge(uint32_t flags) override;
    bool Write(const uint8_t* data, uint32_t n, uint32_t& written) override;
    bool Read(uint8_t* data, uint32_t n, uint32_t& read) override;
    QString LastErrorText() const override;
    bool IsGone() const override { return FSensor->IsUnplugged(); }

    tSimSensor& Sensor() const { return *FSensor; }

  private:
    bool Alive();
    std::shared_ptr<tSimSensor> FSensor;
    QString FError;
};

class tSimHidPort : public tHidPort {
  public:
    explicit tSimHidPort(std::shared_ptr<tSimSensor> sensor);
    ~tSimHidPort() override;
    tCaps GetCaps(int& inputReportLength, int& outputReportLength) override;
    tIo WriteReport(const uint8_t* report, uint32_t length, uint32_t timeoutMs, uint32_t& transferred,
                    bool& immediate) override;
    tIo ReadReport(uint8_t* report, uint32_t length, uint32_t timeoutMs, uint32_t& transferred,
                   bool& immediate, const tStopSignal* stop) override;
    void Cancel() override;
    bool Flush() override;
    QString LastErrorText() const override;
    bool IsGone() const override { return FSensor->IsUnplugged(); }

    tSimSensor& Sensor() const { return *FSensor; }

  private:
    std::shared_ptr<tSimSensor> FSensor;
    QString FError;
    uint32_t FFullCount = 0;  // reports with exactly the report's room of bytes, for the 255 count
};

class tSimRegistry {
  public:
    static tSimRegistry& Instance();

    // Registers (or replaces) the sensor under `path`, e.g. "sim:T100" or "sim:K330@2".
    std::shared_ptr<tSimSensor> Add(const QString& path, const tSimSensorConfig& config);
    // The registered sensor, or null.
    std::shared_ptr<tSimSensor> Find(const QString& path) const;
    // The registered sensor, or a new demo sensor of the path's model (registered from then on);
    // null with `errorText` set when the path names no simulated sensor.
    std::shared_ptr<tSimSensor> FindOrCreate(const QString& path, bool hid, QString& errorText);
    void Remove(const QString& path);
    void Clear();
    // Plugs a sensor of the same configuration (faults cleared) in again after the sensor of
    // `path` was unplugged, and returns where it appears. As with a kernel's device nodes, a port
    // still open on the unplugged sensor keeps its path taken: the new sensor then gets the first
    // free "sim:<MODEL>@<n>" (n from 2); otherwise it takes the old path. Empty when `path` names
    // no sensor.
    QString Replug(const QString& path);
    // What the demo sensors of `model` play from their next run on: a scene named by the scenario
    // (its Demo key), or empty for the model's own waveform. Sensors a test registered with Add
    // keep their configuration.
    void SetScene(const QString& model, const QString& scene);

    // The demo sensors: T100 and L200 hub dialect at 115200, K330 single-sensor dialect at 38400
    // with its current on channel 1, P620 hub dialect at 115200 sampling every 10 ms. HID sensors
    // always use the single-sensor dialect. Their runs differ from each other (VaryRuns).
    static tSimSensorConfig DemoConfig(const QString& model, bool hid);
    // "sim:<MODEL>[@<n>]" with a non-empty model; `model` receives it.
    static bool ParsePath(const QString& path, QString& model);

  private:
    mutable std::mutex FLock;  // guards the three maps
    std::map<QString, std::shared_ptr<tSimSensor>> FSensors;
    std::map<QString, QString> FDemoModels;  // path of a demo sensor -> its model
    std::map<QString, QString> FScenes;      // model -> scene
};

// Opens the simulated sensor of `path` as a serial port; null with `errorText` when the path names
// no sensor, the sensor is unplugged or its port is already open.
std::unique_ptr<tCommPort> OpenSimulatedCommPort(const QString& path, QString& errorText);
// The same for a HID sensor (single-sensor dialect, 64-byte reports unless configured otherwise).
std::unique_ptr<tHidPort> OpenSimulatedHidPort(const QString& path, QString& errorText);
// The serial candidates the demo mode adds: one sensor per model of the sample catalogue.
QStringList DemoSerialCandidates();
