// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Fileplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <utility>

#include "foundation/Exceptions.h"
#include "foundation/Userfolders.h"

namespace fileplace {

namespace {

// statfs f_type of the file systems whose files other computers write too (linux/magic.h).
constexpr unsigned long kNetworkMagic[] = {
    0x6969,      // NFS
    0x517B,      // SMB (old smbfs)
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2/3
    0x65735546,  // FUSE: SSHFS, but also gvfs, rclone, NTFS sticks (the careful way costs them little)
    0x5346414F,  // AFS
    0x73757245,  // Coda
    0x01021997,  // 9P
    0x00C36400,  // Ceph
    0x564C,      // NCP
};

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray ReadSmall(const char* path) {
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.read(4096);
}

// Field 22 of /proc/<pid>/stat: when the process started, in clock ticks since boot. Tells a live
// process from a later one that got the same id.
QByteArray StartTime(pid_t pid) {
    const QByteArray stat = ReadSmall(QByteArray("/proc/" + QByteArray::number(pid) + "/stat").constData());
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) return QByteArray();
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');  // from field 3 on
    return fields.size() > 19 ? fields[19] : QByteArray();
}

QByteArray HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return QByteArrayLiteral("?");
    return QByteArray(name);
}

QByteArray UserName() {
    if (const passwd* pw = ::getpwuid(::geteuid())) return QByteArray(pw->pw_name);
    return QByteArray::number(::geteuid());
}

QByteArray BootId() {
    return ReadSmall("/proc/sys/kernel/random/boot_id").trimmed();
}

}  // namespace

bool OnNetwork(const QString& path) {
    QFileInfo info(path);
    QString at = info.absoluteFilePath();
    while (!QFileInfo::exists(at) && at != QStringLiteral("/")) at = QFileInfo(at).absolutePath();
    struct statfs fs {};
    if (::statfs(Native(at).constData(), &fs) != 0) return false;
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFUL;
    for (unsigned long magic : kNetworkMagic)
        if (type == magic) return true;
    return false;
}

QString StateFolder() {
    return ProgramStateFolder();
}

QString LocalFolder() {
    const QString state = StateFolder();
    if (!OnNetwork(state)) {
        QDir().mkpath(state);
        return state;
    }
    // /var/tmp is shared by every user: our folder must be a real folder of ours that nobody else
    // may enter, or it is not used.
    const QString own = QStringLiteral("/var/tmp/rovelin-%1").arg(::geteuid());
    ::mkdir(Native(own).constData(), 0700);
    struct stat st {};
    if (::lstat(Native(own).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) == 0)
        return own;
    return QDir::tempPath();
}

