// SPDX-License-Identifier: GPL-3.0-or-later
// What the kernel's hidraw driver does (Documentation/hid/hidraw.rst):
//  - read() hands over exactly one queued input report, cut to the buffer given; with O_NONBLOCK
//    an empty queue answers EAGAIN. A device with report ids puts the id in byte 0; a device
//    without ids sends the report data alone, so we shift it up by one and put a 0 in front.
//  - write() sends one output report; byte 0 is the report id, and for a device without ids it
//    must be 0, which the kernel drops before the transfer. So the caller's buffer goes out as is.
//    The transfer itself may wait inside write() (usbhid waits for the USB transfer with its own
//    time-out of a few seconds), which no poll() can shorten.
//  - poll() reports POLLIN for a queued report, always POLLOUT, and POLLHUP | POLLERR once the
//    device is unplugged; read() then fails with EIO and write() with ENODEV.
#include "platform/Hidrawport.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "foundation/Exceptions.h"
#include "platform/Stopsignal.h"

namespace {

using tClock = std::chrono::steady_clock;

int MsUntil(tClock::time_point deadline) {
    const auto left = deadline - tClock::now();
    if (left <= tClock::duration::zero()) return 0;
    return int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// The kernel's largest HID report (HID_MAX_BUFFER_SIZE, not exported to user space).
constexpr size_t MaxReportBytes = 16384;
// More reports than a device queues (the kernel keeps 64); bounds a flush of a device that streams.
constexpr int MaxFlushReports = 4096;

class tHidrawPort final : public tHidPort {
  public:
    tHidrawPort(int fd, bool hasDescriptor, bool parsed, const tHidReportLengths& lengths)
        : FFd(fd), FHasDescriptor(hasDescriptor), FParsed(parsed), FLengths(lengths) {}
    ~tHidrawPort() override { ::close(FFd); }

    tCaps GetCaps(int& inputReportLength, int& outputReportLength) override {
        if (!FHasDescriptor) return NoPreparsedData;
        if (!FParsed) return NoCaps;
        inputReportLength = FLengths.Input;
        outputReportLength = FLengths.Output;
        return CapsOk;
    }

    tIo WriteReport(const uint8_t* report, uint32_t length, uint32_t timeoutMs, uint32_t& transferred,
                    bool& immediate) override {
        transferred = 0;
        immediate = false;
        // Without report ids the kernel would send a non-zero byte 0 as data, shifting the report.
        if (length == 0 || (!FLengths.HasReportIds && report[0] != 0)) return Fail(EINVAL);
        const auto deadline = tClock::now() + std::chrono::milliseconds(timeoutMs);
        for (bool first = true;; first = false) {
            const ssize_t r = ::write(FFd, report, length);
            if (r >= 0) {
                transferred = uint32_t(r);
                immediate = first;
                return IoDone;
            }
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return errno == EIO || errno == ENODEV ? Unplugged() : Fail(errno);
            const int wait = MsUntil(deadline);
            if (wait == 0) return IoTimeout;
            pollfd p{FFd, POLLOUT, 0};
            if (::poll(&p, 1, wait) < 0 && errno != EINTR) return Fail(errno);
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return Unplugged();
        }
    }

    tIo ReadReport(uint8_t* report, uint32_t length, uint32_t timeoutMs, uint32_t& transferred,
                   bool& immediate, const tStopSignal* stop) override {
        transferred = 0;
        immediate = false;
        const bool shift = !FLengths.HasReportIds;
        if (length < (shift ? 2u : 1u)) return Fail(EINVAL);
        const auto deadline = tClock::now() + std::chrono::milliseconds(timeoutMs);
        for (bool first = true;; first = false) {
            const ssize_t r = shift ? ::read(FFd, report + 1, length - 1) : ::read(FFd, report, length);
            if (r > 0) {
                if (shift) report[0] = 0;
                transferred = uint32_t(r) + (shift ? 1 : 0);
                immediate = first;
                return IoDone;
            }
            if (r == 0) return Unplugged();  // end of file: the device node is gone
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return errno == EIO || errno == ENODEV ? Unplugged() : Fail(errno);
            const int wait = MsUntil(deadline);
            if (wait == 0) return IoTimeout;
            pollfd p[2] = {{FFd, POLLIN, 0}, {stop ? stop->Fd() : -1, POLLIN, 0}};
            const int pr = ::poll(p, stop ? 2 : 1, wait);
            if (pr < 0 && errno != EINTR) return Fail(errno);
            if (pr <= 0) continue;
            // A report that is already there wins over the stop: nothing the device sent is lost.
            if (p[0].revents & POLLIN) continue;
            if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Unplugged();
            if (stop && (p[1].revents & POLLIN)) return IoStopped;
        }
    }

    void Cancel() override {}

    bool Flush() override {
        uint8_t buffer[MaxReportBytes];
        for (int i = 0; i < MaxFlushReports; ++i) {
            const ssize_t r = ::read(FFd, buffer, sizeof buffer);
            if (r > 0) continue;
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 && errno == EAGAIN) return true;
            if (r == 0)
                Unplugged();
            else
                Fail(errno);
            return false;
        }
        return true;
    }

    QString LastErrorText() const override { return FLastError; }

    bool IsGone() const override {
        if (FGone.load()) return true;
        // Asking for the device's identity touches no device; it fails once the device is gone.
        hidraw_devinfo info{};
        if (::ioctl(FFd, HIDIOCGRAWINFO, &info) < 0 && errno == ENODEV) FGone.store(true);
        return FGone.load();
    }

  private:
    tIo Fail(int errorCode) {
        FLastError = SystemErrorText(errorCode);
        return IoFailed;
    }
    tIo Unplugged() {
        FGone.store(true);
        FLastError = DeviceGoneText(ENODEV);
        return IoFailed;
    }

    int FFd;
    bool FHasDescriptor;
    bool FParsed;
    tHidReportLengths FLengths;
    QString FLastError;
    mutable std::atomic<bool> FGone{false};  // the device was unplugged; read by IsGone from any thread
};

}  // namespace

