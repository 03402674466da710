// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Userfolders.h"

#include <QDir>

namespace {
QString AbsoluteOr(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : fallback;
}
}  // namespace

QString StateHome() {
    return AbsoluteOr("XDG_STATE_HOME", QDir::homePath() + QStringLiteral("/.local/state"));
}

QString ProgramStateFolder() {
    return StateHome() + QStringLiteral("/rovelin");
}

QString ConfigHome() {
    return AbsoluteOr("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
}

QStringList ConfigDirs() {
    QStringList dirs;
    for (const QString& dir : qEnvironmentVariable("XDG_CONFIG_DIRS").split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir)) dirs << QDir::cleanPath(dir);
    if (dirs.isEmpty()) dirs << QStringLiteral("/etc/xdg");
    return dirs;
}
