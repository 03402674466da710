// SPDX-License-Identifier: GPL-3.0-or-later
// Candidate lists of the sensor search: the naming rules, and enumeration on whatever this
// machine has (often nothing in a container).
#include "platform/Udevenum.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <algorithm>

// ---- Windows-style identifiers ------------------------------------------------------------------

TEST(SerialIdentifier, DigitsFromTheFirstDigitOn) {
    EXPECT_EQ(SerialPortIdentifierDigits("COM12"), "12");
    EXPECT_EQ(SerialPortIdentifierDigits("COM3"), "3");
    EXPECT_EQ(SerialPortIdentifierDigits("COM"), "");
    EXPECT_EQ(SerialPortIdentifierDigits(""), "");
    EXPECT_EQ(SerialPortIdentifierDigits("7"), "7");
    // Only the front is cut: what follows the first digit stays as it is.
    EXPECT_EQ(SerialPortIdentifierDigits("\\Device\\Serial2A"), "2A");
}

// ---- natural order ------------------------------------------------------------------------------

TEST(NaturalOrder, NumbersCompareAsNumbers) {
    EXPECT_TRUE(DeviceNodeNaturalLess("/dev/ttyACM2", "/dev/ttyACM10"));
    EXPECT_FALSE(DeviceNodeNaturalLess("/dev/ttyACM10", "/dev/ttyACM2"));
    EXPECT_TRUE(DeviceNodeNaturalLess("/dev/ttyACM9", "/dev/ttyUSB0"));
    EXPECT_TRUE(DeviceNodeNaturalLess("/dev/ttyACM", "/dev/ttyACM0"));
    EXPECT_FALSE(DeviceNodeNaturalLess("/dev/ttyACM1", "/dev/ttyACM1"));
    EXPECT_TRUE(DeviceNodeNaturalLess("/dev/hidraw99999999999999999999", "/dev/hidraw100000000000000000000"));
}

TEST(NaturalOrder, SortsAListOfNodes) {
    QStringList nodes = {"/dev/ttyUSB0", "/dev/ttyACM10", "/dev/ttyACM2", "/dev/ttyACM0", "/dev/ttyACM1"};
    std::sort(nodes.begin(), nodes.end(), DeviceNodeNaturalLess);
    EXPECT_EQ(nodes,
              QStringList({"/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyACM2", "/dev/ttyACM10", "/dev/ttyUSB0"}));
}

// ---- HID interface paths ------------------------------------------------------------------------

TEST(HidInterfacePaths, LowerCaseFourDigitHex) {
    EXPECT_EQ(HidInterfacePath("/dev/hidraw3", 0x0483, 0x5750), "/dev/hidraw3#vid_0483&pid_5750");
    EXPECT_EQ(HidInterfacePath("/dev/hidraw0", 0xABCD, 0x00EF), "/dev/hidraw0#vid_abcd&pid_00ef");
}

TEST(HidInterfacePaths, HidIdProperty) {
    uint16_t vid = 0, pid = 0;
    ASSERT_TRUE(ParseHidId("0003:00000483:00005750", vid, pid));
    EXPECT_EQ(vid, 0x0483);
    EXPECT_EQ(pid, 0x5750);
    EXPECT_FALSE(ParseHidId("0003:00000483", vid, pid));
    EXPECT_FALSE(ParseHidId("0003:00010483:00005750", vid, pid));  // more than 16 bits
    EXPECT_FALSE(ParseHidId("0003:zz:00005750", vid, pid));
    EXPECT_FALSE(ParseHidId("", vid, pid));
    EXPECT_EQ(vid, 0x0483);  // untouched by the failures
}

// ---- enumeration on this machine ----------------------------------------------------------------

TEST(Enumeration, SerialPortsAreHardwareDeviceNodesInOrder) {
    const QStringList ports = EnumerateSerialPorts();
    for (const QString& p : ports) {
        EXPECT_TRUE(p.startsWith("/dev/")) << p.toStdString();
        EXPECT_FALSE(p.startsWith("/dev/pts/")) << p.toStdString();
        EXPECT_NE(p, "/dev/tty");
        EXPECT_NE(p, "/dev/console");
        EXPECT_NE(p, "/dev/ptmx");
        EXPECT_FALSE(p.contains(QRegularExpression("^/dev/tty[0-9]+$"))) << p.toStdString();  // consoles
    }
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(), DeviceNodeNaturalLess));
}

TEST(Enumeration, HidInterfacesCarryTheirIds) {
    const QStringList interfaces = EnumerateHidInterfaces();
    for (const QString& i : interfaces)
        EXPECT_TRUE(i.contains(QRegularExpression("^/dev/hidraw[0-9]+#vid_[0-9a-f]{4}&pid_[0-9a-f]{4}$")))
            << i.toStdString();
}
