// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store on any rovelin.cfg, in plain and in section mode, and a save of what it read.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "foundation/Exceptions.h"
#include "foundation/Settings.h"
#include "fuzz/Fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // tmpfs where there is one: the store saves through QSaveFile, which syncs to disk.
    static QTemporaryDir dir(
        (QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
        QStringLiteral("/rovelin-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("rovelin.cfg"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    tSettings plain;
    try {
        plain.Load(path);
    } catch (const tException&) {
        return 0;
    }
    for (int i = 0; i < plain.GetCount(); ++i) {
        const QString name = plain.GetNameByIndex(i);
        if (!name.isEmpty()) FUZZ_CHECK(plain.IndexOfName(name) <= i);  // the first line with a name wins
        plain.GetSettingByIndex(i);
        plain.GetInt(name, 0);
    }
    // What was read is written back as read: a load of the saved file gives the same entries.
    const QString saved = dir.filePath(QStringLiteral("saved.cfg"));
    plain.Save(saved);
    tSettings reloaded;
    reloaded.Load(saved);
    FUZZ_CHECK(reloaded.GetCount() == plain.GetCount());

    tSettings section(path, QStringLiteral("Sensor"), true);
    try {
        section.Load();
        section.SetSettingByName(QStringLiteral("Timeout"), QStringLiteral("1000"));
        section.Save(saved);
    } catch (const tException&) {
    }
    return 0;
}
