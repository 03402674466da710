// SPDX-License-Identifier: GPL-3.0-or-later
// termios2 lives in <asm/termbits.h>, whose struct termios clashes with the C library's
// <termios.h>; so this unit talks to the tty through ioctl() alone and never includes <termios.h>.
#include "platform/Termiosport.h"

#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "foundation/Exceptions.h"

namespace {

using tClock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so poll() never wakes just before it.
int MsUntil(tClock::time_point deadline) {
    const auto left = deadline - tClock::now();
    if (left <= tClock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, 1000 * 60 * 60));
}

class tTermiosPort final : public tCommPort {
  public:
    explicit tTermiosPort(int fd) : FFd(fd) {}
    ~tTermiosPort() override {
        ::ioctl(FFd, TIOCNXCL);
        ::close(FFd);  // also drops the flock
    }

    bool SetRts(bool on) override {
        int bits = TIOCM_RTS;
        if (!Check(::ioctl(FFd, on ? TIOCMBIS : TIOCMBIC, &bits))) return false;
        FRts = on ? RtsOn : RtsOff;
        return true;
    }

    bool SetBreak(bool on) override { return Check(::ioctl(FFd, on ? TIOCSBRK : TIOCCBRK)); }

    bool GetModemStatus(uint32_t& status) override {
        status = 0;
        int bits = 0;
        if (!Check(::ioctl(FFd, TIOCMGET, &bits))) return false;
        if (bits & TIOCM_CTS) status |= MS_CTS_ON;
        if (bits & TIOCM_DSR) status |= MS_DSR_ON;
        if (bits & TIOCM_RI) status |= MS_RING_ON;
        if (bits & TIOCM_CAR) status |= MS_RLSD_ON;
        return true;
    }

    bool GetState(tCommState& state) override {
        termios2 t{};
        if (!Check(::ioctl(FFd, TCGETS2, &t))) return false;
        state = tCommState{};
        // The kernel fills c_ospeed with the real rate also when a Bnnn constant was set.
        state.BaudRate = t.c_ospeed;
        switch (t.c_cflag & CSIZE) {
            case CS5:
                state.ByteSize = 5;
                break;
            case CS6:
                state.ByteSize = 6;
                break;
            case CS7:
                state.ByteSize = 7;
                break;
            default:
                state.ByteSize = 8;
                break;
        }
        if (t.c_cflag & PARENB) {
            const bool odd = t.c_cflag & PARODD;
            if (t.c_cflag & CMSPAR)
                state.Parity = odd ? 3 : 4;  // mark, space
            else
                state.Parity = odd ? 1 : 2;
        }
        state.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
        state.RtsControl = (t.c_cflag & CRTSCTS) ? 2 : FRtsControl;
        return true;
    }

    bool SetState(const tCommState& state) override {
        // A rate of 0 would hang the line up (B0 drops DTR); toggle mode has no tty equivalent.
        if (state.BaudRate == 0 || state.ByteSize < 5 || state.ByteSize > 8 || state.Parity > 4 ||
            state.StopBits > 2 || state.RtsControl > 2)
            return Fail(EINVAL);
        termios2 t{};
        if (!Check(::ioctl(FFd, TCGETS2, &t))) return false;
        MakeRaw(t);
        t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        // BOTHER takes any rate from c_ospeed; input speed 0 in CIBAUD means "same as output".
        t.c_cflag |= BOTHER;
        t.c_ospeed = t.c_ispeed = state.BaudRate;
        static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag |= sizes[state.ByteSize - 5];
        if (state.Parity != 0) t.c_cflag |= PARENB;
        if (state.Parity == 1 || state.Parity == 3) t.c_cflag |= PARODD;
        if (state.Parity >= 3) t.c_cflag |= CMSPAR;
        // One and a half stop bits exist only for 5-bit words; the tty offers two instead.
        if (state.StopBits != 0) t.c_cflag |= CSTOPB;
        if (state.RtsControl == 2) t.c_cflag |= CRTSCTS;
        if (!Check(::ioctl(FFd, TCSETS2, &t))) return false;
        FRtsControl = state.RtsControl;
        // Without handshake the RTS line follows the setting; a pty has no such line, which is
        // no reason to refuse the line settings. On a USB adapter every change of a modem line is
        // a transfer to the device, and the speed switch of a measurement start must be quick: a
        // line already where it should be is left alone. The handshake moves RTS by itself.
        if (state.RtsControl == 2)
            FRts = RtsUnknown;
        else if (FRts != (state.RtsControl == 1 ? RtsOn : RtsOff))
            SetRts(state.RtsControl == 1);
        return true;
    }

    bool GetTimeouts(tCommTimeouts& timeouts) override {
        timeouts = FTimeouts;
        return true;
    }

    bool SetTimeouts(const tCommTimeouts& timeouts) override {
        FTimeouts = timeouts;
        return true;
    }

    bool Purge(uint32_t flags) override {
        // Aborting pending transfers needs nothing: calls block, and one thread uses the port.
        const bool rx = flags & PURGE_RXCLEAR;
        const bool tx = flags & PURGE_TXCLEAR;
        if (!rx && !tx) return true;
        const int which = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
        return Check(::ioctl(FFd, TCFLSH, which));
    }

