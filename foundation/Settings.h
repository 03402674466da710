// SPDX-License-Identifier: GPL-3.0-or-later
// tSettings: ordered name=value store with case-insensitive lookup, loaded from one file.
// Plain mode (no section): the file is name=value lines. Section mode: only the keys of one
// [section] of an INI file. With threadSafe the store carries a reader/writer lock; without it
// (the program's instance) it must not change while other threads read it.
#pragma once

#include <QReadWriteLock>
#include <QString>
#include <QStringList>
#include <memory>

class tSettings {
  public:
    explicit tSettings(bool threadSafe = false);
    tSettings(const QString& fileName, bool threadSafe);
    tSettings(const QString& fileName, const QString& section, bool threadSafe);
    virtual ~tSettings();
    tSettings(const tSettings&) = delete;
    tSettings& operator=(const tSettings&) = delete;

    void Load(const QString& fileName = QString());
    void Save(const QString& fileName = QString()) const;

    void SetSection(const QString& section);
    QString GetSection() const;
    void SetFileName(const QString& fileName);
    QString GetFileName() const;

    int GetCount() const;
    QString GetNameByIndex(int index) const;
    QString GetSettingByIndex(int index) const;
    void SetSettingByIndex(int index, const QString& value);
    QString GetSettingByName(const QString& name) const;
    void SetSettingByName(const QString& name, const QString& value);
    int IndexOfName(const QString& name) const;
    int AddName(const QString& name, const QString& value);
    void AssignTo(tSettings* target) const;

    // Integer value of `name` (decimal, or hexadecimal with $ or 0x); default when absent or invalid.
    int GetInt(const QString& name, int defaultValue) const;

  protected:
    virtual void Init(bool threadSafe);
    virtual void Cleanup();

  private:
    static QString NameOf(const QString& line);
    int IndexOfNameUnlocked(const QString& name) const;
    void SetByNameUnlocked(const QString& name, const QString& value);
    void CheckIndex(int index) const;
    QString PathFor(const QString& fileName) const;

    std::unique_ptr<QReadWriteLock> FLock;  // guards everything below; absent = no locking
    QString FSection;
    mutable QString FFileName;  // Save stores the path it wrote
    std::unique_ptr<QStringList> FList;
};
