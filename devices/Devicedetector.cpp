// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Devicedetector.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "devices/Device.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "platform/Affinity.h"

tDeviceDetector::tDeviceDetector(const QString& portName, tSettings* settings, tTransport transport)
    : FSettings(settings), FPortName(portName), FTransport(transport), FThread([this] { Execute(); }) {}

tDeviceDetector::~tDeviceDetector() {
    WaitFor();
}

void tDeviceDetector::WaitFor() {
    if (FThread.joinable()) FThread.join();
}

bool tDeviceDetector::WaitFor(int ms) {
    {
        std::unique_lock<std::mutex> lock(FDoneLock);
        if (!FDoneSignal.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), [this] { return FDone; }))
            return false;
    }
    WaitFor();
    return true;
}

tDevice* tDeviceDetector::GetDevice() {
    std::shared_lock<std::shared_mutex> lock(FDeviceLock);
    return FDetectedDevice;
}

void tDeviceDetector::Execute() {
    // Created by the pinned user-interface thread, but detection is not measured against its clock.
    ReleaseCurrentThreadFromPin();
    // Announces the end on every path, after the device is published or the failure logged.
    struct tDoneSignal {
        tDeviceDetector* Self;
        ~tDoneSignal() {
            {
                std::lock_guard<std::mutex> lock(Self->FDoneLock);
                Self->FDone = true;
            }
            Self->FDoneSignal.notify_all();
        }
    } done{this};
    std::unique_ptr<tDevice> device;
    QString failure;
    try {
        device = std::make_unique<tDevice>(FPortName, FSettings, FTransport);
        QString error;
        if (!device->Init(error)) throw tException(error);
        tDeviceInfo info;
        if (!device->GetInfo(info)) throw tException(QStringLiteral("INFO failed."));
        std::unique_lock<std::shared_mutex> lock(FDeviceLock);
        FDetectedDevice = device.release();
        return;
    } catch (const tException& e) {
        failure = e.Message();
    } catch (const std::exception& e) {
        // Nothing may escape a thread body; a foreign error is reported like ours.
        failure = QString::fromLocal8Bit(e.what());
    }
    device.reset();  // closes the port before the line is written
    LogAdd(QStringLiteral("DevID ") + FPortName + QStringLiteral(" error: ") + failure);
}
