// SPDX-License-Identifier: GPL-3.0-or-later
// The scenario catalogues as folders on the disk, without any window: the program's own catalogue
// (data/ beside the program) and the further catalogues of the school settings, each with the
// source it comes from. A folder with sub-folders is a group, one without is a scenario; hidden
// folders (names starting with '.') are not counted; folders are listed by name. The chooser
// builds its tree from this listing, and so can any other view of the catalogue.
// A value type; the disk is read on every call, so a changed catalogue shows at once.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

class tSchoolSettings;

// One catalogue root.
struct tCatalogueRoot {
    enum tSource { Program, School, User };
    QString Path;  // ends with '/'
    QString Name;  // what the chooser calls it; empty for the program's own catalogue
    tSource Source = Program;
};

// One scenario of a catalogue.
struct tCatalogueScenario {
    int Root = 0;      // index into tCatalogue::Roots()
    QString RootPath;  // that root's Path
    QString Relative;  // folder below the root, ending with '/' ("Тепло/Остывание воды/")
    QString Caption;   // the scenario folder's name
    QString Folder() const { return RootPath + Relative; }
};

// One folder of a catalogue, a group or a scenario, as the start page and the chooser's opening
// place see it.
struct tCatalogueEntry {
    QString Caption;   // the folder's name
    QString Root;      // the catalogue root it lies under, ending with '/'
    QString Relative;  // the path below the root: each name followed by '/'
    bool Group = false;

    QString Folder() const { return Root + Relative; }
    bool operator==(const tCatalogueEntry&) const = default;
};
Q_DECLARE_METATYPE(tCatalogueEntry)

class tCatalogue {
  public:
    tCatalogue() = default;
    explicit tCatalogue(QList<tCatalogueRoot> roots);
    // The program's catalogue `programRoot` first (left out when empty), then the further
    // catalogues of `school` in its order.
    static tCatalogue ForProgram(const QString& programRoot, const tSchoolSettings& school);
    // The same with the school settings of the current environment.
    static tCatalogue ForProgram(const QString& programRoot);

    const QList<tCatalogueRoot>& Roots() const { return FRoots; }

    // The sub-folders of `folder` that the catalogue counts, in name order: case-insensitive,
    // numbers in numeric order ("2" before "10"), so a teacher orders entries by prefixing "1.", "2.".
    static QStringList SubFolders(const QString& folder);
    // True as soon as `folder` holds one counted sub-folder (the listing stops at the first).
    static bool HasSubFolder(const QString& folder);

    // Every scenario of every root, root by root, depth first in name order; at most `limit`
    // scenarios and `maxDepth` levels, and a folder reached twice through links is walked once.
    QList<tCatalogueScenario> Scenarios(int limit = 10000, int maxDepth = 16) const;

    // The first level of every root, root by root.
    QList<tCatalogueEntry> TopLevel() const;
    // The entries directly in a group (none for a scenario).
    static QList<tCatalogueEntry> Children(const tCatalogueEntry& group);
    // Every scenario below `group`, depth first in listing order, at most `limit` of them.
    static QList<tCatalogueEntry> ScenariosBelow(const tCatalogueEntry& group, int limit);
    // The entry of a folder below one of the roots (the first root that holds it), with Group read
    // from the disk; false when the folder lies under no root. Used to find the current scenario.
    bool Locate(const QString& folder, tCatalogueEntry& entry) const;

  private:
    QList<tCatalogueRoot> FRoots;
};
