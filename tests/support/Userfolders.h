// SPDX-License-Identifier: GPL-3.0-or-later
// The user's folders of a test run: state (autosaves, recent lessons, logs), configuration and the
// system's configuration folders all point into one temporary folder of this run, so neither the
// tester's own files nor an administrator's /etc/xdg/rovelin/school.conf ever reach a test.
// Create one in main() before the tests run; tests may write the files they need into it. A test
// that needs a profile of its own (a fresh HOME) creates another for its lifetime.
#pragma once

#include <QDir>
#include <QTemporaryDir>

namespace rovelin_test {

class tUserFolders {
  public:
    tUserFolders() {
        qputenv("XDG_STATE_HOME", State().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", Config().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", SystemConfig().toLocal8Bit());
    }
    // A test's own fresh profile gives the folders it replaced back when it ends.
    ~tUserFolders() {
        for (int i = 0; i < 3; ++i) qputenv(kNames[i], FOld[i]);
    }
    tUserFolders(const tUserFolders&) = delete;
    tUserFolders& operator=(const tUserFolders&) = delete;
    QString State() const { return FDir.filePath(QStringLiteral("state")); }
    QString Config() const { return FDir.filePath(QStringLiteral("config")); }
    QString SystemConfig() const { return FDir.filePath(QStringLiteral("etc-xdg")); }

  private:
    static constexpr const char* kNames[3] = {"XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"};
    const QByteArray FOld[3] = {qgetenv(kNames[0]), qgetenv(kNames[1]), qgetenv(kNames[2])};
    QTemporaryDir FDir;
};

}  // namespace rovelin_test
