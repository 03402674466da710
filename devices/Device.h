// SPDX-License-Identifier: GPL-3.0-or-later
// tDevice: one measuring device (a single sensor or a sensor hub) on one of three transports:
// FTDI chip through libftd2xx, serial port (the identifier is the device node, e.g. /dev/ttyACM0,
// or a "sim:" name), HID (/dev/hidrawN#vid_vvvv&pid_pppp or "sim:").
// It opens the transport, identifies the device, sends the sampling period, and runs the measurement
// thread on its open port (Start/Stop).
//
// Ownership and threads: the device owns its open port and its measurement thread. It is created
// and identified on a detector thread, then handed over to the user-interface thread, which alone
// calls it from then on. The object has no lock: while the measurement thread runs, the device
// sends nothing (SendRequest refuses) and the thread is joined before Stop sends the stop command.
//
// Errors: Init, GetInfo, SetFrequency and SendRequest report expected failures through false (and
// the log). Init also answers false for a transport value outside tTransport, with the text
// "tDevice::Init: Unknown device type"; such a device never opens. Stop raises when the FTDI
// library is not loaded.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Transport.h"
#include "measurement/Measurethread.h"
#include "measurement/Samples.h"
#include "platform/Commport.h"
#include "platform/Hidport.h"

class tSettings;

// The identity reply: six comma-separated items, only the name and the speed are used. Items 2 to
// 5 are named after what the simulated sensor puts there; the program reads none of them.
struct tDeviceInfo {
    QString Name;          // item 1: the sensor model
    QString Vendor;        // item 2
    QString Product;       // item 3
    uint8_t Revision = 0;  // item 4: low 8 bits of the number
    QString Firmware;      // item 5
    QString SpeedText;     // item 6: stream speed in bit/s
};

class tDevice;

// A device as the packet source of the measurement intake (TakePackets, measurement/Samples.h).
class tDevicePackets : public tPacketSource {
  public:
    explicit tDevicePackets(tDevice& device) : FDevice(device) {}
    int GetPacketCount() override;
    void TakePacket(tPacket& out) override;

  private:
    tDevice& FDevice;
};

class tDevice {
  public:
    enum : uint32_t { InfoReplyLength = 39 };

    // Opens nothing.
    tDevice(const QString& portName, tSettings* settings, tTransport transport);
    // Stops a measurement thread that is still running (its port is about to close), then Cleanup.
    virtual ~tDevice();
    tDevice(const tDevice&) = delete;
    tDevice& operator=(const tDevice&) = delete;

    // Opens and configures the transport; on failure `error` holds the reason and the device is
    // cleaned up.
    bool Init(QString& error);
    // The identity exchange of the device's dialect; sets the name and the speed.
    bool GetInfo(tDeviceInfo& info);
    QString GetName() const { return FDeviceName; }
    bool IsHubMode() const { return FHubMode; }
    // Sampling period in microseconds; the single-sensor dialect does not carry the mode.
    bool SetFrequency(int32_t mode, int32_t period);
    // Why the last SetFrequency failed, in words for a warning box (the sensor refused the period
    // with «FREQ: Error.» or a non-zero status, answered something else, or did not answer), with
    // what it means for the chart; empty after a success. The log has the same line.
    QString FrequencyProblem() const { return FFrequencyProblem; }
    // One request/reply exchange over the transport (a request of length 0 sends nothing; a reply
    // length of 0 reads nothing). True only when all was sent and all expected bytes arrived.
    bool SendRequest(const uint8_t* request, uint32_t length, int timeoutMs, uint32_t replyLength,
                     uint8_t* reply);
    // Closes the transport; harmless when already closed.
    virtual void Cleanup();

    // Measurement control (user-interface thread only). Start first stops a measurement that is
    // still running, so there is never more than one thread on the port; false when the device
    // is not open.
    bool Start(uint8_t startParameter);
    // Stops and joins the measurement thread, sends the stop command; false when it was not written.
    bool Stop();
    int32_t GetPacketCount();
    // The oldest queued packet, or the empty packet without a running measurement.
    void TakePacket(tPacket& packet);
    bool IsMeasuring() const { return FMeasureThread != nullptr; }

    int32_t Speed() const { return FSpeed; }
    QString PortName() const { return FPortName; }
    tTransport Transport() const { return FTransport; }
    bool IsOpen() const { return FComm || FHid; }
    // True when the device behind the open port is gone (unplugged): nothing will work on it any
    // more, and its owner closes it (Cleanup) so that the device node is free for the sensor when
    // it is plugged in again. Safe also while the measurement thread runs.
    bool IsGone() const;
    // The path shown in error texts: the node or "sim:" name, or "\\.\COM" + a Windows-style number.
    QString PortPath() const;

    // Parses the 39-byte identity reply (trimmed of bytes <= 0x20 at both ends, six comma items).
    static tDeviceInfo ParseInfoReply(const uint8_t* reply, uint32_t length);

  private:
    void OpenSerial();
    void OpenFtdi();
    void OpenHid();
    // Serial and FTDI: back to 38400 bit/s after the single-sensor stop.
    void RestoreLine();

    const tTransport FTransport;
    std::unique_ptr<tCommPort> FComm;  // FTDI and serial while open
    std::unique_ptr<tHidPort> FHid;    // HID while open
    QString FPortName;
    bool FHubMode = true;
    int32_t FSpeed = 0;
    std::unique_ptr<tMeasureThread> FMeasureThread;
    QString FDeviceName;
    tSettings* FSettings;
    int32_t FInputReportLength = 0;
    int32_t FOutputReportLength = 0;
    std::vector<uint8_t> FCarryBuffer;  // HID reply bytes beyond what the last request asked for
    QString FFrequencyProblem;
};
