// SPDX-License-Identifier: GPL-3.0-or-later
// One running program per user: the first start holds a lock file named after the program's key
// (a digest of it, so the socket's path stays short) and listens on a local socket of that name; a second
// start finds the lock taken, asks the first one through the socket to restore and raise its window (and to
// open a lesson file when it was started with one), and ends. Lock and socket live only in a folder that
// belongs to the user alone, so no other user can take the program's name away from this one (see
// UserFolder). Use from one thread (the user-interface thread); ActivateRequested arrives on that thread.
#pragma once

#include <sys/types.h>

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class tSingleInstance : public QObject {
    Q_OBJECT
  public:
    // The program's key: "{C4BC8DBF-CE0B-4714-985D-2AEEC4B4F6D6}".
    static QString DefaultKey();
    // Lock and socket live in UserFolder().
    explicit tSingleInstance(const QString& key = DefaultKey(), QObject* parent = nullptr);
    // Lock and socket live in `directory` (tests use a temporary folder).
    tSingleInstance(const QString& key, const QString& directory, QObject* parent = nullptr);
    ~tSingleInstance() override;

    // The user's own folder for lock and socket: $XDG_RUNTIME_DIR when it is a private folder of
    // this user (as the session manager makes it), else the private folder
    // $XDG_STATE_HOME/rovelin/instance-<host> (by default under ~/.local/state), made with mode
    // 0700 when missing. Never a shared folder such as /tmp. Empty with `problem` set when neither
    // can be used.
    static QString UserFolder(QString* problem = nullptr);
    // The same for a given runtime folder (may be empty), state folder, host name and user.
    static QString UserFolder(const QString& runtimeDir, const QString& stateHome, const QString& host,
                              uid_t uid, QString* problem = nullptr);
    // Empty when `path` is a folder (not a link to one) owned by `uid` that no one else may enter
    // or list; otherwise why not, in words for the error box.
    static QString PrivateFolderProblem(const QString& path, uid_t uid);

    // True: this is the running instance (also when a crashed owner left its lock behind, which is
    // taken over). False: another instance holds the lock. Raises tException with messages 903 and
    // 1002 and the reason when the user's folder cannot be used or the lock file cannot be created.
    bool TryBecomePrimary();
    // For a second start: asks the running instance to restore and raise its window. Retries the
    // connection until `timeoutMs` passes (the first start may still be setting up its socket).
    // True when the running instance confirmed the request.
    bool ActivatePrimary(int timeoutMs = 3000);
    // The same, and the running instance opens the file at `path` (an absolute path).
    bool OpenInPrimary(const QString& path, int timeoutMs = 3000);
    // Gives up the running-instance role (also done by the destructor).
    void Release();

    bool IsPrimary() const { return FPrimary; }
    QString LockPath() const { return FLockPath; }
    QString ServerName() const { return FServerName; }

  signals:
    // A second start asked this (running) instance to show its window.
    void ActivateRequested();
    // A second start asked this instance to open a file (after ActivateRequested).
    void OpenRequested(const QString& path);

  private:
    void Listen();
    void Accept();
    bool SendRequest(const QByteArray& request, int timeoutMs);

    QString FFolderProblem;  // why UserFolder() gave nothing; raised by TryBecomePrimary
    QString FLockPath;
    QString FServerName;  // a full socket path, so it is not placed in the shared temporary folder
    std::unique_ptr<QLockFile> FLock;
    std::unique_ptr<QLocalServer> FServer;
    bool FPrimary = false;
};