QString HidrawNodeOfInterfacePath(const QString& interfacePath) {
    return interfacePath.section('#', 0, 0);
}

std::unique_ptr<tHidPort> OpenHidrawPort(const QString& interfacePath, QString& errorText) {
    errorText.clear();
    const QByteArray node = HidrawNodeOfInterfacePath(interfacePath).toLocal8Bit();
    const int fd = ::open(node.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        errorText = SystemErrorText(errno);
        return nullptr;
    }
    // hidraw has no exclusive open (no TIOCEXCL: the kernel hands every input report to every
    // reader), so the hold is the advisory flock every port of this program takes. It refuses a
    // second copy of the program and any tool that locks the node as well; a reader that does not
    // lock can still read along, which the kernel gives us no way to stop.
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0) {
        errorText = SystemErrorText(errno == EWOULDBLOCK ? EBUSY : errno);
        ::close(fd);
        return nullptr;
    }
    int size = 0;
    hidraw_report_descriptor descriptor{};
    bool hasDescriptor =
        ::ioctl(fd, HIDIOCGRDESCSIZE, &size) >= 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE;
    if (hasDescriptor) {
        descriptor.size = uint32_t(size);
        hasDescriptor = ::ioctl(fd, HIDIOCGRDESC, &descriptor) >= 0;
    }
    tHidReportLengths lengths;
    const bool parsed = hasDescriptor && ParseHidReportLengths(descriptor.value, descriptor.size, lengths);
    return std::make_unique<tHidrawPort>(fd, hasDescriptor, parsed, lengths);
}

std::unique_ptr<tHidPort> WrapHidrawFdForTests(int fd, const tHidReportLengths* lengths, bool parsed) {
    return std::make_unique<tHidrawPort>(fd, lengths != nullptr, parsed,
                                         lengths ? *lengths : tHidReportLengths{});
}
