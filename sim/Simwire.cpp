// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Simwire.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The sensor's clock moves on its own: the wire looks for due bytes this often.
constexpr int kTickMs = 2;
// A stream nobody reads is given this long to take a piece before the piece is dropped.
constexpr int kSendPatienceMs = 100;

}  // namespace

tSimWire::tSimWire(std::shared_ptr<tSimSensor> sensor, int fd) : FSensor(std::move(sensor)), FFd(fd) {
    const int flags = ::fcntl(FFd, F_GETFL);
    if (flags >= 0) ::fcntl(FFd, F_SETFL, flags | O_NONBLOCK);
    FThread = std::thread([this] { Run(); });
}

tSimWire::~tSimWire() {
    FStop.Set();
    if (FThread.joinable()) FThread.join();
}

void tSimWire::Run() {
    uint8_t buffer[4096];
    while (!FStop.IsSet()) {
        pollfd p[2] = {{FFd, POLLIN, 0}, {FStop.Fd(), POLLIN, 0}};
        // A closed peer keeps the descriptor readable (end of file, POLLHUP): then only the tick
        // paces the loop.
        if (FPeerClosed.load()) p[0].fd = -1;
        if (::poll(p, 2, kTickMs) < 0 && errno != EINTR) break;
        if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t r = ::read(FFd, buffer, sizeof buffer);
            if (r > 0)
                FSensor->HostWrite(buffer, static_cast<size_t>(r));
            else if (r == 0 || (errno != EAGAIN && errno != EINTR))
                FPeerClosed.store(true);
        }
        const size_t due = FSensor->HostRead(buffer, sizeof buffer);
        if (due > 0) Send(buffer, due);
    }
}

void tSimWire::Send(const uint8_t* data, size_t n) {
    size_t sent = 0;
    int waited = 0;
    while (sent < n && !FStop.IsSet()) {
        const ssize_t w = ::write(FFd, data + sent, n - sent);
        if (w > 0) {
            sent += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN) break;
        if (waited >= kSendPatienceMs) break;
        pollfd p[2] = {{FFd, POLLOUT, 0}, {FStop.Fd(), POLLIN, 0}};
        ::poll(p, 2, kTickMs);
        waited += kTickMs;
    }
    FDropped += n - sent;
}
