// SPDX-License-Identifier: GPL-3.0-or-later
// One running program per user: the first start holds a lock file named after the program's key
// and listens on a local socket of the same name; a second start finds the lock taken, asks the
// first one through the socket to restore and raise its window (and to open a lesson file when it
// was started with one), and ends.
// Use from one thread (the user-interface thread); ActivateRequested arrives on that thread.
#pragma once

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
    // Lock and socket live in the user's runtime folder (the temporary folder when there is none).
    explicit tSingleInstance(const QString& key = DefaultKey(), QObject* parent = nullptr);
    // Lock and socket live in `directory` (tests use a temporary folder).
    tSingleInstance(const QString& key, const QString& directory, QObject* parent = nullptr);
    ~tSingleInstance() override;

    // True: this is the running instance (also when a crashed owner left its lock behind, which is
    // taken over). False: another instance holds the lock. Raises tException with messages 903 and
    // 1002 and the system's text when the lock file cannot be created at all.
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

    QString FLockPath;
    QString FServerName;  // a full socket path, so it is not placed in the shared temporary folder
    std::unique_ptr<QLockFile> FLock;
    std::unique_ptr<QLocalServer> FServer;
    bool FPrimary = false;
};
