// SPDX-License-Identifier: GPL-3.0-or-later
// The three ways a sensor is reached. The numeric codes are the ones the logs and the error texts
// have always shown (0 FTDI, 1 serial, 2 HID); everywhere else the program names the transport.
#pragma once

#include <cstdint>

enum class tTransport : uint8_t {
    Ftdi = 0,    // FTDI chip through the vendor's D2XX library
    Serial = 1,  // a serial port: CDC, USB serial adapters, FTDI through the kernel's driver
    Hid = 2,     // USB HID
};

// False for a value outside the three (only a cast from a stored or foreign number makes one).
constexpr bool IsKnownTransport(tTransport transport) {
    return static_cast<uint8_t>(transport) <= static_cast<uint8_t>(tTransport::Hid);
}

constexpr int TransportCode(tTransport transport) {
    return static_cast<int>(transport);
}
