#include "platform/Affinity.h"

#include <pthread.h>
#include <sched.h>

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
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    return pthread_setaffinity_np(pthread_self(), sizeof one, &one) == 0;
}
