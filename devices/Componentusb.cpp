// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Componentusb.h"

#include <QSocketNotifier>

#include "foundation/Guard.h"

TComponentUSB::TComponentUSB(QObject* parent) : QObject(parent), FMonitor(std::make_unique<tUdevMonitor>()) {
    if (!FMonitor->Open()) return;
    FNotifier = new QSocketNotifier(FMonitor->Fd(), QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { ReadMonitor(); });
}

TComponentUSB::~TComponentUSB() {
    // The notifier must not watch the monitor's descriptor after it is closed.
    delete FNotifier;
    FNotifier = nullptr;
}

void TComponentUSB::ReadMonitor() {
    Dispatch(FMonitor->ReadChange());
}

void TComponentUSB::Dispatch(tUdevMonitor::tChange change) {
    const tHandler* handler = nullptr;
    switch (change) {
        case tUdevMonitor::UsbArrival:
            handler = &OnUSBArrival;
            break;
        case tUdevMonitor::UsbRemoval:
            handler = &OnUSBRemove;
            break;
        case tUdevMonitor::DeviceTreeChanged:
            handler = &OnDevNodeChanged;
            break;
        default:
            return;
    }
    if (!*handler) return;
    // Copied: a handler may reassign itself while it runs.
    const tHandler call = *handler;
    RunGuarded([&] { call(this); });
}
