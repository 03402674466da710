// SPDX-License-Identifier: GPL-3.0-or-later
// libftd2xx.so for tests: the vendor's 18 D2XX names over the simulated sensors, plus the
// SimFtdi_* control calls that tests find with dlsym on the same library. Everything else in this
// library is hidden (compiled with hidden visibility, static libraries excluded from the exports),
// so the program's dlopen path sees exactly what the vendor's library offers.
//
// Built a second time with ROVELIN_SIM_OMIT_GETLASTERROR for libftd2xx_broken.so, which lacks
// FT_W32_GetLastError: a library with one name missing must count as not loaded.
#include "sim/Simftdi.h"

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

SIM_EXPORT FT_STATUS FT_CreateDeviceInfoList(FT_DWORD* numDevices) {
    return SimFtdi::CreateDeviceInfoList(numDevices);
}
SIM_EXPORT FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD* numDevices) {
    return SimFtdi::GetDeviceInfoList(list, numDevices);
}
SIM_EXPORT FT_BOOL FT_W32_ReadFile(FT_HANDLE h, void* buffer, FT_DWORD toRead, FT_DWORD* read, void* ov) {
    return SimFtdi::W32_ReadFile(h, buffer, toRead, read, ov);
}
SIM_EXPORT FT_BOOL FT_W32_WriteFile(FT_HANDLE h, void* buffer, FT_DWORD toWrite, FT_DWORD* written,
                                    void* ov) {
    return SimFtdi::W32_WriteFile(h, buffer, toWrite, written, ov);
}
SIM_EXPORT FT_HANDLE FT_W32_CreateFile(const char* name, FT_DWORD access, FT_DWORD share, void* security,
                                       FT_DWORD create, FT_DWORD attrsAndFlags, void* templ) {
    return SimFtdi::W32_CreateFile(name, access, share, security, create, attrsAndFlags, templ);
}
SIM_EXPORT FT_BOOL FT_W32_GetCommState(FT_HANDLE h, FTDCB* dcb) {
    return SimFtdi::W32_GetCommState(h, dcb);
}
SIM_EXPORT FT_BOOL FT_W32_SetCommState(FT_HANDLE h, FTDCB* dcb) {
    return SimFtdi::W32_SetCommState(h, dcb);
}
SIM_EXPORT FT_BOOL FT_W32_PurgeComm(FT_HANDLE h, FT_DWORD flags) {
    return SimFtdi::W32_PurgeComm(h, flags);
}
SIM_EXPORT FT_BOOL FT_W32_SetCommTimeouts(FT_HANDLE h, FTTIMEOUTS* t) {
    return SimFtdi::W32_SetCommTimeouts(h, t);
}
SIM_EXPORT FT_BOOL FT_W32_GetCommTimeouts(FT_HANDLE h, FTTIMEOUTS* t) {
    return SimFtdi::W32_GetCommTimeouts(h, t);
}
SIM_EXPORT FT_BOOL FT_W32_CloseHandle(FT_HANDLE h) {
    return SimFtdi::W32_CloseHandle(h);
}
SIM_EXPORT FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func) {
    return SimFtdi::W32_EscapeCommFunction(h, func);
}
SIM_EXPORT FT_BOOL FT_W32_SetCommBreak(FT_HANDLE h) {
    return SimFtdi::W32_SetCommBreak(h);
}
SIM_EXPORT FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE h) {
    return SimFtdi::W32_ClearCommBreak(h);
}
SIM_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, uint8_t latency) {
    return SimFtdi::SetLatencyTimer(h, latency);
}
SIM_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE h, FT_DWORD inSize, FT_DWORD outSize) {
    return SimFtdi::SetUSBParameters(h, inSize, outSize);
}
SIM_EXPORT FT_BOOL FT_W32_GetCommModemStatus(FT_HANDLE h, FT_DWORD* status) {
    return SimFtdi::W32_GetCommModemStatus(h, status);
}
#ifndef ROVELIN_SIM_OMIT_GETLASTERROR
SIM_EXPORT FT_DWORD FT_W32_GetLastError(FT_HANDLE h) {
    return SimFtdi::W32_GetLastError(h);
}
#endif

// --- Control calls for tests (see sim/Simftdi.h) ---
SIM_EXPORT void SimFtdi_Reset() {
    SimFtdi::Reset();
}
SIM_EXPORT int SimFtdi_AddDevice(uint32_t locId, const char* model, int dialectSingle, int speed) {
    return SimFtdi::AddDevice(locId, model, dialectSingle != 0, speed) ? 1 : 0;
}
SIM_EXPORT int SimFtdi_SetFault(uint32_t locId, const char* name, int value) {
    return SimFtdi::SetFault(locId, name, value) ? 1 : 0;
}
SIM_EXPORT uint32_t SimFtdi_Received(uint32_t locId, uint8_t* buf, uint32_t cap) {
    return SimFtdi::Received(locId, buf, cap);
}
SIM_EXPORT uint32_t SimFtdi_SentValues(uint32_t locId, int channel, double* buf, uint32_t cap) {
    return SimFtdi::SentValues(locId, channel, buf, cap);
}
SIM_EXPORT uint32_t SimFtdi_CallLog(uint32_t locId, char* buf, uint32_t cap) {
    return SimFtdi::CallLog(locId, buf, cap);
}
SIM_EXPORT int SimFtdi_GetLine(uint32_t locId, uint32_t* baud, uint32_t* rtsControl, uint32_t* readConstant) {
    return SimFtdi::GetLine(locId, baud, rtsControl, readConstant) ? 1 : 0;
}
