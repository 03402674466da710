// SPDX-License-Identifier: GPL-3.0-or-later
// The FTDI D2XX entry points the program resolves from libftd2xx.so, with the vendor's published
// signatures (Windows-style types as the vendor's Linux build defines them: 32-bit DWORD/ULONG).
// Shared by the FTDI transport and the test library that stands in for the vendor's.
#pragma once

#include <cstdint>

extern "C" {
typedef void* FT_HANDLE;
typedef uint32_t FT_STATUS;  // FT_OK = 0
typedef uint32_t FT_DWORD;
typedef int32_t FT_BOOL;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_OTHER_ERROR = 18
};

// FT_W32_CreateFile flags and arguments.
enum : FT_DWORD {
    FT_GENERIC_READ = 0x80000000u,
    FT_GENERIC_WRITE = 0x40000000u,
    FT_OPEN_EXISTING = 3,
    FT_FILE_ATTRIBUTE_NORMAL = 0x80,
    FT_OPEN_BY_LOCATION = 0x04,
};
#define FT_INVALID_HANDLE_VALUE (reinterpret_cast<FT_HANDLE>(static_cast<intptr_t>(-1)))

// EscapeCommFunction codes.
enum : FT_DWORD { FT_SETRTS = 3, FT_CLRRTS = 4 };

// One record of FT_GetDeviceInfoList; LocId sits at byte offset 12.
typedef struct {
    FT_DWORD Flags;
    FT_DWORD Type;
    FT_DWORD ID;
    FT_DWORD LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
} FT_DEVICE_LIST_INFO_NODE;

// The Windows DCB as FT_W32_GetCommState/SetCommState see it (only the fields the program uses
// are named; the bit field word keeps fRtsControl at bits 12-13).
typedef struct {
    FT_DWORD DCBlength;
    FT_DWORD BaudRate;
    FT_DWORD fBits;  // fBinary:1 fParity:1 fOutxCtsFlow:1 fOutxDsrFlow:1 fDtrControl:2 fDsrSensitivity:1
                     // fTXContinueOnXoff:1 fOutX:1 fInX:1 fErrorChar:1 fNull:1 fRtsControl:2 fAbortOnError:1
    uint16_t wReserved;
    uint16_t XonLim;
    uint16_t XoffLim;
    uint8_t ByteSize;
    uint8_t Parity;
    uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    uint16_t wReserved1;
} FTDCB;

typedef struct {
    FT_DWORD ReadIntervalTimeout;
    FT_DWORD ReadTotalTimeoutMultiplier;
    FT_DWORD ReadTotalTimeoutConstant;
    FT_DWORD WriteTotalTimeoutMultiplier;
    FT_DWORD WriteTotalTimeoutConstant;
} FTTIMEOUTS;

typedef FT_STATUS (*tFT_CreateDeviceInfoList)(FT_DWORD* numDevices);
typedef FT_STATUS (*tFT_GetDeviceInfoList)(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD* numDevices);
typedef FT_BOOL (*tFT_W32_ReadFile)(FT_HANDLE, void* buffer, FT_DWORD toRead, FT_DWORD* read,
                                    void* overlapped);
typedef FT_BOOL (*tFT_W32_WriteFile)(FT_HANDLE, void* buffer, FT_DWORD toWrite, FT_DWORD* written,
                                     void* overlapped);
typedef FT_HANDLE (*tFT_W32_CreateFile)(const char* name, FT_DWORD access, FT_DWORD share, void* security,
                                        FT_DWORD create, FT_DWORD attrsAndFlags, void* templ);
typedef FT_BOOL (*tFT_W32_GetCommState)(FT_HANDLE, FTDCB*);
typedef FT_BOOL (*tFT_W32_SetCommState)(FT_HANDLE, FTDCB*);
typedef FT_BOOL (*tFT_W32_PurgeComm)(FT_HANDLE, FT_DWORD flags);
typedef FT_BOOL (*tFT_W32_SetCommTimeouts)(FT_HANDLE, FTTIMEOUTS*);
typedef FT_BOOL (*tFT_W32_GetCommTimeouts)(FT_HANDLE, FTTIMEOUTS*);
typedef FT_BOOL (*tFT_W32_CloseHandle)(FT_HANDLE);
typedef FT_BOOL (*tFT_W32_EscapeCommFunction)(FT_HANDLE, FT_DWORD func);
typedef FT_BOOL (*tFT_W32_SetCommBreak)(FT_HANDLE);
typedef FT_BOOL (*tFT_W32_ClearCommBreak)(FT_HANDLE);
typedef FT_STATUS (*tFT_SetLatencyTimer)(FT_HANDLE, uint8_t latency);
typedef FT_STATUS (*tFT_SetUSBParameters)(FT_HANDLE, FT_DWORD inSize, FT_DWORD outSize);
typedef FT_BOOL (*tFT_W32_GetCommModemStatus)(FT_HANDLE, FT_DWORD* status);
typedef FT_DWORD (*tFT_W32_GetLastError)(FT_HANDLE);
}
