// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Stringtable.h"

namespace {
// Takes the lock when the store has one.
class tReadGuard {
  public:
    explicit tReadGuard(QReadWriteLock* lock) : FLock(lock) {
        if (FLock) FLock->lockForRead();
    }
    ~tReadGuard() {
        if (FLock) FLock->unlock();
    }

  private:
    QReadWriteLock* FLock;
};
class tWriteGuard {
  public:
    explicit tWriteGuard(QReadWriteLock* lock) : FLock(lock) {
        if (FLock) FLock->lockForWrite();
    }
    ~tWriteGuard() {
        if (FLock) FLock->unlock();
    }

  private:
    QReadWriteLock* FLock;
};

// Settings files are a few dozen lines: a larger file is refused before it is read.
QByteArray ReadWhole(const QString& path) {
    QByteArray bytes;
    QString error;
    if (ReadBoundedFile(path, ParameterFileLimit, bytes, error) != tFileRead::Ok) throw tFileOpenError(error);
    return bytes;
}

void WriteWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw tException(
            QCoreApplication::translate("tSettings", "Невозможно записать файл '%1'.\r\nСистема сообщает: %2")
                .arg(path, file.errorString()));
}

bool IsSectionHeader(const QString& line, QString* name) {
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(u'[') || !t.endsWith(u']')) return false;
    if (name) *name = t.mid(1, t.size() - 2).trimmed();
    return true;
}
}  // namespace

tSettings::tSettings(bool threadSafe) {
    try {
        Init(threadSafe);
    } catch (...) {
        Cleanup();
        throw;
    }
}

tSettings::tSettings(const QString& fileName, bool threadSafe) : FFileName(fileName) {
    try {
        Init(threadSafe);
    } catch (...) {
        Cleanup();
        throw;
    }
}

tSettings::tSettings(const QString& fileName, const QString& section, bool threadSafe)
    : FSection(section), FFileName(fileName) {
    try {
        Init(threadSafe);
    } catch (...) {
        Cleanup();
        throw;
    }
}

tSettings::~tSettings() {
    Cleanup();
}

void tSettings::Init(bool threadSafe) {
    if (threadSafe) FLock = std::make_unique<QReadWriteLock>();
    FList = std::make_unique<QStringList>();
}

void tSettings::Cleanup() {
    FList.reset();
    FLock.reset();
}

QString tSettings::NameOf(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq);
}

