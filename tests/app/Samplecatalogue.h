// SPDX-License-Identifier: GPL-3.0-or-later
// A program folder holding the program's own sample catalogues, for the window tests that need the
// real scenarios (ROVELIN_SOURCE_DIR names the sources).
#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "Apptest.h"

// A fresh program folder with the Russian catalogue (data/) and the English one the program picks
// with the English interface (data-en/).
class tCatalogueFolder : public tProgramFolder {
  public:
    tCatalogueFolder() {
        Copy(QStringLiteral(ROVELIN_SOURCE_DIR "/data"), Data());
        Copy(QStringLiteral(ROVELIN_SOURCE_DIR "/data-en"), Path() + QStringLiteral("/data-en/"));
    }

    // The folders holding an experiment.txt under `root`, sorted.
    static QStringList Scenarios(const QString& root) {
        QStringList found;
        QDirIterator it(root, {QStringLiteral("experiment.txt")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) found << QFileInfo(it.next()).absolutePath() + u'/';
        found.sort();
        return found;
    }

  private:
    static void Copy(const QString& from, const QString& to) {
        QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString target = to + QDir(from).relativeFilePath(file);
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::copy(file, target);
        }
    }
};
