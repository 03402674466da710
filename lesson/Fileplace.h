// SPDX-License-Identifier: GPL-3.0-or-later
// Where a lesson file lives and who else uses it: whether its folder is on a network file system
// (where SQLite's own locks do not reach the other computers), the file's identity on disk, other
// processes that hold it open for writing, and the lock that every copy of the program takes
// beside a lesson while it writes or reads it (`<name>.rovelin.lock`). Linux only; every call may
// block on a slow network folder, so the writers call them on their worker threads.
#pragma once

#include <QString>
#include <cstdint>

namespace fileplace {

// Whether `path` (a file or a folder; the nearest existing folder above it counts) lies on a
// network file system: NFS, CIFS/SMB, SSHFS and every other FUSE file system, AFS, Coda, 9P, Ceph.
bool OnNetwork(const QString& path);

// The state folder, $XDG_STATE_HOME/rovelin (by default ~/.local/state/rovelin).
QString StateFolder();
// A folder of this user on this computer: the state folder when it is local, else
// /var/tmp/rovelin-<uid> (kept across restarts, only this user may enter it), else the system's
// temporary folder. Created when missing.
QString LocalFolder();

// A file's identity on disk: another file put in its place (renamed or copied over it) has another.
struct tStamp {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool Exists() const { return Inode != 0; }
    bool operator==(const tStamp&) const = default;
};
tStamp StampOf(const QString& path);

// Whether another process of this computer holds `path` open for writing (only the processes the
// program may look at: its user's, or all when it runs as the superuser).
bool OpenForWritingElsewhere(const QString& path);

// Whether `path` exists and lets nobody write (no write bit), or lets this user not write.
bool ReadOnly(const QString& path);
// Whether `path` exists and belongs to another user than the one the program runs as.
bool OtherOwner(const QString& path);

// A short reason for an errno value in the user's words (Russian for the usual ones, the system's
// own text otherwise).
QString Reason(int errnum);

}  // namespace fileplace

// tLessonLock: `<lesson>.lock` beside the lesson, created exclusively and holding the host name,
// the user, the process id, the boot id and the process's start time. Every copy of the program
// takes it before it writes a lesson (and, on a network folder, before it reads one), so two seats
// that share one home never write one file at once even where the file system has no working
// locks. A lock whose process is gone (this computer: the process is dead or was restarted or the
// computer rebooted; another computer: older than StaleSeconds) is removed. Not thread-safe; one
// object per write.
class tLessonLock {
  public:
    static constexpr int StaleSeconds = 120;

    explicit tLessonLock(const QString& lessonPath);
    ~tLessonLock();
    tLessonLock(const tLessonLock&) = delete;
    tLessonLock& operator=(const tLessonLock&) = delete;

    static QString PathFor(const QString& lessonPath) { return lessonPath + QStringLiteral(".lock"); }

    // Takes the lock, waiting up to `waitMs` for another holder to let go. False when another copy
    // of the program still holds it (Holder says who) or the lock cannot be made (Error is the errno).
    bool Acquire(int waitMs);
    bool Held() const { return FHeld; }
    // "<user> на компьютере <host>" of the copy that holds the lock.
    QString Holder() const { return FHolder; }
    int Error() const { return FError; }
    void Release();

  private:
    QString FPath;
    QByteArray FMine;  // what our lock file holds
    bool FHeld = false;
    QString FHolder;
    int FError = 0;
};
