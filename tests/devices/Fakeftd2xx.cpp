// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the vendor's libftd2xx.so: the 18 D2XX names over a few scripted sensors that
// answer the identity and period commands, plus a control API for the tests. Built twice: complete,
// and with FT_W32_GetLastError left out to check that one missing name disables the library.
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "devices/D2xx.h"

namespace {

struct tFakeChip {
    uint32_t LocId = 0;
    bool CarrierOn = false;  // single-sensor dialect
    std::string Identity;
    std::string Command;
    std::deque<uint8_t> Pending;
    FTDCB Dcb{};
    FTTIMEOUTS Timeouts{};
    bool Open = false;
};

std::mutex gLock;  // guards everything below
std::vector<tFakeChip> gChips;
uint32_t gLastOpenLocation = 0xFFFFFFFFu;
uint32_t gLastOpenFlags = 0;
int gLastLatency = -1;
uint32_t gLastInSize = 0, gLastOutSize = 0;
uint32_t gLastPurge = 0;
int gCloseCount = 0;

tFakeChip* Chip(FT_HANDLE handle) {
    const uintptr_t index = reinterpret_cast<uintptr_t>(handle);
    if (index == 0 || index > gChips.size()) return nullptr;
    return &gChips[index - 1];
}

void Reply(tFakeChip& chip, const std::string& text, size_t length) {
    std::string bytes = text;
    bytes.resize(length, '\0');
    for (char c : bytes) chip.Pending.push_back(static_cast<uint8_t>(c));
}

void Execute(tFakeChip& chip, const std::string& command) {
    if (command == "INFO") Reply(chip, chip.Identity, 39);
    if (command == "I") {
        chip.Pending.push_back(0);
        Reply(chip, chip.Identity, 39);
    }
    if (command.rfind("FREQ ", 0) == 0) Reply(chip, "FREQ: Ok.", 39);
    if (command.rfind("F ", 0) == 0) chip.Pending.push_back(0);
}

}  // namespace

extern "C" {

// ---- control API for the tests ----
void FakeFtdi_Reset() {
    std::lock_guard<std::mutex> lock(gLock);
    gChips.clear();
    gLastOpenLocation = 0xFFFFFFFFu;
    gLastOpenFlags = 0;
    gLastLatency = -1;
    gLastInSize = gLastOutSize = 0;
    gLastPurge = 0;
    gCloseCount = 0;
}
void FakeFtdi_AddChip(uint32_t locId, int carrierOn, const char* identity) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip chip;
    chip.LocId = locId;
    chip.CarrierOn = carrierOn != 0;
    chip.Identity = identity;
    gChips.push_back(chip);
}
uint32_t FakeFtdi_LastOpenLocation() {
    return gLastOpenLocation;
}
uint32_t FakeFtdi_LastOpenFlags() {
    return gLastOpenFlags;
}
int FakeFtdi_LastLatency() {
    return gLastLatency;
}
uint32_t FakeFtdi_LastInSize() {
    return gLastInSize;
}
uint32_t FakeFtdi_LastOutSize() {
    return gLastOutSize;
}
uint32_t FakeFtdi_LastPurge() {
    return gLastPurge;
}
int FakeFtdi_CloseCount() {
    return gCloseCount;
}
uint32_t FakeFtdi_Baud(uint32_t locId) {
    std::lock_guard<std::mutex> lock(gLock);
    for (const tFakeChip& chip : gChips)
        if (chip.LocId == locId) return chip.Dcb.BaudRate;
    return 0;
}

