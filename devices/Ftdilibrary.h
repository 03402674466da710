// SPDX-License-Identifier: GPL-3.0-or-later
// tFTDILibrary: the program-wide FTDI D2XX library (libftd2xx.so, or the file named by the
// environment variable ROVELIN_FTD2XX), loaded on first request. Either all 18 entry points
// resolved (IsLoaded) or none is usable; a failure is reported once, in the log, or in a warning
// box when there is no log. Creation never raises. Afterwards the object is only read, so any
// thread may call the entry points of a loaded library.
#pragma once

#include <QString>
#include <memory>

#include "devices/D2xx.h"

class tLibrary;

class tFTDILibrary {
  public:
    static tFTDILibrary& Instance();
    // Test hook: drops the instance (and unloads the library) so the next request loads again.
    // No device opened through the old instance may still exist.
    static void ResetForTests();

    ~tFTDILibrary();
    tFTDILibrary(const tFTDILibrary&) = delete;
    tFTDILibrary& operator=(const tFTDILibrary&) = delete;

    bool IsLoaded() const { return FLibrary != nullptr; }

    // Entry points, in resolution order; null unless IsLoaded().
    tFT_CreateDeviceInfoList FT_CreateDeviceInfoList = nullptr;
    tFT_GetDeviceInfoList FT_GetDeviceInfoList = nullptr;
    tFT_W32_ReadFile FT_W32_ReadFile = nullptr;
    tFT_W32_WriteFile FT_W32_WriteFile = nullptr;
    tFT_W32_CreateFile FT_W32_CreateFile = nullptr;
    tFT_W32_GetCommState FT_W32_GetCommState = nullptr;
    tFT_W32_SetCommState FT_W32_SetCommState = nullptr;
    tFT_W32_PurgeComm FT_W32_PurgeComm = nullptr;
    tFT_W32_SetCommTimeouts FT_W32_SetCommTimeouts = nullptr;
    tFT_W32_GetCommTimeouts FT_W32_GetCommTimeouts = nullptr;
    tFT_W32_CloseHandle FT_W32_CloseHandle = nullptr;
    tFT_W32_EscapeCommFunction FT_W32_EscapeCommFunction = nullptr;
    tFT_W32_SetCommBreak FT_W32_SetCommBreak = nullptr;
    tFT_W32_ClearCommBreak FT_W32_ClearCommBreak = nullptr;
    tFT_SetLatencyTimer FT_SetLatencyTimer = nullptr;
    tFT_SetUSBParameters FT_SetUSBParameters = nullptr;
    tFT_W32_GetCommModemStatus FT_W32_GetCommModemStatus = nullptr;
    tFT_W32_GetLastError FT_W32_GetLastError = nullptr;

  private:
    tFTDILibrary();
    void Resolve();
    void ClearEntryPoints();

    std::unique_ptr<tLibrary> FLibrary;  // null when loading failed
};

// "??? Библиотека доступа через интерфейс FTDI не загружена!"
QString FtdiNotLoadedText();
