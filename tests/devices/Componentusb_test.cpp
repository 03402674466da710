// SPDX-License-Identifier: GPL-3.0-or-later
// TComponentUSB dispatch without udev: handlers by change, sender, unassigned handlers, the guard.
#include "devices/Componentusb.h"

#include <gtest/gtest.h>

#include "foundation/Exceptions.h"
#include "foundation/Messagebox.h"

TEST(ComponentUSB, EachChangeFiresItsHandlerWithTheComponentAsSender) {
    TComponentUSB usb;
    QStringList fired;
    QObject* sender = nullptr;
    usb.OnUSBArrival = [&](QObject* s) {
        fired << "arrival";
        sender = s;
    };
    usb.OnUSBRemove = [&](QObject*) { fired << "remove"; };
    usb.OnDevNodeChanged = [&](QObject*) { fired << "tree"; };
    usb.Dispatch(tUdevMonitor::UsbArrival);
    usb.Dispatch(tUdevMonitor::UsbRemoval);
    usb.Dispatch(tUdevMonitor::DeviceTreeChanged);
    usb.Dispatch(tUdevMonitor::None);
    EXPECT_EQ(fired, (QStringList{"arrival", "remove", "tree"}));
    EXPECT_EQ(sender, &usb);
}

TEST(ComponentUSB, NoHandlersNoEffect) {
    TComponentUSB usb;
    usb.Dispatch(tUdevMonitor::UsbArrival);
    usb.Dispatch(tUdevMonitor::UsbRemoval);
    usb.Dispatch(tUdevMonitor::DeviceTreeChanged);
    SUCCEED();
}

TEST(ComponentUSB, FailingHandlerIsReportedAndDispatchGoesOn) {
    TComponentUSB usb;
    QStringList boxes;
    SetMessageBoxResponderForTests([&](const tBoxRequest& r) {
        boxes << r.text;
        return tBoxAnswer{};
    });
    int removals = 0;
    usb.OnUSBArrival = [](QObject*) { throw tException("handler failed"); };
    usb.OnUSBRemove = [&](QObject*) { ++removals; };
    usb.Dispatch(tUdevMonitor::UsbArrival);
    usb.Dispatch(tUdevMonitor::UsbRemoval);
    SetMessageBoxResponderForTests(nullptr);
    EXPECT_EQ(boxes, (QStringList{"handler failed"}));
    EXPECT_EQ(removals, 1);
}
