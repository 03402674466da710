// SPDX-License-Identifier: GPL-3.0-or-later
// Classification of udev events recorded as `udevadm monitor --property` prints them, and a
// monitor that may or may not reach udev on this machine.
#include "platform/Udevmonitor.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <chrono>

namespace {

struct tEvent {
    QMap<QString, QString> Properties;
};

QList<tEvent> LoadEvents() {
    QFile f(QString(ROVELIN_TEST_DATA) + "/platform/udev_events.txt");
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing test data udev_events.txt";
        return {};
    }
    QList<tEvent> events;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
        if (line.startsWith("UDEV ")) {
            events.append(tEvent{});
        } else if (!events.isEmpty() && line.contains('=')) {
            events.last().Properties.insert(line.section('=', 0, 0), line.section('=', 1));
        }
    }
    return events;
}

}  // namespace

// ---- recorded events ----------------------------------------------------------------------------

TEST(UdevClassify, RecordedEvents) {
    // By SEQNUM: plugging a HID sensor (device, interface, hidraw node), a CDC sensor's tty, a disk
    // change, a driver bind, then unplugging the HID sensor (interface, device).
    const QMap<QString, tUdevMonitor::tChange> expected = {
        {"5321", tUdevMonitor::UsbArrival},        {"5322", tUdevMonitor::DeviceTreeChanged},
        {"5325", tUdevMonitor::DeviceTreeChanged}, {"5340", tUdevMonitor::DeviceTreeChanged},
        {"5351", tUdevMonitor::DeviceTreeChanged}, {"5360", tUdevMonitor::DeviceTreeChanged},
        {"5371", tUdevMonitor::DeviceTreeChanged}, {"5374", tUdevMonitor::UsbRemoval},
    };
    const QList<tEvent> events = LoadEvents();
    ASSERT_EQ(events.size(), expected.size());
    for (const tEvent& e : events) {
        const QString seq = e.Properties.value("SEQNUM");
        ASSERT_TRUE(expected.contains(seq)) << seq.toStdString();
        EXPECT_EQ(tUdevMonitor::Classify(e.Properties.value("ACTION"), e.Properties.value("SUBSYSTEM"),
                                         e.Properties.value("DEVTYPE")),
                  expected.value(seq))
            << "SEQNUM " << seq.toStdString();
    }
}

TEST(UdevClassify, EventWithoutActionChangesNothing) {
    EXPECT_EQ(tUdevMonitor::Classify("", "usb", "usb_device"), tUdevMonitor::None);
    EXPECT_EQ(tUdevMonitor::Classify("add", "usb", ""), tUdevMonitor::DeviceTreeChanged);
}

// ---- the monitor itself -------------------------------------------------------------------------

TEST(UdevMonitor, ClosedMonitorIsHarmless) {
    tUdevMonitor monitor;
    EXPECT_EQ(monitor.Fd(), -1);
    EXPECT_EQ(monitor.ReadChange(), tUdevMonitor::None);
    monitor.Close();
    monitor.Close();
}

TEST(UdevMonitor, OpenEitherWorksOrLeavesItClosed) {
    tUdevMonitor monitor;
    const bool opened = monitor.Open();
    if (opened) {
        EXPECT_GE(monitor.Fd(), 0);
        // Nothing need be queued; reading must not wait for an event.
        const auto start = std::chrono::steady_clock::now();
        monitor.ReadChange();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_TRUE(monitor.Open());  // reopening replaces the old connection
    } else {
        EXPECT_EQ(monitor.Fd(), -1);
        EXPECT_EQ(monitor.ReadChange(), tUdevMonitor::None);
    }
    monitor.Close();
    EXPECT_EQ(monitor.Fd(), -1);
}
