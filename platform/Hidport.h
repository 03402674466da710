// SPDX-License-Identifier: GPL-3.0-or-later
// tHidPort: one open HID device that exchanges fixed-length reports (hidraw, simulated sensor).
// Report lengths count the report-id byte, as the Windows capabilities give them. Waits are
// bounded and a read can be woken at once by a tStopSignal. Used by one thread at a time.
#pragma once

#include <QString>
#include <cstdint>

class tStopSignal;

class tHidPort {
  public:
    enum tIo {
        IoDone,     // the report was transferred (see `transferred`)
        IoTimeout,  // nothing within the time-out; the request was cancelled
        IoStopped,  // the stop signal was set while waiting; the request was cancelled
        IoFailed,   // the system refused; LastErrorText() says why
    };
    enum tCaps { CapsOk, NoPreparsedData, NoCaps };

    virtual ~tHidPort() = default;
    // Longest input and output report in bytes, plus one for the report id.
    virtual tCaps GetCaps(int& inputReportLength, int& outputReportLength) = 0;
    // Writes one output report. `immediate` is true when it completed without waiting.
    virtual tIo WriteReport(const uint8_t* report, uint32_t length, uint32_t timeoutMs, uint32_t& transferred,
                            bool& immediate) = 0;
    // Reads one input report into `report` (at most `length` bytes). `stop` may be null.
    virtual tIo ReadReport(uint8_t* report, uint32_t length, uint32_t timeoutMs, uint32_t& transferred,
                           bool& immediate, const tStopSignal* stop) = 0;
    // Abandons pending I/O (nothing to do for a poll-based backend, kept for the log's sake).
    virtual void Cancel() = 0;
    // Drops input reports queued by the system.
    virtual bool Flush() = 0;
    virtual QString LastErrorText() const = 0;
    // True once the device is gone (unplugged): every call fails from then on and only closing the
    // port frees its device node for a re-plugged sensor. Any thread may call it, also while
    // another uses the port. A port that cannot tell answers false.
    virtual bool IsGone() const { return false; }
};
