// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Udevmonitor.h"

#include <libudev.h>

struct tUdevMonitor::tImpl {
    udev* Context = nullptr;
    udev_monitor* Monitor = nullptr;
};

tUdevMonitor::tUdevMonitor() : FImpl(std::make_unique<tImpl>()) {}

tUdevMonitor::~tUdevMonitor() {
    Close();
}

bool tUdevMonitor::Open() {
    Close();
    FImpl->Context = udev_new();
    if (FImpl->Context) {
        // "udev" rather than "kernel": the event comes once the device nodes exist with their
        // permissions, so a search started by the arrival can open them. No subsystem filter:
        // every change counts as a device-tree change.
        FImpl->Monitor = udev_monitor_new_from_netlink(FImpl->Context, "udev");
    }
    if (FImpl->Monitor && udev_monitor_enable_receiving(FImpl->Monitor) >= 0 &&
        udev_monitor_get_fd(FImpl->Monitor) >= 0)
        return true;
    Close();
    return false;
}

void tUdevMonitor::Close() {
    if (FImpl->Monitor) udev_monitor_unref(FImpl->Monitor);
    if (FImpl->Context) udev_unref(FImpl->Context);
    FImpl->Monitor = nullptr;
    FImpl->Context = nullptr;
}

int tUdevMonitor::Fd() const {
    return FImpl->Monitor ? udev_monitor_get_fd(FImpl->Monitor) : -1;
}

tUdevMonitor::tChange tUdevMonitor::ReadChange() {
    if (!FImpl->Monitor) return None;
    // The monitor's socket is non-blocking: with nothing queued this returns null at once.
    udev_device* device = udev_monitor_receive_device(FImpl->Monitor);
    if (!device) return None;
    auto text = [](const char* s) { return s ? QString::fromLatin1(s) : QString(); };
    const tChange change =
        Classify(text(udev_device_get_action(device)), text(udev_device_get_subsystem(device)),
                 text(udev_device_get_devtype(device)));
    udev_device_unref(device);
    return change;
}

tUdevMonitor::tChange tUdevMonitor::Classify(const QString& action, const QString& subsystem,
                                             const QString& devtype) {
    if (action.isEmpty()) return None;
    // A USB device brings interfaces, tty and hidraw nodes with it; only the device itself counts
    // as the arrival, as the USB device interface class does on Windows.
    if (subsystem == "usb" && devtype == "usb_device") {
        if (action == "add") return UsbArrival;
        if (action == "remove") return UsbRemoval;
    }
    return DeviceTreeChanged;
}
