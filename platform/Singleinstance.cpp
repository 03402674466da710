// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Singleinstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>
#include <cerrno>

#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Stringtable.h"
#include "foundation/Userfolders.h"

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

// A text in a form that is safe as a file name.
QString FileNameOf(const QString& text) {
    QString name = text;
    for (QChar& c : name)
        if (c == u'/' || c == u'\\' || c.unicode() < 32) c = u'_';
    return name;
}

// Lock and socket are named after a short digest of the key: a socket's whole path must fit in
// 108 bytes, and a user's state folder can be deep.
QString BaseNameOf(const QString& key) {
    return QStringLiteral("rovelin-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
}
}  // namespace

QString tSingleInstance::DefaultKey() {
    return QStringLiteral("{C4BC8DBF-CE0B-4714-985D-2AEEC4B4F6D6}");
}

QString tSingleInstance::PrivateFolderProblem(const QString& path, uid_t uid) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return tr("папка '%1' недоступна: %2").arg(path, LastSystemErrorText());
    if (S_ISLNK(st.st_mode)) return tr("'%1' — ссылка, а не папка").arg(path);
    if (!S_ISDIR(st.st_mode)) return tr("'%1' — не папка").arg(path);
    if (st.st_uid != uid) return tr("папка '%1' принадлежит другому пользователю").arg(path);
    if ((st.st_mode & 077) != 0)
        return tr("папка '%1' открыта другим пользователям (права %2)")
            .arg(path, QString::number(st.st_mode & 0777, 8));
    return QString();
}

QString tSingleInstance::UserFolder(const QString& runtimeDir, const QString& stateHome, const QString& host,
                                    uid_t uid, QString* problem) {
    auto fail = [problem](const QString& why) {
        if (problem) *problem = why;
        return QString();
    };
    // The session manager's runtime folder (/run/user/<uid>) is the right place, but only when it
    // really is ours: a folder another user made under that name could hold our lock for us.
    if (QDir::isAbsolutePath(runtimeDir) && PrivateFolderProblem(runtimeDir, uid).isEmpty())
        return runtimeDir;
    if (!QDir::isAbsolutePath(stateHome)) return fail(tr("не найдена домашняя папка пользователя"));
    const QString parent = stateHome + QStringLiteral("/rovelin");
    if (!QDir().mkpath(parent)) return fail(tr("невозможно создать папку '%1'").arg(parent));
    // One folder per computer: a home shared over the network must not let a run on one computer
    // keep the same user from starting the program on another.
    const QString folder = parent + QStringLiteral("/instance-") +
                           FileNameOf(host.isEmpty() ? QStringLiteral("localhost") : host.left(16));
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return fail(tr("невозможно создать папку '%1': %2").arg(folder, LastSystemErrorText()));
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
        (st.st_mode & 077) != 0)
        ::chmod(native.constData(), 0700);  // ours, but left open (a copied home, another umask)
    if (const QString why = PrivateFolderProblem(folder, uid); !why.isEmpty()) return fail(why);
    return folder;
}

QString tSingleInstance::UserFolder(QString* problem) {
    return UserFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), StateHome(), QSysInfo::machineHostName(),
                      ::geteuid(), problem);
}

tSingleInstance::tSingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    const QString folder = UserFolder(&FFolderProblem);
    // Without a usable folder the paths stay empty and TryBecomePrimary reports why.
    if (folder.isEmpty()) return;
    const QString base = QDir(folder).filePath(BaseNameOf(key));
    FLockPath = base + QStringLiteral(".lock");
    FServerName = base + QStringLiteral(".socket");
}

tSingleInstance::tSingleInstance(const QString& key, const QString& directory, QObject* parent)
    : QObject(parent) {
    const QString base = QDir(directory).filePath(BaseNameOf(key));
    FLockPath = base + QStringLiteral(".lock");
    FServerName = base + QStringLiteral(".socket");
}

tSingleInstance::~tSingleInstance() {
    Release();
}

bool tSingleInstance::TryBecomePrimary() {
    if (FPrimary) return true;
    if (!FFolderProblem.isEmpty())
        throw tException(LoadStr(msg::SystemError) + LoadStr(msg::CannotCreateSync) + FFolderProblem);
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
                                                 : tr("ошибка файла блокировки")));
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
        // untranslated: a log line
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
