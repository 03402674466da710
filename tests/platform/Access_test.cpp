// SPDX-License-Identifier: GPL-3.0-or-later
// Diagnoses of unusable device nodes: the pure texts from stat data (the tests run as root, whom
// permissions never stop), then probes of real files and a held pseudo-terminal.
#include "platform/Access.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "foundation/Exceptions.h"
#include "platform/Termiosport.h"

// ---- texts from stat data -----------------------------------------------------------------------

TEST(AccessText, MissingNode) {
    const QString t = DescribeNodeAccess("/dev/ttyACM0", tNodeAccess{});
    EXPECT_TRUE(t.contains("/dev/ttyACM0"));
    EXPECT_TRUE(t.contains("не найдено"));
}

TEST(AccessText, NoPermissionNamesTheGroupAndTheRule) {
    tNodeAccess a;
    a.Exists = true;
    a.Mode = 020660;  // character device, rw-rw----
    a.OwnerGid = 20;
    a.GroupName = "dialout";
    a.OpenError = EACCES;
    const QString t = DescribeNodeAccess("/dev/ttyACM0", a);
    EXPECT_TRUE(t.contains("'dialout'"));
    EXPECT_TRUE(t.contains("0660"));
    EXPECT_TRUE(t.contains("70-rovelin.rules"));
    a.GroupName.clear();  // a group the system has no name for is given by number
    EXPECT_TRUE(DescribeNodeAccess("/dev/ttyACM0", a).contains("'20'"));
}

TEST(AccessText, HeldByAnotherProgram) {
    tNodeAccess a;
    a.Exists = true;
    a.OpenError = EBUSY;  // the holder set TIOCEXCL
    EXPECT_TRUE(DescribeNodeAccess("/dev/ttyUSB0", a).contains("занято"));
    a.OpenError = 0;
    a.HeldByAnother = true;  // the holder took the flock
    EXPECT_TRUE(DescribeNodeAccess("/dev/ttyUSB0", a).contains("занято"));
}

TEST(AccessText, OtherFailuresCarryTheSystemText) {
    tNodeAccess a;
    a.Exists = true;
    a.OpenError = EIO;
    EXPECT_TRUE(DescribeNodeAccess("/dev/ttyS3", a).contains(SystemErrorText(EIO)));
}

// ---- probes -------------------------------------------------------------------------------------

TEST(AccessProbe, MissingNodeIsReportedMissing) {
    EXPECT_TRUE(DescribeDeviceAccessProblem("/dev/ttyRovelinMissing9").contains("не найдено"));
}

TEST(AccessProbe, FreeNodeHasNoProblem) {
    QTemporaryDir dir;
    QFile f(dir.filePath("node"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(DescribeDeviceAccessProblem(f.fileName()).isEmpty());
}

TEST(AccessProbe, LockedNodeIsHeld) {
    QTemporaryDir dir;
    QFile f(dir.filePath("node"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(f.handle(), LOCK_EX | LOCK_NB), 0);
    EXPECT_TRUE(DescribeDeviceAccessProblem(f.fileName()).contains("занято"));
}

TEST(AccessProbe, PortOpenedByThisProgramIsHeld) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const QString slave = QString::fromLocal8Bit(::ptsname(master));
    QString error;
    {
        auto port = OpenTermiosPort(slave, error);
        ASSERT_TRUE(port) << error.toStdString();
        EXPECT_TRUE(DescribeDeviceAccessProblem(slave).contains("занято"));
    }
    EXPECT_TRUE(DescribeDeviceAccessProblem(slave).isEmpty());
    ::close(master);
}
