// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Measurethread.h"

#include <cstring>

#include "foundation/Appmessage.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "measurement/Reception.h"

// ---- the thread object ---------------------------------------------------------------------------

tMeasureThread::tMeasureThread(const tMeasureSetup& setup) : FSetup(setup) {
    FThread = std::thread([this] { Execute(); });
}

tMeasureThread::~tMeasureThread() {
    RequestStop();
    WaitFor();
    DrainQueue();
}

int tMeasureThread::GetPacketCount() {
    std::lock_guard<std::mutex> lock(QueueLock);
    return static_cast<int>(FQueue.size());
}

void tMeasureThread::PopPacket(tPacket& out) {
    tPacket front;
    {
        std::lock_guard<std::mutex> lock(QueueLock);
        if (!FQueue.empty()) {
            front = std::move(FQueue.front());
            FQueue.pop_front();
        }
    }
    out = std::move(front);
}

void tMeasureThread::RequestStop() {
    // Terminated first: a cycle woken by StopEvent must see it at its loop test.
    Terminated.store(true);
    StopEvent.Set();
}

void tMeasureThread::WaitFor() {
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

void tMeasureThread::DrainQueue() {
    std::deque<tPacket> old;
    {
        std::lock_guard<std::mutex> lock(QueueLock);
        old.swap(FQueue);
    }
    // Packets are released outside the lock.
}

void tMeasureThread::QueuePacket(tPacket&& packet) {
    {
        std::lock_guard<std::mutex> lock(QueueLock);
        FQueue.push_back(std::move(packet));
    }
    PostAppMessage(WM_DEVICE_DATA, FSetup.DeviceNumber, 0);
}

void tMeasureThread::Execute() {
    // Nothing may escape a worker thread: errors are logged and the thread ends.
    try {
        DrainQueue();
        tReceptionContext context{FSetup, Terminated, StopEvent, tReceptionTimings::Get(),
                                  [this](tPacket&& packet) { QueuePacket(std::move(packet)); }};
        switch (FSetup.Transport) {
            case tTransport::Ftdi:
            case tTransport::Serial:
                if (FSetup.Comm == nullptr)
                    throw tException(QStringLiteral("tMeasureThread::Execute: No port"));
                ReceiveComm(context, FSetup.Transport == tTransport::Ftdi);
                break;
            case tTransport::Hid:
                if (FSetup.Hid == nullptr)
                    throw tException(QStringLiteral("tMeasureThread::Execute: No port"));
                ReceiveHid(context);
                break;
            default:
                throw tException(QStringLiteral("tMeasureThread::Execute") +
                                 QStringLiteral(": Unknown device type"));
        }
    } catch (const tException& e) {
        LogAdd(e.Message());
    } catch (const std::exception& e) {
        LogAdd(QString::fromUtf8(e.what()));
    } catch (...) {
        LogAdd(QStringLiteral("tMeasureThread::Execute: Non-VCL Exception"));
    }
}
