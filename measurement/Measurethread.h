// SPDX-License-Identifier: GPL-3.0-or-later
// tMeasureThread: runs one measurement session. It borrows the device's open port, sends the start
// request, frames the stream into packets and queues them; the user-interface thread polls the
// queue every 100 ms through the device. The thread never touches widgets: it reports by
// PostAppMessage (WM_DEVICE_WRITE_ERROR, WM_DEVICE_READ_ERROR, WM_DEVICE_DATA).
//
// Threading: FQueueLock guards FQueue only and is never held across I/O, logging or posting.
// RequestStop() may be called from any thread; the owner (tDevice) joins with WaitFor() and then
// destroys the object, which releases packets still queued.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "measurement/Packet.h"
#include "platform/Stopsignal.h"

class tMeasureThread {
  public:
    // Starts the thread at once; setup.Comm / setup.Hid stay borrowed until WaitFor() returned.
    explicit tMeasureThread(const tMeasureSetup& setup);
    // Requests a stop and joins when still running, then releases queued packets.
    ~tMeasureThread();
    tMeasureThread(const tMeasureThread&) = delete;
    tMeasureThread& operator=(const tMeasureThread&) = delete;

    // Number of queued packets (takes QueueLock).
    int GetPacketCount();
    // Moves the oldest packet into `out`; `out` becomes the empty packet when the queue is empty.
    void PopPacket(tPacket& out);
    // Sets Terminated, then StopEvent, so a waiting cycle wakes and the loop test ends it. Any thread.
    void RequestStop();
    // Joins the thread (no-op when already joined). Owner thread only.
    void WaitFor();

  private:
    void Execute();
    void QueuePacket(tPacket&& packet);
    void DrainQueue();

    tMeasureSetup FSetup;
    std::atomic<bool> Terminated{false};
    tStopSignal StopEvent;
    std::mutex QueueLock;  // guards FQueue only
    std::deque<tPacket> FQueue;
    std::thread FThread;  // last: starts after every other member exists
};
