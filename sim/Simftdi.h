// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the FTDI D2XX library over simulated sensors: the 18 entry points the program
// resolves, with the vendor's signatures, plus the control calls a test uses to plug sensors in
// by location id and to examine them. libftd2xx.so (Ftd2xxexports.cpp) exports these under the
// vendor's names; here they live in a namespace so the simulator can be linked anywhere.
//
// Thread-safe: the device list and the handle table are guarded by one lock that is never held
// across a blocking read. Calls on a handle that is not open fail instead of touching freed memory.
#pragma once

#include <cstdint>
#include <memory>

#include "devices/D2xx.h"

class tSimSensor;

namespace SimFtdi {

FT_STATUS CreateDeviceInfoList(FT_DWORD* numDevices);
FT_STATUS GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD* numDevices);
FT_BOOL W32_ReadFile(FT_HANDLE h, void* buffer, FT_DWORD toRead, FT_DWORD* read, void* overlapped);
FT_BOOL W32_WriteFile(FT_HANDLE h, void* buffer, FT_DWORD toWrite, FT_DWORD* written, void* overlapped);
FT_HANDLE W32_CreateFile(const char* name, FT_DWORD access, FT_DWORD share, void* security, FT_DWORD create,
                         FT_DWORD attrsAndFlags, void* templ);
FT_BOOL W32_GetCommState(FT_HANDLE h, FTDCB* dcb);
FT_BOOL W32_SetCommState(FT_HANDLE h, FTDCB* dcb);
FT_BOOL W32_PurgeComm(FT_HANDLE h, FT_DWORD flags);
FT_BOOL W32_SetCommTimeouts(FT_HANDLE h, FTTIMEOUTS* timeouts);
FT_BOOL W32_GetCommTimeouts(FT_HANDLE h, FTTIMEOUTS* timeouts);
FT_BOOL W32_CloseHandle(FT_HANDLE h);
FT_BOOL W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func);
FT_BOOL W32_SetCommBreak(FT_HANDLE h);
FT_BOOL W32_ClearCommBreak(FT_HANDLE h);
FT_STATUS SetLatencyTimer(FT_HANDLE h, uint8_t latency);
FT_STATUS SetUSBParameters(FT_HANDLE h, FT_DWORD inSize, FT_DWORD outSize);
FT_BOOL W32_GetCommModemStatus(FT_HANDLE h, FT_DWORD* status);
FT_DWORD W32_GetLastError(FT_HANDLE h);

// The error code W32_GetLastError gives after a failure on an unplugged sensor
// (ERROR_DEVICE_NOT_CONNECTED); CreateFile failures leave ENODEV in errno instead.
inline constexpr FT_DWORD kErrorNotConnected = 1167;

// --- Control ---
// Unplugs and forgets every device; open handles stay valid and fail from then on.
void Reset();
// Plugs in the demo sensor of `model` at `locId`, in the given dialect and stream speed.
bool AddDevice(uint32_t locId, const char* model, bool dialectSingle, int32_t speed);
// Faults and options by name: silent, garbage, short, wrong (0/1); removed_after, unplug_after,
// stall_after, stall_ms (counts); unplug (now); channels; seed. False for an unknown name or device.
bool SetFault(uint32_t locId, const char* name, int value);
// Copies up to `cap` bytes the host wrote to the device; returns how many there are in all.
uint32_t Received(uint32_t locId, uint8_t* buf, uint32_t cap);
// Copies up to `cap` values of `channel` the host received in the current run; returns the count.
uint32_t SentValues(uint32_t locId, int channel, double* buf, uint32_t cap);
// The recorded port calls, one per line ("SetState baud=921600 ..."), NUL-terminated when it fits;
// returns the length of the whole text.
uint32_t CallLog(uint32_t locId, char* buf, uint32_t cap);
// Current baud rate, RTS control and read time-out constant of the device's line.
bool GetLine(uint32_t locId, uint32_t* baud, uint32_t* rtsControl, uint32_t* readConstant);
std::shared_ptr<tSimSensor> Sensor(uint32_t locId);

}  // namespace SimFtdi
