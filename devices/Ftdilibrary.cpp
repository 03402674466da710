// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Ftdilibrary.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <mutex>

#include "devices/Library.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Notice.h"

namespace {
std::mutex gInstanceLock;  // guards gInstance (creation and the test reset)
std::unique_ptr<tFTDILibrary> gInstance;

QString LibraryFileName() {
    const QByteArray overridden = qgetenv("ROVELIN_FTD2XX");
    return overridden.isEmpty() ? QStringLiteral("libftd2xx.so") : QString::fromLocal8Bit(overridden);
}

template <typename T>
void ResolveOne(const tLibrary& library, T& entry, const char* name) {
    entry = reinterpret_cast<T>(library.GetProc(QString::fromLatin1(name)));
}
}  // namespace

QString FtdiNotLoadedText() {
    return QCoreApplication::translate("Ftdilibrary",
                                       "??? Библиотека доступа через интерфейс FTDI не загружена!");
}

tFTDILibrary& tFTDILibrary::Instance() {
    std::lock_guard<std::mutex> lock(gInstanceLock);
    if (!gInstance) gInstance.reset(new tFTDILibrary());
    return *gInstance;
}

void tFTDILibrary::ResetForTests() {
    std::lock_guard<std::mutex> lock(gInstanceLock);
    gInstance.reset();
}

tFTDILibrary::tFTDILibrary() {
    try {
        FLibrary = std::make_unique<tLibrary>(LibraryFileName());
        Resolve();
    } catch (const tException& e) {
        FLibrary.reset();
        ClearEntryPoints();
        const QString notUsable =
            QCoreApplication::translate("Ftdilibrary", "Использование интерфейса FTDI невозможно!");
        if (gLogFile) {
            gLogFile->Add(e.Message());
            gLogFile->Add(notUsable);
        } else {
            ShowWarning(notUsable + QCoreApplication::translate("Ftdilibrary", "\r\nПричина: ") +
                        e.Message());
        }
    }
}

tFTDILibrary::~tFTDILibrary() = default;

void tFTDILibrary::Resolve() {
    const tLibrary& lib = *FLibrary;
    ResolveOne(lib, FT_CreateDeviceInfoList, "FT_CreateDeviceInfoList");
    ResolveOne(lib, FT_GetDeviceInfoList, "FT_GetDeviceInfoList");
    ResolveOne(lib, FT_W32_ReadFile, "FT_W32_ReadFile");
    ResolveOne(lib, FT_W32_WriteFile, "FT_W32_WriteFile");
    ResolveOne(lib, FT_W32_CreateFile, "FT_W32_CreateFile");
    ResolveOne(lib, FT_W32_GetCommState, "FT_W32_GetCommState");
    ResolveOne(lib, FT_W32_SetCommState, "FT_W32_SetCommState");
    ResolveOne(lib, FT_W32_PurgeComm, "FT_W32_PurgeComm");
    ResolveOne(lib, FT_W32_SetCommTimeouts, "FT_W32_SetCommTimeouts");
    ResolveOne(lib, FT_W32_GetCommTimeouts, "FT_W32_GetCommTimeouts");
    ResolveOne(lib, FT_W32_CloseHandle, "FT_W32_CloseHandle");
    ResolveOne(lib, FT_W32_EscapeCommFunction, "FT_W32_EscapeCommFunction");
    ResolveOne(lib, FT_W32_SetCommBreak, "FT_W32_SetCommBreak");
    ResolveOne(lib, FT_W32_ClearCommBreak, "FT_W32_ClearCommBreak");
    ResolveOne(lib, FT_SetLatencyTimer, "FT_SetLatencyTimer");
    ResolveOne(lib, FT_SetUSBParameters, "FT_SetUSBParameters");
    ResolveOne(lib, FT_W32_GetCommModemStatus, "FT_W32_GetCommModemStatus");
    ResolveOne(lib, FT_W32_GetLastError, "FT_W32_GetLastError");
}

void tFTDILibrary::ClearEntryPoints() {
    FT_CreateDeviceInfoList = nullptr;
    FT_GetDeviceInfoList = nullptr;
    FT_W32_ReadFile = nullptr;
    FT_W32_WriteFile = nullptr;
    FT_W32_CreateFile = nullptr;
    FT_W32_GetCommState = nullptr;
    FT_W32_SetCommState = nullptr;
    FT_W32_PurgeComm = nullptr;
    FT_W32_SetCommTimeouts = nullptr;
    FT_W32_GetCommTimeouts = nullptr;
    FT_W32_CloseHandle = nullptr;
    FT_W32_EscapeCommFunction = nullptr;
    FT_W32_SetCommBreak = nullptr;
    FT_W32_ClearCommBreak = nullptr;
    FT_SetLatencyTimer = nullptr;
    FT_SetUSBParameters = nullptr;
    FT_W32_GetCommModemStatus = nullptr;
    FT_W32_GetLastError = nullptr;
}
