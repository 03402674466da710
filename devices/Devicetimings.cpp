#include "devices/Devicetimings.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace {
std::mutex gTimingsLock;  // guards gTimings
tDeviceTimings gTimings;
}  // namespace

tDeviceTimings tDeviceTimings::Get() {
    std::lock_guard<std::mutex> lock(gTimingsLock);
    return gTimings;
}

void tDeviceTimings::SetForTests(const tDeviceTimings& timings) {
    std::lock_guard<std::mutex> lock(gTimingsLock);
    gTimings = timings;
}

void tDeviceTimings::ResetForTests() {
    SetForTests(tDeviceTimings{});
}

void DeviceSleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
