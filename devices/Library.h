// SPDX-License-Identifier: GPL-3.0-or-later
// tLibrary: one shared library loaded at run time with dlopen. The constructor raises tException
// when the library cannot be loaded, GetProc when a name does not resolve; both texts carry the
// dynamic linker's reason. The library stays loaded until the object is destroyed.
#pragma once

#include <QString>

class tLibrary {
  public:
    explicit tLibrary(const QString& fileName);
    virtual ~tLibrary();
    tLibrary(const tLibrary&) = delete;
    tLibrary& operator=(const tLibrary&) = delete;

    void* GetProc(const QString& name) const;
    operator void*() const { return FHandle; }
    QString GetFileName() const { return FFileName; }

  private:
    void* FHandle = nullptr;
    QString FFileName;
};