// ---- the D2XX names ----
FT_STATUS FT_CreateDeviceInfoList(FT_DWORD* numDevices) {
    std::lock_guard<std::mutex> lock(gLock);
    *numDevices = static_cast<FT_DWORD>(gChips.size());
    return FT_OK;
}
FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD* numDevices) {
    std::lock_guard<std::mutex> lock(gLock);
    const size_t n = std::min<size_t>(*numDevices, gChips.size());
    for (size_t i = 0; i < n; ++i) {
        std::memset(&list[i], 0, sizeof(list[i]));
        list[i].LocId = gChips[i].LocId;
    }
    *numDevices = static_cast<FT_DWORD>(gChips.size());
    return FT_OK;
}
FT_HANDLE FT_W32_CreateFile(const char* name, FT_DWORD, FT_DWORD, void*, FT_DWORD, FT_DWORD flags, void*) {
    std::lock_guard<std::mutex> lock(gLock);
    const uint32_t location = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(name));
    gLastOpenLocation = location;
    gLastOpenFlags = flags;
    for (size_t i = 0; i < gChips.size(); ++i) {
        if (gChips[i].LocId != location || gChips[i].Open) continue;
        gChips[i].Open = true;
        gChips[i].Pending.clear();
        gChips[i].Command.clear();
        return reinterpret_cast<FT_HANDLE>(i + 1);
    }
    return FT_INVALID_HANDLE_VALUE;
}
FT_BOOL FT_W32_CloseHandle(FT_HANDLE h) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    chip->Open = false;
    ++gCloseCount;
    return 1;
}
FT_BOOL FT_W32_WriteFile(FT_HANDLE h, void* buffer, FT_DWORD toWrite, FT_DWORD* written, void*) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    for (FT_DWORD i = 0; i < toWrite; ++i) {
        if (bytes[i] == 0) {
            Execute(*chip, chip->Command);
            chip->Command.clear();
        } else {
            chip->Command.push_back(static_cast<char>(bytes[i]));
        }
    }
    *written = toWrite;
    return 1;
}
FT_BOOL FT_W32_ReadFile(FT_HANDLE h, void* buffer, FT_DWORD toRead, FT_DWORD* read, void*) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    FT_DWORD n = 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (n < toRead && !chip->Pending.empty()) {
        out[n++] = chip->Pending.front();
        chip->Pending.pop_front();
    }
    *read = n;
    return 1;
}
FT_BOOL FT_W32_GetCommState(FT_HANDLE h, FTDCB* dcb) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    *dcb = chip->Dcb;
    return 1;
}
FT_BOOL FT_W32_SetCommState(FT_HANDLE h, FTDCB* dcb) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    chip->Dcb = *dcb;
    return 1;
}
FT_BOOL FT_W32_PurgeComm(FT_HANDLE h, FT_DWORD flags) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    gLastPurge = flags;
    if (flags & 0x08) chip->Pending.clear();
    return 1;
}
FT_BOOL FT_W32_SetCommTimeouts(FT_HANDLE h, FTTIMEOUTS* t) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    chip->Timeouts = *t;
    return 1;
}
FT_BOOL FT_W32_GetCommTimeouts(FT_HANDLE h, FTTIMEOUTS* t) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    *t = chip->Timeouts;
    return 1;
}
FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD) {
    return Chip(h) ? 1 : 0;
}
FT_BOOL FT_W32_SetCommBreak(FT_HANDLE h) {
    return Chip(h) ? 1 : 0;
}
FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE h) {
    return Chip(h) ? 1 : 0;
}
FT_STATUS FT_SetLatencyTimer(FT_HANDLE, uint8_t latency) {
    gLastLatency = latency;
    return FT_OK;
}
FT_STATUS FT_SetUSBParameters(FT_HANDLE, FT_DWORD inSize, FT_DWORD outSize) {
    gLastInSize = inSize;
    gLastOutSize = outSize;
    return FT_OK;
}
FT_BOOL FT_W32_GetCommModemStatus(FT_HANDLE h, FT_DWORD* status) {
    std::lock_guard<std::mutex> lock(gLock);
    tFakeChip* chip = Chip(h);
    if (!chip) return 0;
    *status = chip->CarrierOn ? 0x80 : 0;
    return 1;
}
#ifndef FAKE_FTD2XX_MISSING_ONE
FT_DWORD FT_W32_GetLastError(FT_HANDLE) {
    return 0;
}
#endif
}
