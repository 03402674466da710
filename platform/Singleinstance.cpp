// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>

#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Stringtable.h"

namespace {
// One request line and one answer line: "activate", or "open " and the file's path as Base64 of
// UTF-8 (so any byte of a path travels). A peer that sends anything else, or more than a request
// can hold, is not ours.
const QByteArray kActivate = QByteArrayLiteral("activate\n");
const QByteArray kOpen = QByteArrayLiteral("open ");
const QByteArray kConfirm = QByteArrayLiteral("ok\n");
constexpr qsizetype kMaxRequest = 16384;

// Whether `got` can still become a request.
bool MayBeRequest(const QByteArray& got) {
    if (kActivate.startsWith(got)) return true;
    if (kOpen.startsWith(got)) return true;
    if (!got.startsWith(kOpen)) return false;
    for (qsizetype i = kOpen.size(); i < got.size(); ++i) {
        const char c = got[i];
        const bool base64 = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                            c == '+' || c == '/' || c == '=';
        if (!base64 && !(c == '\n' && i == got.size() - 1)) return false;
    }
    return true;
}

QString RuntimeFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

// The key in a form that is safe as a file name.
QString FileNameOf(const QString& key) {
    QString name = key;
    for (QChar& c : name)
        if (c == u'/' || c == u'\\' || c.unicode() < 32) c = u'_';
    return name;
}
}  // namespace

QString tSingleInstance::DefaultKey() {
    return QStringLiteral("{C4BC8DBF-CE0B-4714-985D-2AEEC4B4F6D6}");
}

tSingleInstance::tSingleInstance(const QString& key, QObject* parent)
    : tSingleInstance(key, RuntimeFolder(), parent) {}

tSingleInstance::tSingleInstance(const QString& key, const QString& directory, QObject* parent)
    : QObject(parent) {
    const QString base = QDir(directory).filePath(FileNameOf(key));
    FLockPath = base + QStringLiteral(".lock");
    FServerName = base + QStringLiteral(".socket");
}

tSingleInstance::~tSingleInstance() {
    Release();
}

bool tSingleInstance::TryBecomePrimary() {
    if (FPrimary) return true;
    QDir().mkpath(QFileInfo(FLockPath).absolutePath());
    auto lock = std::make_unique<QLockFile>(FLockPath);
    // The lock is held for the program's whole run: never age it out. A lock whose owner process
    // no longer runs is still recognised as stale and removed by tryLock.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError) return false;
        throw tException(LoadStr(msg::SystemError) + LoadStr(msg::CannotCreateSync) +
                         QStringLiteral("'%1': %2")
                             .arg(FLockPath, lock->error() == QLockFile::PermissionError
                                                 ? SystemErrorText(EACCES)
                                                 : QStringLiteral("ошибка файла блокировки")));
    }
    FLock = std::move(lock);
    FPrimary = true;
    Listen();
    return true;
}

void tSingleInstance::Listen() {
    // We hold the lock, so a socket file left at our name belongs to a crashed run.
    QLocalServer::removeServer(FServerName);
    FServer = std::make_unique<QLocalServer>();
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer.get(), &QLocalServer::newConnection, this, &tSingleInstance::Accept);
    // Without the socket a second start cannot raise us, but this run is still the only one.
    if (!FServer->listen(FServerName))
        LogAdd(QStringLiteral("Невозможно ожидать повторного запуска программы: ") + FServer->errorString());
}

void tSingleInstance::Accept() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Read no more than one request; a peer that sends something else is dropped.
            const QByteArray got = socket->peek(kMaxRequest + 1);
            const qsizetype end = got.indexOf('\n');
            const QByteArray line = end < 0 ? got : got.left(end + 1);
            if (got.size() > kMaxRequest || !MayBeRequest(line) || (end >= 0 && got.size() > end + 1)) {
                socket->abort();
                return;
            }
            if (end < 0) return;  // wait for the rest of the line
            socket->read(line.size());
            socket->write(kConfirm);
            socket->flush();
            socket->disconnectFromServer();
            emit ActivateRequested();
            if (line.startsWith(kOpen)) {
                const QByteArray path = QByteArray::fromBase64(line.mid(kOpen.size()).chopped(1));
                if (!path.isEmpty()) emit OpenRequested(QString::fromUtf8(path));
            }
        });
    }
}

bool tSingleInstance::ActivatePrimary(int timeoutMs) {
    return SendRequest(kActivate, timeoutMs);
}

bool tSingleInstance::OpenInPrimary(const QString& path, int timeoutMs) {
    return SendRequest(kOpen + path.toUtf8().toBase64() + '\n', timeoutMs);
}

bool tSingleInstance::SendRequest(const QByteArray& request, int timeoutMs) {
    if (request.size() > kMaxRequest) return false;
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(FServerName);
        if (socket.waitForConnected(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
            socket.write(request);
            QByteArray answer;
            socket.waitForBytesWritten(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
            while (answer.size() < kConfirm.size() && !deadline.hasExpired()) {
                if (socket.bytesAvailable() == 0 &&
                    !socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
                    break;
                answer += socket.read(kConfirm.size() - answer.size());
            }
            if (answer == kConfirm) return true;
            if (socket.state() == QLocalSocket::ConnectedState) return false;  // answered something else
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

void tSingleInstance::Release() {
    FServer.reset();
    if (FLock) FLock->unlock();
    FLock.reset();
    FPrimary = false;
}
