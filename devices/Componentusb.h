// SPDX-License-Identifier: GPL-3.0-or-later
// TComponentUSB: tells its owner when a USB device arrives or is removed and when the device tree
// changes, from the udev monitor read on a QSocketNotifier in the creating thread's event loop.
// Each handler runs inside RunGuarded, so a failing handler is reported and the component keeps
// listening. Without a working monitor the component stays silent.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "platform/Udevmonitor.h"

class QSocketNotifier;

class TComponentUSB : public QObject {
    Q_OBJECT
  public:
    using tHandler = std::function<void(QObject* sender)>;

    explicit TComponentUSB(QObject* parent = nullptr);
    ~TComponentUSB() override;

    tHandler OnUSBArrival;
    tHandler OnUSBRemove;
    tHandler OnDevNodeChanged;

    // True when the monitor is open and changes are being delivered.
    bool IsListening() const { return FNotifier != nullptr; }
    // Fires the handler of one change (sender = this); None and unassigned handlers do nothing.
    void Dispatch(tUdevMonitor::tChange change);

  private:
    void ReadMonitor();

    std::unique_ptr<tUdevMonitor> FMonitor;
    QSocketNotifier* FNotifier = nullptr;  // child of this
};
