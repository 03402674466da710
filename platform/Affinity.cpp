// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Affinity.h"

#include <pthread.h>
#include <sched.h>

#include <mutex>

namespace {
std::mutex gAllowedLock;  // guards gAllowed and gAllowedKnown
cpu_set_t gAllowed;
bool gAllowedKnown = false;
}  // namespace

bool PinCurrentThreadToFirstProcessor() {
    // CPU 0 itself may be outside a container's cpuset, where setting it would fail: take the
    // lowest processor this thread is allowed to use.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (pthread_getaffinity_np(pthread_self(), sizeof allowed, &allowed) != 0) return false;
    int first = -1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            first = cpu;
            break;
        }
    }
    if (first < 0) return false;
    {
        std::lock_guard<std::mutex> lock(gAllowedLock);
        if (!gAllowedKnown && CPU_COUNT(&allowed) > 1) {
            gAllowed = allowed;
            gAllowedKnown = true;
        }
    }
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    return pthread_setaffinity_np(pthread_self(), sizeof one, &one) == 0;
}

void ReleaseCurrentThreadFromPin() {
    cpu_set_t allowed;
    {
        std::lock_guard<std::mutex> lock(gAllowedLock);
        if (!gAllowedKnown) return;
        allowed = gAllowed;
    }
    // A refusal leaves the worker on the first processor, which is slower but still correct.
    pthread_setaffinity_np(pthread_self(), sizeof allowed, &allowed);
}
