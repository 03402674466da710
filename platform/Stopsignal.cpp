// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Stopsignal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <new>

tStopSignal::tStopSignal() : FFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (FFd < 0) throw std::bad_alloc();
}

tStopSignal::~tStopSignal() {
    ::close(FFd);
}

void tStopSignal::Set() {
    const uint64_t one = 1;
    // The counter is never read back, so it stays readable: a manual-reset event.
    [[maybe_unused]] ssize_t n = ::write(FFd, &one, sizeof one);
}

bool tStopSignal::IsSet() const {
    return Wait(0);
}

bool tStopSignal::Wait(int timeoutMs) const {
    pollfd p{FFd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}