tStamp StampOf(const QString& path) {
    struct stat st {};
    if (::stat(Native(path).constData(), &st) != 0) return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool OpenForWritingElsewhere(const QString& path) {
    const tStamp target = StampOf(path);
    if (!target.Exists()) return false;
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    const pid_t self = ::getpid();
    bool found = false;
    while (!found) {
        const dirent* entry = ::readdir(proc);
        if (!entry) break;
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self) continue;
        const QByteArray fdDir = "/proc/" + QByteArray(entry->d_name) + "/fd";
        DIR* fds = ::opendir(fdDir.constData());
        if (!fds) continue;  // another user's process, or gone
        while (const dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.') continue;
            struct stat st {};
            if (::stat((fdDir + '/' + fd->d_name).constData(), &st) != 0) continue;
            if (static_cast<std::uint64_t>(st.st_dev) != target.Device ||
                static_cast<std::uint64_t>(st.st_ino) != target.Inode)
                continue;
            const QByteArray info =
                ReadSmall(("/proc/" + QByteArray(entry->d_name) + "/fdinfo/" + fd->d_name).constData());
            const qsizetype at = info.indexOf("flags:");
            if (at < 0) continue;
            const int flags = info.mid(at + 6).trimmed().split('\n').value(0).toInt(nullptr, 8);
            if ((flags & O_ACCMODE) != O_RDONLY) {
                found = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

bool ReadOnly(const QString& path) {
    struct stat st {};
    if (::stat(Native(path).constData(), &st) != 0) return false;
    // The superuser may write anything; a file nobody may write still counts as read-only for it.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(Native(path).constData(), W_OK) != 0;
}

bool OtherOwner(const QString& path) {
    struct stat st {};
    return ::stat(Native(path).constData(), &st) == 0 && st.st_uid != ::geteuid();
}

QString Reason(int errnum) {
    switch (errnum) {
        case ENOSPC:
            return QCoreApplication::translate("Fileplace", "на диске нет места");
        case EDQUOT:
            return QCoreApplication::translate("Fileplace", "превышена квота на диске");
        case EACCES:
        case EPERM:
            return QCoreApplication::translate("Fileplace", "нет прав на запись в файл или папку");
        case EROFS:
            return QCoreApplication::translate("Fileplace", "диск доступен только для чтения");
        case ENOENT:
            return QCoreApplication::translate("Fileplace", "файл или папка не найдены");
        case EIO:
            return QCoreApplication::translate("Fileplace", "ошибка ввода-вывода (диск или сеть)");
        case EFBIG:
            return QCoreApplication::translate("Fileplace", "файл слишком большой для этого диска");
        default:
            return SystemErrorText(errnum);
    }
}

}  // namespace fileplace

// ---------------------------------------------------------------------------------------------
// tLessonLock

using fileplace::BootId;
using fileplace::HostName;
using fileplace::StartTime;
using fileplace::UserName;

tLessonLock::tLessonLock(const QString& lessonPath) : FPath(PathFor(lessonPath)) {
    FMine = "host=" + HostName() + "\nuser=" + UserName() + "\npid=" + QByteArray::number(::getpid()) +
            "\nboot=" + BootId() + "\nstarted=" + StartTime(::getpid()) + "\n";
}

tLessonLock::~tLessonLock() {
    Release();
}

namespace {
QByteArray Entry(const QByteArray& text, const char* key) {
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(key) && line.size() > qsizetype(qstrlen(key)) && line[qstrlen(key)] == '=')
            return line.mid(qsizetype(qstrlen(key)) + 1);
    return QByteArray();
}
}  // namespace

bool tLessonLock::Acquire(int waitMs) {
    if (FHeld) return true;
    const QByteArray path = QFile::encodeName(FPath);
    QDeadlineTimer deadline(waitMs);
    int failures = 0;
    for (;;) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const bool written = ::write(fd, FMine.constData(), std::size_t(FMine.size())) == FMine.size();
            ::close(fd);
            if (written) {
                FHeld = true;
                FHolder.clear();
                return true;
            }
            FError = ENOSPC;
            ::unlink(path.constData());
            return false;
        }
        if (errno != EEXIST) {
            // SFTP has no answer for "exists": over SSHFS a lock that is there comes back as EPERM
            // or EACCES. Only a lock that is not there makes it a real failure (after a retry, in
            // case it went just then).
            const int err = errno;
            if (!QFileInfo::exists(FPath)) {
                if (++failures >= 3) {
                    FError = err;
                    return false;
                }
                continue;
            }
        }
        // Someone holds it, or held it and is gone.
        QFile file(FPath);
        QByteArray theirs;
        if (file.open(QIODevice::ReadOnly)) theirs = file.read(4096);
        const QFileInfo info(FPath);
        const qint64 age = info.lastModified().secsTo(QDateTime::currentDateTime());
        const QByteArray host = Entry(theirs, "host");
        bool stale;
        if (host.isEmpty()) {
            stale = age > 10;  // cut off between making and filling it
        } else if (host == HostName() && Entry(theirs, "boot") == BootId()) {
            const pid_t pid = Entry(theirs, "pid").toInt();
            stale = pid <= 0 || (::kill(pid, 0) != 0 && errno == ESRCH) ||
                    StartTime(pid) != Entry(theirs, "started");
        } else {
            // Another computer (or this one before a restart): its process cannot be asked.
            stale = host == HostName() || age > tLessonLock::StaleSeconds;
        }
        if (stale) {
            // Removed only when it still holds what was judged, so a fresh lock of a third copy stays.
            QFile again(FPath);
            if (again.open(QIODevice::ReadOnly) && again.read(4096) == theirs &&
                ::unlink(path.constData()) != 0 && errno != ENOENT) {
                FError = errno;
                return false;
            }
            continue;
        }
        FHolder = QCoreApplication::translate("Fileplace", "%1 на компьютере %2")
                      .arg(QString::fromLocal8Bit(Entry(theirs, "user")), QString::fromLocal8Bit(host));
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
}

void tLessonLock::Release() {
    if (!std::exchange(FHeld, false)) return;
    QFile file(FPath);
    if (file.open(QIODevice::ReadOnly) && file.read(4096) == FMine) QFile::remove(FPath);
}
