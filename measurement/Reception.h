// SPDX-License-Identifier: GPL-3.0-or-later
// The reception procedures run by tMeasureThread, one per transport family. Internal to the
// measurement library; runs on the measurement thread only. The thread depends on these, these on
// the framer (measurement/Framer.h), never back.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

#include "measurement/Framer.h"
#include "measurement/Packet.h"
#include "platform/Stopsignal.h"

// What a procedure may touch of its thread.
struct tReceptionContext {
    const tMeasureSetup& Setup;
    const std::atomic<bool>& Terminated;
    const tStopSignal& StopEvent;
    tReceptionTimings Timings;
    std::function<void(tPacket&&)> Queue;  // queues the packet and posts WM_DEVICE_DATA
};

// Serial (ftdi false) and FTDI (ftdi true): one algorithm over tCommPort.
void ReceiveComm(tReceptionContext& context, bool ftdi);
// HID over tHidPort.
void ReceiveHid(tReceptionContext& context);
