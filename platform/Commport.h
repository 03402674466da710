// SPDX-License-Identifier: GPL-3.0-or-later
// tCommPort: one open serial-like port (termios tty, FTDI chip through D2XX, simulated sensor).
// The command exchange and the streaming reception are written once against this interface.
// All calls block; a port is used by one thread at a time (the owner hands it to the
// measurement thread and takes it back after joining it).
#pragma once

#include <QString>
#include <cstdint>

// Line settings, in the shape of the Windows DCB fields the program touches.
struct tCommState {
    uint32_t BaudRate = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;      // 0 none
    uint8_t StopBits = 0;    // 0 one stop bit
    uint8_t RtsControl = 0;  // 0 disable, 1 enable (RTS held on), 2 handshake, 3 toggle
};

// Time-outs in milliseconds, in the shape of COMMTIMEOUTS. With interval 0 and multiplier 0 a read
// returns what has arrived when ReadTotalTimeoutConstant has passed (possibly nothing).
struct tCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

enum : uint32_t {
    PURGE_TXABORT = 0x01,
    PURGE_RXABORT = 0x02,
    PURGE_TXCLEAR = 0x04,
    PURGE_RXCLEAR = 0x08,
};

enum : uint32_t {
    MS_CTS_ON = 0x10,
    MS_DSR_ON = 0x20,
    MS_RING_ON = 0x40,
    MS_RLSD_ON = 0x80,  // carrier detect
};

class tCommPort {
  public:
    virtual ~tCommPort() = default;
    virtual bool SetRts(bool on) = 0;
    virtual bool SetBreak(bool on) = 0;
    virtual bool GetModemStatus(uint32_t& status) = 0;
    virtual bool GetState(tCommState& state) = 0;
    virtual bool SetState(const tCommState& state) = 0;
    virtual bool GetTimeouts(tCommTimeouts& timeouts) = 0;
    virtual bool SetTimeouts(const tCommTimeouts& timeouts) = 0;
    virtual bool Purge(uint32_t flags) = 0;
    virtual bool Write(const uint8_t* data, uint32_t n, uint32_t& written) = 0;
    // Returns what arrived within the total read time-out; true with fewer bytes (even 0) on time-out.
    virtual bool Read(uint8_t* data, uint32_t n, uint32_t& read) = 0;
    // The system's text for the last failure of this port.
    virtual QString LastErrorText() const = 0;
    // True once the device behind the port is gone (unplugged, its line hung up): every call fails
    // from then on and only closing the port frees its device node for a re-plugged sensor. Asks
    // the system when needed; any thread may call it, also while another uses the port. A port
    // that cannot tell answers false.
    virtual bool IsGone() const { return false; }
};
