// SPDX-License-Identifier: GPL-3.0-or-later
// tDeviceDetector: one worker thread that tries one candidate: it creates a tDevice, opens it
// (Init), identifies it (GetInfo) and publishes it when both succeed. A failure becomes the log line
// "DevID <id> error: <message>" and the device is deleted (which closes its port).
//
// Threading: DeviceLock guards DetectedDevice, written once by the thread. Call GetDevice after
// WaitFor: from then on the caller owns the returned device; the detector never deletes a
// published device. The destructor joins the thread.
#pragma once

#include <QString>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "foundation/Transport.h"

class tDevice;
class tSettings;

class tDeviceDetector {
  public:
    // Starts detection at once.
    tDeviceDetector(const QString& portName, tSettings* settings, tTransport transport);
    ~tDeviceDetector();
    tDeviceDetector(const tDeviceDetector&) = delete;
    tDeviceDetector& operator=(const tDeviceDetector&) = delete;

    // Joins the thread (no-op once joined). Not thread-safe against another WaitFor.
    void WaitFor();
    // Waits at most `ms` milliseconds for the detection to end; true (and joined) when it has.
    // Lets a waiting window keep painting between short waits.
    bool WaitFor(int ms);
    // The published device or null.
    tDevice* GetDevice();
    QString PortName() const { return FPortName; }

  private:
    void Execute();

    tSettings* FSettings;
    const QString FPortName;
    tDevice* FDetectedDevice = nullptr;
    std::shared_mutex FDeviceLock;  // guards FDetectedDevice
    std::mutex FDoneLock;           // guards FDone
    std::condition_variable FDoneSignal;
    bool FDone = false;  // the thread body has ended
    const tTransport FTransport;
    std::thread FThread;  // last: starts after every field above is set
};
