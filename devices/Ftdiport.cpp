// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Ftdiport.h"

#include <cerrno>

#include "devices/Ftdilibrary.h"
#include "foundation/Exceptions.h"

namespace {
// fRtsControl sits at bits 12-13 of the DCB's bit-field word.
constexpr FT_DWORD kRtsShift = 12;
constexpr FT_DWORD kRtsMask = 0x3u << kRtsShift;
}  // namespace

std::unique_ptr<tFtdiPort> tFtdiPort::Open(tFTDILibrary& library, uint32_t locationId, QString& errorText) {
    errno = 0;
    // With FT_OPEN_BY_LOCATION the name argument carries the location id itself.
    FT_HANDLE handle = library.FT_W32_CreateFile(
        reinterpret_cast<const char*>(static_cast<uintptr_t>(locationId)), FT_GENERIC_READ | FT_GENERIC_WRITE,
        0, nullptr, FT_OPEN_EXISTING, FT_FILE_ATTRIBUTE_NORMAL | FT_OPEN_BY_LOCATION, nullptr);
    if (handle == FT_INVALID_HANDLE_VALUE || handle == nullptr) {
        errorText = LastSystemErrorText();
        return nullptr;
    }
    return std::unique_ptr<tFtdiPort>(new tFtdiPort(library, handle));
}

tFtdiPort::~tFtdiPort() {
    FLibrary.FT_W32_CloseHandle(FHandle);
}

bool tFtdiPort::Check(FT_BOOL ok) {
    if (!ok) FLastErrno = errno;
    return ok != 0;
}

bool tFtdiPort::SetRts(bool on) {
    return Check(FLibrary.FT_W32_EscapeCommFunction(FHandle, on ? FT_SETRTS : FT_CLRRTS));
}

bool tFtdiPort::SetBreak(bool on) {
    return Check(on ? FLibrary.FT_W32_SetCommBreak(FHandle) : FLibrary.FT_W32_ClearCommBreak(FHandle));
}

bool tFtdiPort::GetModemStatus(uint32_t& status) {
    FT_DWORD value = 0;
    const bool ok = Check(FLibrary.FT_W32_GetCommModemStatus(FHandle, &value));
    status = value;
    return ok;
}

bool tFtdiPort::GetState(tCommState& state) {
    FTDCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    const bool ok = Check(FLibrary.FT_W32_GetCommState(FHandle, &dcb));
    state.BaudRate = dcb.BaudRate;
    state.ByteSize = dcb.ByteSize;
    state.Parity = dcb.Parity;
    state.StopBits = dcb.StopBits;
    state.RtsControl = static_cast<uint8_t>((dcb.fBits & kRtsMask) >> kRtsShift);
    return ok;
}

bool tFtdiPort::SetState(const tCommState& state) {
    // The chip's other DCB fields are kept as they are: read them, change ours, write all.
    FTDCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    FLibrary.FT_W32_GetCommState(FHandle, &dcb);
    dcb.BaudRate = state.BaudRate;
    dcb.ByteSize = state.ByteSize;
    dcb.Parity = state.Parity;
    dcb.StopBits = state.StopBits;
    dcb.fBits = (dcb.fBits & ~kRtsMask) | ((static_cast<FT_DWORD>(state.RtsControl) << kRtsShift) & kRtsMask);
    return Check(FLibrary.FT_W32_SetCommState(FHandle, &dcb));
}

bool tFtdiPort::GetTimeouts(tCommTimeouts& timeouts) {
    FTTIMEOUTS t{};
    const bool ok = Check(FLibrary.FT_W32_GetCommTimeouts(FHandle, &t));
    timeouts.ReadIntervalTimeout = t.ReadIntervalTimeout;
    timeouts.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
    timeouts.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
    timeouts.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
    timeouts.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
    return ok;
}

bool tFtdiPort::SetTimeouts(const tCommTimeouts& timeouts) {
    FTTIMEOUTS t{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                 timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                 timeouts.WriteTotalTimeoutConstant};
    return Check(FLibrary.FT_W32_SetCommTimeouts(FHandle, &t));
}

bool tFtdiPort::Purge(uint32_t flags) {
    return Check(FLibrary.FT_W32_PurgeComm(FHandle, flags));
}

bool tFtdiPort::Write(const uint8_t* data, uint32_t n, uint32_t& written) {
    FT_DWORD count = 0;
    const bool ok = Check(FLibrary.FT_W32_WriteFile(FHandle, const_cast<uint8_t*>(data), n, &count, nullptr));
    written = count;
    return ok;
}

bool tFtdiPort::Read(uint8_t* data, uint32_t n, uint32_t& read) {
    FT_DWORD count = 0;
    const bool ok = Check(FLibrary.FT_W32_ReadFile(FHandle, data, n, &count, nullptr));
    read = count > n ? n : count;
    return ok;
}

QString tFtdiPort::LastErrorText() const {
    return SystemErrorText(FLastErrno);
}

bool tFtdiPort::SetLatencyTimer(uint8_t latencyMs) {
    return FLibrary.FT_SetLatencyTimer(FHandle, latencyMs) == FT_OK;
}

bool tFtdiPort::SetUsbParameters(uint32_t inSize, uint32_t outSize) {
    return FLibrary.FT_SetUSBParameters(FHandle, inSize, outSize) == FT_OK;
}
