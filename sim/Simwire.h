// SPDX-License-Identifier: GPL-3.0-or-later
// tSimWire: a simulated sensor on the far side of a byte stream, for tests that run the system's
// own serial driver: the master of a pty whose slave a virtual machine's USB serial chip uses, or a
// socket that chip is connected to. What arrives on the descriptor reaches the sensor as the host's
// writes; what the sensor sends is written to the descriptor as it becomes due at the sensor's
// speed. The sensor knows nothing of the line settings or purges: those happen in the host's kernel.
//
// One thread per wire, started by the constructor and joined by the destructor. The descriptor is
// borrowed (the wire makes it non-blocking) and must outlive the wire; the sensor is shared with the test,
// which reads what it sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/Stopsignal.h"
#include "sim/Simsensor.h"

class tSimWire {
  public:
    tSimWire(std::shared_ptr<tSimSensor> sensor, int fd);
    ~tSimWire();
    tSimWire(const tSimWire&) = delete;
    tSimWire& operator=(const tSimWire&) = delete;

    tSimSensor& Sensor() const { return *FSensor; }
    // Bytes the sensor sent that the descriptor would not take within a while (nobody reading).
    uint64_t DroppedBytes() const { return FDropped.load(); }
    // True once the other side closed the stream (end of file, or a pty without its slave).
    bool PeerClosed() const { return FPeerClosed.load(); }

  private:
    void Run();
    // Writes all of `data`, waiting up to a while for room; what does not fit is dropped.
    void Send(const uint8_t* data, size_t n);

    std::shared_ptr<tSimSensor> FSensor;
    int FFd;
    tStopSignal FStop;
    std::atomic<uint64_t> FDropped{0};
    std::atomic<bool> FPeerClosed{false};
    std::thread FThread;  // last: starts after every other member exists
};
