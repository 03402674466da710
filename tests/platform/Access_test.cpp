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

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "foundation/Exceptions.h"
#include "foundation/Language.h"
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

// ---- the English interface ----------------------------------------------------------------------

TEST(AccessText, EveryDiagnosisComesInEnglishWithTheEnglishInterface) {
    ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
    tNodeAccess permission;
    permission.Exists = true;
    permission.Mode = 020660;
    permission.GroupName = "dialout";
    permission.OpenError = EACCES;
    tNodeAccess busy;
    busy.Exists = true;
    busy.HeldByAnother = true;
    tNodeAccess failing;
    failing.Exists = true;
    failing.OpenError = EIO;
    const QStringList texts = {DescribeNodeAccess("/dev/ttyACM0", tNodeAccess{}),
                               DescribeNodeAccess("/dev/ttyACM0", permission),
                               DescribeNodeAccess("/dev/ttyUSB0", busy),
                               DescribeNodeAccess("/dev/ttyS3", failing), DescribeNoSerialPorts()};
    InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);
    EXPECT_EQ(texts[0],
              "Device '/dev/ttyACM0' not found: the sensor is not connected or its driver is not loaded.");
    EXPECT_TRUE(
        texts[1].startsWith("No permission to use the device '/dev/ttyACM0' (permissions 0660, group "
                            "'dialout'). Add the user to the group 'dialout'"))
        << texts[1].toStdString();
    EXPECT_TRUE(texts[1].contains("70-rovelin.rules"));
    EXPECT_EQ(texts[2],
              "Device '/dev/ttyUSB0' is in use by another program. Close that program and try again.");
    EXPECT_TRUE(texts[4].startsWith("The system has no serial port for a sensor")) << texts[4].toStdString();
    // The system's own reason follows in the system's language.
    EXPECT_TRUE(texts[3].startsWith("Device '/dev/ttyS3' cannot be opened: ")) << texts[3].toStdString();
    for (const QString& text : {texts[0], texts[1], texts[2], texts[4]})
        EXPECT_FALSE(text.contains(QRegularExpression("[\\x{0400}-\\x{04FF}]"))) << text.toStdString();
    // Russian again: the program's own texts.
    EXPECT_TRUE(DescribeNodeAccess("/dev/ttyUSB0", busy).contains("занято"));
}
