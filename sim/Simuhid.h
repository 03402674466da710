// SPDX-License-Identifier: GPL-3.0-or-later
// tSimUhidDevice: a simulated HID sensor that the kernel takes for a real USB HID device, made
// through /dev/uhid (root, and the uhid and hid_generic modules): vendor 0483, product 5750, input
// report 1 and output report 2 of 63 bytes each (64 with the report id), so the program reaches it
// through the kernel's own hidraw node exactly as a plugged-in sensor. Destroying the device is an
// unplug: the kernel removes its hidraw node at once.
//
// One thread per device serves the kernel's requests and sends the sensor's input reports as they
// become due. The sensor is shared with the test, which reads what it sent.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/Stopsignal.h"
#include "sim/Simsensor.h"

class tSimUhidDevice {
  public:
    static constexpr uint16_t VendorId = 0x0483;
    static constexpr uint16_t ProductId = 0x5750;

    explicit tSimUhidDevice(std::shared_ptr<tSimSensor> sensor);
    // Destroys the device (an unplug) when it still exists.
    ~tSimUhidDevice();
    tSimUhidDevice(const tSimUhidDevice&) = delete;
    tSimUhidDevice& operator=(const tSimUhidDevice&) = delete;

    // Plugs the sensor in; false with the system's text when /dev/uhid refuses.
    bool Create(QString& errorText);
    // Unplugs it: the kernel drops the device and its hidraw node.
    void Destroy();
    tSimSensor& Sensor() const { return *FSensor; }
    // Whether a program has the hidraw node open (the kernel said so).
    bool IsOpenedByHost() const { return FOpened.load(); }

  private:
    void Run();
    void HandleEvent();
    void Refuse(uint32_t replyType, uint32_t requestId);
    void SendInputReport();

    std::shared_ptr<tSimSensor> FSensor;
    int FFd = -1;
    std::unique_ptr<tStopSignal> FStop;
    std::atomic<bool> FOpened{false};
    uint32_t FFullCount = 0;
    std::thread FThread;
};