int tSettings::IndexOfNameUnlocked(const QString& name) const {
    for (int i = 0; i < FList->size(); ++i) {
        const QString& line = FList->at(i);
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) continue;  // a line without '=' never matches
        if (QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

void tSettings::CheckIndex(int index) const {
    if (index < 0 || index >= FList->size())
        throw tListIndexError(
            QCoreApplication::translate("tSettings", "Индекс списка вне допустимых границ (%1)").arg(index));
}

QString tSettings::PathFor(const QString& fileName) const {
    return fileName.isEmpty() ? FFileName : fileName;
}

void tSettings::Load(const QString& fileName) {
    tWriteGuard guard(FLock.get());
    const QString path = PathFor(fileName);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw tFileOpenError(FormatStr(msg::SettingsNotFound, path));
    const QStringList lines = SplitLines(DecodeText(ReadWhole(path)));
    if (FSection.isEmpty()) {
        *FList = lines;
        if (!fileName.isEmpty()) FFileName = fileName;
        return;
    }
    QStringList entries;
    bool inSection = false;
    for (const QString& line : lines) {
        QString name;
        if (IsSectionHeader(line, &name)) {
            inSection = name.compare(FSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection || line.trimmed().isEmpty() || line.trimmed().startsWith(u';')) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) continue;
        entries << line.left(eq).trimmed() + u'=' + line.mid(eq + 1).trimmed();
    }
    *FList = entries;
    FFileName = path;
}

void tSettings::Save(const QString& fileName) const {
    // Saving may store the file name, so it takes the write lock: readers must not see that change
    // half done.
    tWriteGuard guard(FLock.get());
    const QString path = PathFor(fileName);
    if (FSection.isEmpty()) {
        QString text;
        for (const QString& line : *FList) text += line + QStringLiteral("\r\n");
        WriteWhole(path, text.toUtf8());
        if (!fileName.isEmpty()) FFileName = fileName;
        return;
    }
    // Section mode: rewrite only the keys of our section, everything else stays as it was.
    QStringList lines;
    if (QFileInfo(path).isFile()) lines = SplitLines(DecodeText(ReadWhole(path)));
    int sectionStart = -1, sectionEnd = lines.size();
    for (int i = 0; i < lines.size(); ++i) {
        QString name;
        if (!IsSectionHeader(lines[i], &name)) continue;
        if (sectionStart >= 0) {
            sectionEnd = i;
            break;
        }
        if (name.compare(FSection, Qt::CaseInsensitive) == 0) sectionStart = i;
    }
    if (sectionStart < 0) {
        if (!lines.isEmpty() && !lines.last().isEmpty()) lines << QString();
        lines << u'[' + FSection + u']';
        sectionStart = lines.size() - 1;
        sectionEnd = lines.size();
    }
    for (const QString& entry : *FList) {
        const QString name = NameOf(entry);
        if (name.isEmpty()) continue;
        bool replaced = false;
        for (int i = sectionStart + 1; i < sectionEnd; ++i) {
            const qsizetype eq = lines[i].indexOf(u'=');
            if (eq >= 0 && lines[i].left(eq).trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0) {
                lines[i] = entry;
                replaced = true;
                break;
            }
        }
        if (!replaced) lines.insert(sectionEnd++, entry);
    }
    QString text;
    for (const QString& line : lines) text += line + QStringLiteral("\r\n");
    WriteWhole(path, text.toUtf8());
    FFileName = path;
}

void tSettings::SetSection(const QString& section) {
    tWriteGuard guard(FLock.get());
    FSection = section;
}

QString tSettings::GetSection() const {
    tReadGuard guard(FLock.get());
    return FSection;
}

void tSettings::SetFileName(const QString& fileName) {
    tWriteGuard guard(FLock.get());
    FFileName = fileName;
}

QString tSettings::GetFileName() const {
    tReadGuard guard(FLock.get());
    return FFileName;
}

int tSettings::GetCount() const {
    tReadGuard guard(FLock.get());
    return FList->size();
}

QString tSettings::GetNameByIndex(int index) const {
    tReadGuard guard(FLock.get());
    CheckIndex(index);
    return NameOf(FList->at(index));
}

QString tSettings::GetSettingByIndex(int index) const {
    tReadGuard guard(FLock.get());
    CheckIndex(index);
    const QString name = NameOf(FList->at(index));
    const int first = IndexOfNameUnlocked(name);
    if (first < 0) return QString();
    const QString& line = FList->at(first);
    return line.mid(line.indexOf(u'=') + 1);
}

void tSettings::SetSettingByIndex(int index, const QString& value) {
    tWriteGuard guard(FLock.get());
    CheckIndex(index);
    SetByNameUnlocked(NameOf(FList->at(index)), value);
}

QString tSettings::GetSettingByName(const QString& name) const {
    tReadGuard guard(FLock.get());
    const int i = IndexOfNameUnlocked(name);
    if (i < 0) return QString();
    const QString& line = FList->at(i);
    return line.mid(line.indexOf(u'=') + 1);
}

void tSettings::SetByNameUnlocked(const QString& name, const QString& value) {
    const int i = IndexOfNameUnlocked(name);
    if (value.isEmpty()) {
        if (i >= 0) FList->removeAt(i);
        return;
    }
    if (i >= 0)
        (*FList)[i] = name + u'=' + value;
    else
        FList->append(name + u'=' + value);
}

void tSettings::SetSettingByName(const QString& name, const QString& value) {
    tWriteGuard guard(FLock.get());
    SetByNameUnlocked(name, value);
}

int tSettings::IndexOfName(const QString& name) const {
    tReadGuard guard(FLock.get());
    return IndexOfNameUnlocked(name);
}

int tSettings::AddName(const QString& name, const QString& value) {
    tWriteGuard guard(FLock.get());
    const int i = IndexOfNameUnlocked(name);
    if (i >= 0) {
        (*FList)[i] = name + u'=' + value;
        return i;
    }
    FList->append(name + u'=' + value);
    return FList->size() - 1;
}

void tSettings::AssignTo(tSettings* target) const {
    if (!target || target == this) return;
    tReadGuard guard(FLock.get());
    tWriteGuard targetGuard(target->FLock.get());
    target->FSection = FSection;
    target->FFileName = FFileName;
    *target->FList = *FList;
}

int tSettings::GetInt(const QString& name, int defaultValue) const {
    return StrToIntDef(GetSettingByName(name), defaultValue);
}
