// SPDX-License-Identifier: GPL-3.0-or-later
// School-wide settings that an administrator writes once for every account, and each user's own
// values beside them: the folder lessons are saved to, the class exchange folder where pupils hand
// in their work, and further scenario catalogues (a school's own scenarios on a share). The
// device settings stay in rovelin.cfg; these are about where a class keeps its files.
//
// Files (the same format at both places):
//   school file  rovelin/school.conf in the first folder of $XDG_CONFIG_DIRS that has one
//                (by default /etc/xdg/rovelin/school.conf)
//   user file    rovelin/school.conf in $XDG_CONFIG_HOME (by default ~/.config/rovelin/school.conf)
// Lines `Key = value`; blanks around key and value are dropped, keys compare in any letter case,
// the first line of a key counts (every `Catalogue` line counts), lines starting with '#' or ';'
// and [section] lines are ignored. UTF-8 or Windows-1251. Values may begin with '~' (the home
// folder) and hold $HOME and $USER (also written ${HOME}, ${USER}).
//
// A plain value type: Load reads both files once; copies may be used on any thread.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A further scenario catalogue: where it is and what the chooser calls it.
struct tCatalogueSource {
    QString Path;       // absolute, without a trailing '/'
    QString Name;       // the text after '|' in the file, else the folder's name
    bool FromSchool{};  // from the school file (else the user's own)
};

class tSchoolSettings {
  public:
    // The values a user may be allowed to change.
    enum tKey { LessonFolderKey = 1, ExchangeFolderKey = 2, CatalogueKey = 4 };

    // Reads the school file and the user's file of the current environment.
    static tSchoolSettings Load();
    // Reads rovelin/school.conf from the first of `configDirs` that has it and from `configHome`;
    // `home` and `user` expand '~', $HOME and $USER.
    static tSchoolSettings Load(const QStringList& configDirs, const QString& configHome, const QString& home,
                                const QString& user);
    // "rovelin/school.conf", the file's place below a configuration folder.
    static QString RelativeFileName();

    QString SchoolFile() const { return FSchoolFile; }  // the school file read; empty when none
    QString UserFile() const { return FUserFile; }      // where the user's file is (it may not exist)

    // What the user may change: without a school file everything; with one, what its
    // `UserMayChange` lists (LessonFolder, ExchangeFolder, Catalogue; "none" for nothing), and
    // LessonFolder alone when it does not say.
    bool UserMayChange(tKey key) const { return (FUserMay & key) != 0; }
    // The folder lessons are saved to by default; empty when neither file names one.
    QString LessonFolder() const;
    // The class exchange folder; empty when neither file names one.
    QString ExchangeFolder() const;
    // The further catalogues: the school's, then the user's own (when the user may add them).
    QList<tCatalogueSource> Catalogues() const;
    // The pupil's name as last given for handing work in («Фамилия Имя»); empty when never given.
    QString PupilName() const { return FPupilName; }

    // Lines of either file that were not understood, with file and line number (for the log).
    QStringList Problems() const { return FProblems; }

    // Writes `value` for `key` into the user's file, keeping its other lines, creating it when
    // missing; an empty value removes the key. Keys: LessonFolder, ExchangeFolder, PupilName.
    // Raises tException naming the file when it cannot be written.
    void SaveUserValue(const QString& key, const QString& value);

  private:
    struct tValues {
        QString LessonFolder;
        QString ExchangeFolder;
        QList<tCatalogueSource> Catalogues;
        QString UserMayChange;
        bool HasUserMayChange = false;
        QString PupilName;
    };
    tValues ReadFile(const QString& path, bool fromSchool);
    QString Expand(const QString& value) const;

    QString FSchoolFile;
    QString FUserFile;
    QString FHome;
    QString FUser;
    int FUserMay = LessonFolderKey | ExchangeFolderKey | CatalogueKey;
    tValues FSchool;
    tValues FOwn;
    QString FPupilName;
    QStringList FProblems;
};
