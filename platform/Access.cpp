// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Access.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <vector>

#include "foundation/Exceptions.h"

namespace {

QString GroupNameOf(gid_t gid) {
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 4096);
    group entry{};
    group* found = nullptr;
    // getgrgid_r, not getgrgid: detector threads may describe their ports at the same time.
    while (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return found ? QString::fromLocal8Bit(found->gr_name) : QString();
}

}  // namespace

tAccessProblem ClassifyNodeAccess(const QString& devicePath, const tNodeAccess& access) {
    tAccessProblem problem;
    if (!access.Exists) {
        problem.Kind = tAccessKind::Missing;
        problem.Text =
            QCoreApplication::translate(
                "Access", "Устройство '%1' не найдено: датчик не подключён или его драйвер не загружен.")
                .arg(devicePath);
    } else if (access.OpenError == EACCES || access.OpenError == EPERM) {
        problem.Kind = tAccessKind::Permission;
        problem.Group = access.GroupName.isEmpty() ? QString::number(access.OwnerGid) : access.GroupName;
        problem.Text =
            QCoreApplication::translate(
                "Access",
                "Нет прав на доступ к устройству '%1' (права %2, группа '%3'). Добавьте пользователя в "
                "группу '%3' и войдите в систему заново, либо установите правило udev программы %4 в "
                "/usr/lib/udev/rules.d/ и переподключите датчик.")
                .arg(devicePath)
                .arg(access.Mode & 07777, 4, 8, QLatin1Char('0'))
                .arg(problem.Group, QString::fromLatin1(UdevRulesFileName));
    } else if (access.OpenError == EBUSY || access.HeldByAnother) {
        problem.Kind = tAccessKind::Busy;
        problem.Text =
            QCoreApplication::translate(
                "Access", "Устройство '%1' занято другой программой. Закройте её и повторите попытку.")
                .arg(devicePath);
    } else if (access.OpenError != 0) {
        problem.Kind = tAccessKind::Failed;
        problem.Text = QCoreApplication::translate("Access", "Устройство '%1' не открывается: %2")
                           .arg(devicePath, SystemErrorText(access.OpenError));
    }
    return problem;
}

QString DescribeNodeAccess(const QString& devicePath, const tNodeAccess& access) {
    return ClassifyNodeAccess(devicePath, access).Text;
}

tAccessProblem ProbeDeviceAccess(const QString& devicePath) {
    const QByteArray path = devicePath.toLocal8Bit();
    tNodeAccess access;
    struct stat st {};
    if (::stat(path.constData(), &st) < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            access.Exists = true;
            access.OpenError = errno;
        }
        return ClassifyNodeAccess(devicePath, access);
    }
    access.Exists = true;
    access.Mode = st.st_mode;
    access.OwnerGid = st.st_gid;
    access.GroupName = GroupNameOf(st.st_gid);
    // O_NONBLOCK: a tty without carrier must not keep the probe waiting.
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        access.OpenError = errno;
    } else {
        // Every port of this program is held with flock; other programs may do the same.
        if (::flock(fd, LOCK_EX | LOCK_NB) < 0 && errno == EWOULDBLOCK) access.HeldByAnother = true;
        ::close(fd);
    }
    return ClassifyNodeAccess(devicePath, access);
}

QString DescribeDeviceAccessProblem(const QString& devicePath) {
    return ProbeDeviceAccess(devicePath).Text;
}

QString DescribeNoSerialPorts() {
    return QCoreApplication::translate(
               "Access",
               "В системе нет ни одного последовательного порта датчика (/dev/ttyACM*, /dev/ttyUSB*). "
               "Проверьте подключение датчика к ПК и загрузку драйвера (модули cdc_acm, ftdi_sio; "
               "журнал ядра: dmesg). Правило udev программы: %1. Встроенные порты (/dev/ttyS*) "
               "просматриваются, только если они названы в настройке SerialPorts.")
        .arg(QString::fromLatin1(UdevRulesFileName));
}
