// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace {
std::atomic<bool> gHasTestCounter{false};  // fast path: no lock while no test counter is set
std::mutex gTestCounterLock;               // guards gTestCounter
std::function<int64_t()> gTestCounter;
}  // namespace

int64_t HighResCounter() {
    if (gHasTestCounter.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(gTestCounterLock);
        if (gTestCounter) return gTestCounter();
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t HighResFrequency() {
    return 1000000000;
}

void SetCounterForTests(std::function<int64_t()> counter) {
    std::lock_guard<std::mutex> lock(gTestCounterLock);
    gTestCounter = std::move(counter);
    gHasTestCounter.store(static_cast<bool>(gTestCounter), std::memory_order_release);
}
