// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Catalogue.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <functional>

#include "foundation/Schoolsettings.h"

namespace {
// Hidden entries (names starting with '.') are left out because QDir::Hidden is not asked for.
constexpr QDir::Filters FolderFilter = QDir::Dirs | QDir::NoDotAndDotDot;

QString WithSlash(QString path) {
    if (!path.isEmpty() && !path.endsWith(u'/')) path += u'/';
    return path;
}
}  // namespace

tCatalogue::tCatalogue(QList<tCatalogueRoot> roots) : FRoots(std::move(roots)) {
    for (tCatalogueRoot& root : FRoots) root.Path = WithSlash(root.Path);
}

tCatalogue tCatalogue::ForProgram(const QString& programRoot, const tSchoolSettings& school) {
    QList<tCatalogueRoot> roots;
    if (!programRoot.isEmpty()) roots << tCatalogueRoot{programRoot, QString(), tCatalogueRoot::Program};
    for (const tCatalogueSource& source : school.Catalogues())
        roots << tCatalogueRoot{source.Path, source.Name,
                                source.FromSchool ? tCatalogueRoot::School : tCatalogueRoot::User};
    return tCatalogue(std::move(roots));
}

tCatalogue tCatalogue::ForProgram(const QString& programRoot) {
    return ForProgram(programRoot, tSchoolSettings::Load());
}

QStringList tCatalogue::SubFolders(const QString& folder) {
    QStringList names = QDir(folder).entryList(FolderFilter, QDir::NoSort);
    QCollator collator(QLocale(QLocale::Russian, QLocale::Russia));
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        const int c = collator.compare(a, b);
        return c != 0 ? c < 0 : a < b;  // equal for the collator: still one fixed order
    });
    return names;
}

bool tCatalogue::HasSubFolder(const QString& folder) {
    QDirIterator it(folder, FolderFilter);
    return it.hasNext();  // stops at the first hit
}

QList<tCatalogueScenario> tCatalogue::Scenarios(int limit, int maxDepth) const {
    QList<tCatalogueScenario> found;
    QSet<QString> walked;  // canonical paths: a link back up must not walk a tree again
    for (int r = 0; r < FRoots.size(); ++r) {
        const tCatalogueRoot& root = FRoots[r];
        std::function<void(const QString&, int)> walk = [&](const QString& relative, int depth) {
            if (found.size() >= limit || depth > maxDepth) return;
            const QString folder = root.Path + relative;
            const QString canonical = QFileInfo(folder).canonicalFilePath();
            if (canonical.isEmpty() || walked.contains(canonical)) return;
            walked.insert(canonical);
            for (const QString& name : SubFolders(folder)) {
                if (found.size() >= limit) return;
                const QString child = relative + name + u'/';
                if (HasSubFolder(root.Path + child))
                    walk(child, depth + 1);
                else
                    found << tCatalogueScenario{r, root.Path, child, name};
            }
        };
        walk(QString(), 0);
    }
    return found;
}

namespace {
tCatalogueEntry Entry(const QString& root, const QString& relative, const QString& name) {
    tCatalogueEntry entry{name, root, relative + name + u'/', false};
    entry.Group = tCatalogue::HasSubFolder(entry.Folder());
    return entry;
}

void CollectScenarios(const tCatalogueEntry& group, int limit, QList<tCatalogueEntry>& out) {
    for (const tCatalogueEntry& child : tCatalogue::Children(group)) {
        if (out.size() >= limit) return;
        if (child.Group)
            CollectScenarios(child, limit, out);
        else
            out << child;
    }
}
}  // namespace

QList<tCatalogueEntry> tCatalogue::TopLevel() const {
    QList<tCatalogueEntry> entries;
    for (const tCatalogueRoot& root : FRoots)
        for (const QString& name : SubFolders(root.Path)) entries << Entry(root.Path, QString(), name);
    return entries;
}

QList<tCatalogueEntry> tCatalogue::Children(const tCatalogueEntry& group) {
    QList<tCatalogueEntry> entries;
    for (const QString& name : SubFolders(group.Folder())) entries << Entry(group.Root, group.Relative, name);
    return entries;
}

QList<tCatalogueEntry> tCatalogue::ScenariosBelow(const tCatalogueEntry& group, int limit) {
    QList<tCatalogueEntry> out;
    if (group.Group) CollectScenarios(group, limit, out);
    return out;
}

bool tCatalogue::Locate(const QString& folder, tCatalogueEntry& entry) const {
    const QString wanted = WithSlash(QDir::cleanPath(folder));
    for (const tCatalogueRoot& root : FRoots) {
        const QString clean = WithSlash(QDir::cleanPath(root.Path));
        if (wanted.size() <= clean.size() || !wanted.startsWith(clean)) continue;
        const QString relative = wanted.mid(clean.size());
        entry = {relative.section(u'/', -2, -2), root.Path, relative, HasSubFolder(wanted)};
        return true;
    }
    return false;
}
