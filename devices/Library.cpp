// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Library.h"

#include <dlfcn.h>

#include "foundation/Exceptions.h"

namespace {
QString DlErrorText() {
    const char* text = dlerror();
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("неизвестная ошибка");
}
}  // namespace

tLibrary::tLibrary(const QString& fileName) : FFileName(fileName) {
    dlerror();
    FHandle = dlopen(fileName.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!FHandle)
        throw tException(QStringLiteral("Системная ошибка : Невозможно загрузить библиотеку ") + fileName +
                         QStringLiteral(".\r\nПричина: ") + DlErrorText());
}

tLibrary::~tLibrary() {
    if (FHandle && dlclose(FHandle) == 0) FHandle = nullptr;
}

void* tLibrary::GetProc(const QString& name) const {
    dlerror();
    void* proc = dlsym(FHandle, name.toLatin1().constData());
    if (!proc)
        throw tException(QStringLiteral("Системная ошибка : Невозможно получить адрес процедуры ") + name +
                         QStringLiteral(" из библиотеки ") + FFileName + QStringLiteral(".\r\nПричина: ") +
                         DlErrorText());
    return proc;
}
