// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Schoolsettings.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Userfolders.h"

namespace {
const QString kLessonFolder = QStringLiteral("LessonFolder");
const QString kExchangeFolder = QStringLiteral("ExchangeFolder");
const QString kCatalogue = QStringLiteral("Catalogue");
const QString kUserMayChange = QStringLiteral("UserMayChange");
const QString kPupilName = QStringLiteral("PupilName");

bool Same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool IsComment(const QString& trimmed) {
    return trimmed.isEmpty() || trimmed.startsWith(u'#') || trimmed.startsWith(u';') ||
           (trimmed.startsWith(u'[') && trimmed.endsWith(u']'));
}

// The key of a `Key = value` line; empty for comments and lines without '='.
QString KeyOf(const QString& line) {
    const QString trimmed = line.trimmed();
    const qsizetype equals = trimmed.indexOf(u'=');
    if (IsComment(trimmed) || equals < 0) return QString();
    return trimmed.left(equals).trimmed();
}
}  // namespace

QString tSchoolSettings::RelativeFileName() {
    return QStringLiteral("rovelin/school.conf");
}

tSchoolSettings tSchoolSettings::Load() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        if (const passwd* entry = ::getpwuid(::geteuid())) user = QString::fromLocal8Bit(entry->pw_name);
    return Load(ConfigDirs(), ConfigHome(), QDir::homePath(), user);
}

tSchoolSettings tSchoolSettings::Load(const QStringList& configDirs, const QString& configHome,
                                      const QString& home, const QString& user) {
    tSchoolSettings s;
    s.FHome = home;
    s.FUser = user;
    for (const QString& dir : configDirs) {
        const QString path = QDir(dir).filePath(RelativeFileName());
        if (QFileInfo::exists(path)) {
            s.FSchoolFile = path;
            break;
        }
    }
    if (!s.FSchoolFile.isEmpty()) {
        s.FSchool = s.ReadFile(s.FSchoolFile, true);
        // A school that says nothing about it keeps the exchange folder and the catalogues its own.
        s.FUserMay = LessonFolderKey;
        if (s.FSchool.HasUserMayChange) {
            s.FUserMay = 0;
            static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
            for (const QString& word : s.FSchool.UserMayChange.split(separators, Qt::SkipEmptyParts)) {
                if (Same(word, kLessonFolder))
                    s.FUserMay |= LessonFolderKey;
                else if (Same(word, kExchangeFolder))
                    s.FUserMay |= ExchangeFolderKey;
                else if (Same(word, kCatalogue))
                    s.FUserMay |= CatalogueKey;
                else if (!Same(word, QStringLiteral("none")))
                    s.FProblems << QCoreApplication::translate("tSchoolSettings",
                                                               "%1: %2: неизвестное имя «%3»")
                                       .arg(s.FSchoolFile, kUserMayChange, word);
            }
        }
    }
    s.FUserFile = QDir(configHome).filePath(RelativeFileName());
    if (QFileInfo::exists(s.FUserFile)) s.FOwn = s.ReadFile(s.FUserFile, false);
    s.FPupilName = s.FOwn.PupilName;
    return s;
}

QString tSchoolSettings::Expand(const QString& value) const {
    QString out = value;
    if (out == u'~' || out.startsWith(QStringLiteral("~/"))) out.replace(0, 1, FHome);
    for (const auto& [name, text] :
         {std::pair{QStringLiteral("HOME"), FHome}, std::pair{QStringLiteral("USER"), FUser}}) {
        out.replace(QStringLiteral("${") + name + u'}', text);
        out.replace(u'$' + name, text);
    }
    return QDir::isAbsolutePath(out) ? QDir::cleanPath(out) : QString();
}

