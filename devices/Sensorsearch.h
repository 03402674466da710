// tSensorSearch: the three searches of the connection procedure (FTDI, serial, HID), free of any
// window. Each lists the candidates of its transport in enumeration order, starts one detector per
// candidate (CandidatePauseMs apart, so they identify in parallel), waits for all and keeps the
// first device whose reported name equals the wanted name exactly; every other device found is
// closed at once. A search never throws: its error ends it and becomes one log line with the
// prefix "FTW32: ", "COM: " or "HID: " (message 1013 when nothing matched).
//
// The enumerations sit behind tCandidateSource so tests can offer their own candidates. The
// searches run on the calling thread and block it for the whole search.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "devices/D2xx.h"
#include "foundation/Transport.h"

class tDevice;
class tDeviceDetector;
class tSettings;

class tCandidateSource {
  public:
    virtual ~tCandidateSource() = default;
    // Serial port names in enumeration order (device nodes, "sim:" names or Windows-style names).
    virtual QStringList SerialPorts() = 0;
    // The FTDI library's device list.
    virtual bool FtdiLoaded() = 0;
    virtual FT_STATUS FtdiCreateDeviceInfoList(FT_DWORD& count) = 0;
    // `count` in: records available at `list`; out: records the library reports.
    virtual FT_STATUS FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD& count) = 0;
    // HID interface paths ("/dev/hidrawN#vid_vvvv&pid_pppp") in enumeration order.
    virtual QStringList HidInterfaces() = 0;
    // Why a candidate's device node could not be used, for the administrator (empty: nothing known).
    virtual QString DescribeAccessProblem(const QString& path);
    // Why the system lists no serial ports (empty: nothing known).
    virtual QString DescribeNoSerialPorts();
};

// The running system: udev enumeration, the program-wide tFTDILibrary and the extra serial
// candidates of the demo mode (SetExtraSerialCandidates).
class tSystemCandidateSource : public tCandidateSource {
  public:
    QStringList SerialPorts() override;
    bool FtdiLoaded() override;
    FT_STATUS FtdiCreateDeviceInfoList(FT_DWORD& count) override;
    FT_STATUS FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD& count) override;
    QStringList HidInterfaces() override;
    QString DescribeAccessProblem(const QString& path) override;
    QString DescribeNoSerialPorts() override;
};

class tSensorSearch {
  public:
    // `source` is borrowed; null selects the running system.
    explicit tSensorSearch(tSettings* settings, tCandidateSource* source = nullptr);
    virtual ~tSensorSearch();

    std::unique_ptr<tDevice> FindFTDISensor(const QString& sensorName);
    std::unique_ptr<tDevice> FindCOMSensor(const QString& sensorName);
    std::unique_ptr<tDevice> FindHIDSensor(const QString& sensorName);
    void SetCandidatePauseMs(int ms) { FPauseMs = ms; }

    // The serial identifier of a port name: a device node or "sim:" name as it is; otherwise the
    // name from its first decimal digit on (COM12 gives 12, a name without digits gives "").
    static QString SerialIdentifier(const QString& portName);

  protected:
    // Creates the detector of one candidate (tests override it to fail one).
    virtual std::unique_ptr<tDeviceDetector> CreateDetector(const QString& identifier, tTransport transport);

  private:
    using tDetectors = std::vector<std::unique_ptr<tDeviceDetector>>;
    // Starts one detector, then pauses. False when preparing it failed (logged).
    bool AddCandidate(tDetectors& detectors, const QString& identifier, tTransport transport, bool logFailure);
    // One search: `startCandidates` starts the transport's detectors (it may throw), then every
    // detector is waited for in order and the first device named `sensorName` is kept. A candidate
    // that gave no device logs its access problem, and the search's error its message, after
    // `logPrefix`; every detector is joined on every path.
    std::unique_ptr<tDevice> Search(const QString& logPrefix, const QString& sensorName,
                                    const std::function<void(tDetectors&)>& startCandidates);

    tSettings* FSettings;
    std::unique_ptr<tCandidateSource> FOwnSource;
    tCandidateSource* FSource;
    int FPauseMs;
};
