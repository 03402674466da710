// SPDX-License-Identifier: GPL-3.0-or-later
// USB arrival and removal, and other device-tree changes, from udev's event stream (what
// WM_DEVICECHANGE tells a Windows program). The owner watches Fd() (e.g. with a QSocketNotifier)
// and calls ReadChange() when it becomes readable. Used on one thread; no Qt objects inside.
#pragma once

#include <QString>
#include <memory>

class tUdevMonitor {
  public:
    enum tChange {
        None,               // nothing queued, or an event that changes nothing
        UsbArrival,         // a USB device was added (its nodes exist, udev rules have run)
        UsbRemoval,         // a USB device was removed
        DeviceTreeChanged,  // any other device came, went or changed
    };

    tUdevMonitor();
    ~tUdevMonitor();
    tUdevMonitor(const tUdevMonitor&) = delete;
    tUdevMonitor& operator=(const tUdevMonitor&) = delete;

    // Starts receiving the events udev sends after its rules ran, for all subsystems. False when
    // udev is unavailable; the monitor then stays closed and harmless (Fd() -1, no changes).
    bool Open();
    void Close();
    int Fd() const;
    // Receives one queued event without waiting and classifies it.
    tChange ReadChange();

    static tChange Classify(const QString& action, const QString& subsystem, const QString& devtype);

  private:
    struct tImpl;
    std::unique_ptr<tImpl> FImpl;
};
