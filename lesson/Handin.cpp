// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Handin.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "foundation/Exceptions.h"
#include "foundation/Functions.h"

namespace {
// Name parts are cut so that the folder's name with " (99)", the longest suffix and the temporary
// ending of an atomic write stays below 255 bytes even in Cyrillic (2 bytes a letter in UTF-8).
constexpr qsizetype kPupilChars = 40;
constexpr qsizetype kScenarioChars = 50;
constexpr int kMaxTries = 99;

QString Tidy(const QString& text, qsizetype maxChars) {
    QString out;
    for (QChar c : text.simplified())
        out += (c.unicode() < 32 || QStringLiteral("\\/:*?\"<>|").contains(c)) ? u'_' : c;
    out = out.left(maxChars).trimmed();
    // A name may not be "." or "..", and Windows drops trailing dots on a share.
    while (out.endsWith(u'.')) out.chop(1);
    return out;
}

QString NoFolderText(const QString& folder, const QString& why) {
    return QCoreApplication::translate("Handin", "Папка для сдачи работ «%1» недоступна: %2")
        .arg(QDir::toNativeSeparators(folder), why);
}
}  // namespace

tHandInPart HandInBytes(const QString& suffix, const QByteArray& bytes) {
    return {suffix, [bytes](const QString& path) {
                WriteFileAtomically(path, [&](QIODevice& out) { return out.write(bytes) == bytes.size(); });
            }};
}

tHandInPart HandInCopy(const QString& suffix, const QString& sourcePath) {
    return {
        suffix, [sourcePath](const QString& path) {
            QFile source(sourcePath);
            if (!source.open(QIODevice::ReadOnly))
                throw tException(QCoreApplication::translate("Handin", "Не удалось прочитать файл \"%1\": %2")
                                     .arg(sourcePath, source.errorString()));
            bool readFailed = false;
            try {
                WriteFileAtomically(path, [&](QIODevice& out) {
                    QByteArray chunk;
                    while (!(chunk = source.read(1 << 20)).isEmpty())
                        if (out.write(chunk) != chunk.size()) return false;
                    readFailed = source.error() != QFileDevice::NoError;
                    return !readFailed;
                });
            } catch (const tException&) {
                if (readFailed)
                    throw tException(
                        QCoreApplication::translate("Handin", "Не удалось прочитать файл \"%1\": %2")
                            .arg(sourcePath, source.errorString()));
                throw;
            }
        }};
}

QString HandInFolderName(const QString& pupil, const QString& scenario, const QDateTime& when) {
    QString name = Tidy(pupil, kPupilChars);
    const QString what = Tidy(scenario, kScenarioChars);
    if (!what.isEmpty()) name += QStringLiteral(" — ") + what;
    return name + QStringLiteral(" — ") + when.toString(QStringLiteral("yyyy-MM-dd HH.mm"));
}

tHandInResult HandIn(const QString& exchangeFolder, const QString& pupil, const QString& scenario,
                     const QDateTime& when, const QList<tHandInPart>& parts) {
    tHandInResult result;
    if (Tidy(pupil, kPupilChars).isEmpty()) {
        result.Reason = QCoreApplication::translate("Handin", "Не указаны фамилия и имя ученика.");
        return result;
    }
    if (exchangeFolder.isEmpty()) {
        result.Reason =
            QCoreApplication::translate("Handin",
                                        "Папка для сдачи работ не задана. Её указывает администратор школы "
                                        "(ExchangeFolder в файле /etc/xdg/rovelin/school.conf).");
        return result;
    }
    const QFileInfo exchange(exchangeFolder);
    if (!exchange.exists()) {
        result.Reason = NoFolderText(
            exchangeFolder,
            QCoreApplication::translate("Handin", "такой папки нет (сетевая папка не подключена?)"));
        return result;
    }
    if (!exchange.isDir()) {
        result.Reason = NoFolderText(exchangeFolder, QCoreApplication::translate("Handin", "это не папка"));
        return result;
    }

    // mkdir either makes a new folder or fails: a folder that is there already is never used, so
    // the work of another pupil (or an earlier hand-in) stays as it is.
    const QString base = HandInFolderName(pupil, scenario, when);
    QString name;
    QString folder;
    for (int n = 1; n <= kMaxTries && folder.isEmpty(); ++n) {
        name = n == 1 ? base : QStringLiteral("%1 (%2)").arg(base).arg(n);
        const QString candidate = QDir(exchangeFolder).filePath(name);
        if (::mkdir(QFile::encodeName(candidate).constData(), 0777) == 0) {
            folder = candidate;
        } else if (errno != EEXIST) {
            result.Reason = NoFolderText(
                exchangeFolder, QCoreApplication::translate("Handin", "невозможно создать в ней папку (%1)")
                                    .arg(LastSystemErrorText()));
            return result;
        }
    }
    if (folder.isEmpty()) {
        result.Reason = NoFolderText(
            exchangeFolder,
            QCoreApplication::translate("Handin", "в ней уже слишком много работ «%1»").arg(base));
        return result;
    }

    QStringList written;
    // Only what this hand-in made goes again: the files and the (then empty) folder.
    const auto takeBack = [&] {
        for (const QString& path : written) QFile::remove(path);
        QDir().rmdir(folder);
    };
    try {
        for (const tHandInPart& part : parts) {
            const QString path = QDir(folder).filePath(name + u'.' + part.Suffix);
            written << path;
            part.Write(path);
            if (!QFileInfo(path).isFile())
                throw tException(QCoreApplication::translate("Handin", "файл \"%1\" не появился").arg(path));
        }
    } catch (const tException& e) {
        takeBack();
        result.Reason = QCoreApplication::translate("Handin", "Работа не сдана.\n%1").arg(e.Message());
        return result;
    } catch (const tAbort&) {
        // The pupil cancelled a part (the report's reading): no half hand-in stays behind.
        takeBack();
        throw;
    }
    result.Ok = true;
    result.Folder = folder;
    return result;
}
