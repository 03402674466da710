// SPDX-License-Identifier: GPL-3.0-or-later
// tSensorSearch: the three searches of the connection procedure (FTDI, serial, HID), free of any
// window. Each lists the candidates of its transport in enumeration order, starts one detector per
// candidate (CandidatePauseMs apart, so they identify in parallel), waits for all and keeps the
// first device whose reported name equals the wanted name exactly; every other device found is
// closed at once. A search never throws: its error ends it and becomes one log line with the
// prefix "FTW32: ", "COM: " or "HID: " (message 1013 when nothing matched).
//
// The enumerations sit behind tCandidateSource so tests can offer their own candidates. The
// searches run on the calling thread and block it for the whole search; a wait hook, when set, is
// called on that thread at least every WaitSliceMs while it waits, so a window can keep painting.
//
// Besides the specified lines the log gets a diagnosis when nothing matched: the sensors that did
// answer (with their names), nodes that exist but cannot be opened (permission, another program),
// nodes that opened but did not answer, or no device at all. The same findings give the words of
// the user's "not found" box (NotFoundAdvice).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "devices/D2xx.h"
#include "foundation/Transport.h"
#include "platform/Access.h"

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
    // Why a candidate's device node could not be used, for the administrator (None: nothing known).
    virtual tAccessProblem DescribeAccessProblem(const QString& path);
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
    tAccessProblem DescribeAccessProblem(const QString& path) override;
    QString DescribeNoSerialPorts() override;
};

// What the searches of one connection attempt met, in search order.
struct tSearchFindings {
    struct tSensor {
        QString Name;   // as the sensor reported it
        QString Port;   // the candidate's identifier, for the log
        QString Place;  // where it answered, for the user (CandidatePlace)
    };
    std::vector<tSensor> Sensors;          // every sensor that identified itself
    std::vector<tAccessProblem> Problems;  // nodes that exist but could not be used
    QStringList Silent;                    // places that opened but gave no identity
    int Searches = 0;                      // searches run
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
    void SetWaitHook(std::function<void()> hook) { FWaitHook = std::move(hook); }
    static constexpr int WaitSliceMs = 50;

    // Everything met by the searches of this object so far.
    const tSearchFindings& Findings() const { return FFindings; }

    // The serial identifier of a port name: a device node or "sim:" name as it is; otherwise the
    // name from its first decimal digit on (COM12 gives 12, a name without digits gives "").
    static QString SerialIdentifier(const QString& portName);
    // Ports named in the setting SerialPorts (separated by ';', ',' or blanks), for ports that
    // the USB enumeration leaves out, such as /dev/ttyS0.
    static QStringList NamedSerialPorts(tSettings* settings);
    // Where a candidate answered, in the user's words: a device node, a demo port, an FTDI location.
    static QString CandidatePlace(const QString& identifier, tTransport transport);
    // For the user, after "not found": the sensor the scenario needs, what was found, and the
    // first thing to check, one sentence a line (CR LF between them).
    static QString NotFoundAdvice(const QString& sensorName, const tSearchFindings& findings);

  protected:
    // Creates the detector of one candidate (tests override it to fail one).
    virtual std::unique_ptr<tDeviceDetector> CreateDetector(const QString& identifier, tTransport transport);

  private:
    using tDetectors = std::vector<std::unique_ptr<tDeviceDetector>>;
    // Starts one detector, then pauses. False when preparing it failed (logged).
    bool AddCandidate(tDetectors& detectors, const QString& identifier, tTransport transport,
                      bool logFailure);
    // The pause between candidates and the wait for one detector, with the wait hook called.
    void Pause(int ms);
    void Await(tDeviceDetector& detector);
    // One search: `startCandidates` starts the transport's detectors (it may throw; it may add
    // lines to the diagnosis written after the error line when nothing matched), then every
    // detector is waited for in order and the first device named `sensorName` is kept. A candidate
    // that gave no device logs its access problem, and the search's error its message, after
    // `logPrefix`; every detector is joined on every path.
    std::unique_ptr<tDevice> Search(const QString& logPrefix, tTransport transport, const QString& sensorName,
                                    const std::function<void(tDetectors&, QStringList&)>& startCandidates);

    tSettings* FSettings;
    std::unique_ptr<tCandidateSource> FOwnSource;
    tCandidateSource* FSource;
    int FPauseMs;
    std::function<void()> FWaitHook;
    tSearchFindings FFindings;
};