    bool Write(const uint8_t* data, uint32_t n, uint32_t& written) override {
        written = 0;
        const uint64_t totalMs =
            FTimeouts.WriteTotalTimeoutConstant + uint64_t(FTimeouts.WriteTotalTimeoutMultiplier) * n;
        // Both write totals 0 means no time limit, as with COMMTIMEOUTS.
        const bool limited = totalMs != 0;
        const auto deadline = tClock::now() + std::chrono::milliseconds(totalMs);
        while (written < n) {
            const ssize_t r = ::write(FFd, data + written, n - written);
            if (r > 0) {
                written += uint32_t(r);
                continue;
            }
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 && errno != EAGAIN) return Fail(errno);
            // The output buffer is full (a stalled handshake, or nobody reading a pty).
            const int wait = limited ? MsUntil(deadline) : -1;
            if (wait == 0) return true;
            pollfd p{FFd, POLLOUT, 0};
            const int pr = ::poll(&p, 1, wait);
            if (pr < 0 && errno != EINTR) return Fail(errno);
            if (pr > 0 && (p.revents & (POLLERR | POLLNVAL)) && !(p.revents & POLLOUT)) return Fail(EIO);
        }
        return true;
    }

    bool Read(uint8_t* data, uint32_t n, uint32_t& read) override {
        read = 0;
        if (n == 0) return true;
        const uint64_t totalMs =
            FTimeouts.ReadTotalTimeoutConstant + uint64_t(FTimeouts.ReadTotalTimeoutMultiplier) * n;
        const auto deadline = tClock::now() + std::chrono::milliseconds(totalMs);
        const auto interval = std::chrono::milliseconds(FTimeouts.ReadIntervalTimeout);
        tClock::time_point lastByte{};
        for (;;) {
            const ssize_t r = ::read(FFd, data + read, n - read);
            if (r > 0) {
                read += uint32_t(r);
                lastByte = tClock::now();
                if (read == n) return true;
                continue;
            }
            if (r < 0 && errno == EINTR) continue;
            // A tty reads 0 (end of file) only once it was hung up: its USB device was unplugged
            // (the driver hangs the line up at once) or the other side of a pty closed.
            if (r == 0) return Gone(EIO);
            if (errno != EAGAIN) return Fail(errno);
            int wait = MsUntil(deadline);
            if (interval.count() != 0 && read > 0) wait = std::min(wait, MsUntil(lastByte + interval));
            if (wait == 0) return true;
            pollfd p{FFd, POLLIN, 0};
            const int pr = ::poll(&p, 1, wait);
            if (pr < 0 && errno != EINTR) return Fail(errno);
            // A hung-up line reports POLLHUP/POLLERR (with POLLIN); the next read() then returns 0 at
            // once, so a device that is gone fails this read instead of waiting out its time-out.
        }
    }

    QString LastErrorText() const override { return FLastError; }

    bool IsGone() const override {
        if (FGone.load()) return true;
        // Reading the settings touches only the tty layer, never the device; it fails only on a
        // line that was hung up.
        termios2 t{};
        if (::ioctl(FFd, TCGETS2, &t) < 0 && IsGoneError(errno)) FGone.store(true);
        return FGone.load();
    }

    // Raw bytes: no echo, no line editing, no translation, no signals. VMIN 1 on the non-blocking
    // descriptor: an empty queue answers EAGAIN, so a read of 0 bytes can only mean a hang-up.
    static void MakeRaw(termios2& t) {
        t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
        t.c_oflag &= ~OPOST;
        t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        // CLOCAL: the carrier line only tells the sensor's dialect, it must not hang the port up.
        t.c_cflag |= CREAD | CLOCAL;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
    }

    bool Configure() {
        termios2 t{};
        if (!Check(::ioctl(FFd, TCGETS2, &t))) return false;
        MakeRaw(t);
        t.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
        t.c_cflag |= CS8;
        if (!Check(::ioctl(FFd, TCSETS2, &t))) return false;
        FRtsControl = (t.c_cflag & CRTSCTS) ? 2 : 1;
        return true;
    }

  private:
    static bool IsGoneError(int errorCode) {
        return errorCode == EIO || errorCode == ENODEV || errorCode == ENXIO;
    }
    bool Check(int result) { return result >= 0 || Fail(errno); }
    bool Fail(int errorCode) {
        // A hung-up line refuses every call with EIO; the log should say that the device is gone.
        if (IsGoneError(errorCode) && IsGone()) return Gone(errorCode);
        FLastError = SystemErrorText(errorCode);
        return false;
    }
    bool Gone(int errorCode) {
        FGone.store(true);
        FLastError = DeviceGoneText(errorCode);
        return false;
    }

    int FFd;
    uint8_t FRtsControl = 1;
    enum { RtsUnknown, RtsOn, RtsOff } FRts = RtsUnknown;  // as this port last set the line
    tCommTimeouts FTimeouts;
    QString FLastError;
    mutable std::atomic<bool> FGone{false};  // the line was hung up; read by IsGone from any thread
};

}  // namespace

std::unique_ptr<tCommPort> OpenTermiosPort(const QString& path, QString& errorText) {
    errorText.clear();
    // O_NONBLOCK: a tty without CLOCAL would otherwise wait for carrier inside open(). The
    // descriptor stays non-blocking: poll() bounds every transfer, and a blocking write() would
    // wait for the whole buffer to drain and so outlive the write time-out.
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        errorText = SystemErrorText(errno);
        return nullptr;
    }
    auto fail = [&](int errorCode) {
        errorText = SystemErrorText(errorCode);
        ::close(fd);
        return nullptr;
    };
    // TIOCEXCL refuses further opens of the tty, but not to root; the flock also holds against
    // root and against this process opening the port twice. A program that only set TIOCEXCL makes
    // our open() fail with EBUSY above.
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) < 0) return fail(errno);
    auto port = std::make_unique<tTermiosPort>(fd);
    if (!port->Configure()) {
        errorText = port->LastErrorText();
        return nullptr;  // the port's destructor closes fd
    }
    return port;
}