tSchoolSettings::tValues tSchoolSettings::ReadFile(const QString& path, bool fromSchool) {
    tValues v;
    QByteArray bytes;
    QString error;
    if (ReadBoundedFile(path, ParameterFileLimit, bytes, error) != tFileRead::Ok) {
        FProblems << error;
        return v;
    }
    bool seenLesson = false, seenExchange = false, seenPupil = false;
    const QStringList lines = SplitLines(DecodeText(bytes));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (IsComment(line)) continue;
        const QString where = QStringLiteral("%1:%2: ").arg(path).arg(n + 1);
        const QString key = KeyOf(line);
        if (key.isEmpty()) {
            FProblems << where +
                             QCoreApplication::translate("tSchoolSettings", "строка без «Имя = значение»");
            continue;
        }
        const QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
        auto folder = [&](const QString& text) {
            const QString expanded = Expand(text);
            if (expanded.isEmpty() && !text.isEmpty())
                FProblems << where + QCoreApplication::translate("tSchoolSettings",
                                                                 "«%1» — не полный путь (начинается с /)")
                                         .arg(text);
            return expanded;
        };
        if (Same(key, kLessonFolder)) {
            if (!seenLesson) v.LessonFolder = folder(value);
            seenLesson = true;
        } else if (Same(key, kExchangeFolder)) {
            if (!seenExchange) v.ExchangeFolder = folder(value);
            seenExchange = true;
        } else if (Same(key, kCatalogue)) {
            // "path | name": the name is what follows the last bar.
            const qsizetype bar = value.lastIndexOf(u'|');
            tCatalogueSource source;
            source.Path = folder(bar < 0 ? value : value.left(bar).trimmed());
            source.Name = bar < 0 ? QString() : value.mid(bar + 1).trimmed();
            if (source.Name.isEmpty()) source.Name = QFileInfo(source.Path).fileName();
            source.FromSchool = fromSchool;
            if (!source.Path.isEmpty()) v.Catalogues << source;
        } else if (Same(key, kUserMayChange) && fromSchool) {
            if (!v.HasUserMayChange) v.UserMayChange = value;
            v.HasUserMayChange = true;
        } else if (Same(key, kPupilName) && !fromSchool) {
            if (!seenPupil) v.PupilName = value;
            seenPupil = true;
        } else {
            FProblems << where +
                             QCoreApplication::translate("tSchoolSettings", "неизвестное имя «%1»").arg(key);
        }
    }
    return v;
}

QString tSchoolSettings::LessonFolder() const {
    if (UserMayChange(LessonFolderKey) && !FOwn.LessonFolder.isEmpty()) return FOwn.LessonFolder;
    return FSchool.LessonFolder;
}

QString tSchoolSettings::ExchangeFolder() const {
    if (UserMayChange(ExchangeFolderKey) && !FOwn.ExchangeFolder.isEmpty()) return FOwn.ExchangeFolder;
    return FSchool.ExchangeFolder;
}

QList<tCatalogueSource> tSchoolSettings::Catalogues() const {
    QList<tCatalogueSource> all = FSchool.Catalogues;
    if (UserMayChange(CatalogueKey)) {
        for (const tCatalogueSource& own : FOwn.Catalogues) {
            const bool listed = std::any_of(all.cbegin(), all.cend(),
                                            [&](const tCatalogueSource& s) { return s.Path == own.Path; });
            if (!listed) all << own;
        }
    }
    return all;
}

void tSchoolSettings::SaveUserValue(const QString& key, const QString& value) {
    QString clean = value;
    for (QChar& c : clean)
        if (c.unicode() < 32) c = u' ';
    clean = clean.trimmed();
    QStringList lines;
    if (QFileInfo::exists(FUserFile)) {
        QByteArray bytes;
        QString error;
        if (ReadBoundedFile(FUserFile, ParameterFileLimit, bytes, error) != tFileRead::Ok)
            throw tException(error);
        lines = SplitLines(DecodeText(bytes));
    }
    const QString line = key + QStringLiteral(" = ") + clean;
    auto found =
        std::find_if(lines.begin(), lines.end(), [&](const QString& l) { return Same(KeyOf(l), key); });
    if (found == lines.end()) {
        if (!clean.isEmpty()) lines << line;
    } else if (clean.isEmpty()) {
        lines.erase(found);
    } else {
        *found = line;
    }
    if (!QDir().mkpath(QFileInfo(FUserFile).absolutePath()))
        throw tException(QCoreApplication::translate("tSchoolSettings", "Невозможно создать папку '%1'.")
                             .arg(QFileInfo(FUserFile).absolutePath()));
    const QByteArray text = lines.isEmpty() ? QByteArray() : (lines.join(u'\n') + u'\n').toUtf8();
    WriteFileAtomically(FUserFile, [&](QIODevice& out) { return out.write(text) == text.size(); });
    if (Same(key, kPupilName)) FPupilName = FOwn.PupilName = clean;
    if (Same(key, kLessonFolder)) FOwn.LessonFolder = Expand(clean);
    if (Same(key, kExchangeFolder)) FOwn.ExchangeFolder = Expand(clean);
}
