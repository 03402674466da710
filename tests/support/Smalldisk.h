// SPDX-License-Identifier: GPL-3.0-or-later
// A small file system of its own (tmpfs of `size`) at `at`, mounted in a mount namespace of this
// test process alone, so nothing stays mounted whatever becomes of the process. Needs the
// superuser; Why() says what was missing. The namespace is the calling thread's: threads it starts
// afterwards share it, threads started before do not see the mount.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace rovelin_test {

class tSmallDisk {
  public:
    tSmallDisk(const QString& at, const char* size) : FAt(QFile::encodeName(at)) {
        if (::geteuid() != 0) {
            FWhy = "mounting a small file system needs the superuser";
            return;
        }
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            FWhy = "no mount namespace of its own for the test";
            return;
        }
        if (::mount("tmpfs", FAt.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    (QByteArray("size=") + size).constData()) != 0) {
            FWhy = "tmpfs cannot be mounted here";
            return;
        }
        FMounted = true;
    }
    ~tSmallDisk() {
        if (FMounted) ::umount2(FAt.constData(), MNT_DETACH);
    }
    tSmallDisk(const tSmallDisk&) = delete;
    tSmallDisk& operator=(const tSmallDisk&) = delete;
    explicit operator bool() const { return FMounted; }
    const char* Why() const { return FWhy; }
    bool MakeReadOnly() {
        return ::mount(nullptr, FAt.constData(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
                       nullptr) == 0;
    }
    qint64 Free() const {
        struct statvfs fs {};
        return ::statvfs(FAt.constData(), &fs) == 0 ? qint64(fs.f_bavail) * qint64(fs.f_frsize) : -1;
    }

  private:
    QByteArray FAt;
    bool FMounted = false;
    const char* FWhy = "";
};

}  // namespace rovelin_test
