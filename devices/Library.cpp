// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Library.h"

#include <dlfcn.h>

#include <QCoreApplication>

#include "foundation/Exceptions.h"

namespace {
QString DlErrorText() {
    const char* text = dlerror();
    return text ? QString::fromLocal8Bit(text)
                : QCoreApplication::translate("tLibrary", "неизвестная ошибка");
}
}  // namespace

tLibrary::tLibrary(const QString& fileName) : FFileName(fileName) {
    dlerror();
    FHandle = dlopen(fileName.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!FHandle)
        throw tException(
            QCoreApplication::translate(
                "tLibrary", "Системная ошибка : Невозможно загрузить библиотеку %1.\r\nПричина: %2")
                .arg(fileName, DlErrorText()));
}

tLibrary::~tLibrary() {
    if (FHandle && dlclose(FHandle) == 0) FHandle = nullptr;
}

void* tLibrary::GetProc(const QString& name) const {
    dlerror();
    void* proc = dlsym(FHandle, name.toLatin1().constData());
    if (!proc)
        throw tException(
            QCoreApplication::translate("tLibrary",
                                        "Системная ошибка : Невозможно получить адрес процедуры %1 "
                                        "из библиотеки %2.\r\nПричина: %3")
                .arg(name, FFileName, DlErrorText()));
    return proc;
}
