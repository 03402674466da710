// SPDX-License-Identifier: GPL-3.0-or-later
// tFtdiPort: a tCommPort over the FT_W32_* entry points of the loaded tFTDILibrary, so the command
// exchange and the streaming reception run over an FTDI chip unchanged. The port borrows the
// library's entry points: it must be destroyed before tFTDILibrary::ResetForTests.
#pragma once

#include <memory>

#include "devices/D2xx.h"
#include "platform/Commport.h"

class tFTDILibrary;

class tFtdiPort : public tCommPort {
  public:
    // Opens the chip at `locationId` (FT_OPEN_BY_LOCATION); null with errorText (the system's
    // text) when the library refuses. The library must be loaded.
    static std::unique_ptr<tFtdiPort> Open(tFTDILibrary& library, uint32_t locationId, QString& errorText);
    ~tFtdiPort() override;

    bool SetRts(bool on) override;
    bool SetBreak(bool on) override;
    bool GetModemStatus(uint32_t& status) override;
    bool GetState(tCommState& state) override;
    bool SetState(const tCommState& state) override;
    bool GetTimeouts(tCommTimeouts& timeouts) override;
    bool SetTimeouts(const tCommTimeouts& timeouts) override;
    bool Purge(uint32_t flags) override;
    bool Write(const uint8_t* data, uint32_t n, uint32_t& written) override;
    bool Read(uint8_t* data, uint32_t n, uint32_t& read) override;
    QString LastErrorText() const override;

    // Results are not looked at by the open procedure; returned for completeness.
    bool SetLatencyTimer(uint8_t latencyMs);
    bool SetUsbParameters(uint32_t inSize, uint32_t outSize);

  private:
    tFtdiPort(tFTDILibrary& library, FT_HANDLE handle) : FLibrary(library), FHandle(handle) {}
    bool Check(FT_BOOL ok);

    tFTDILibrary& FLibrary;
    FT_HANDLE FHandle;
    int FLastErrno = 0;
};
