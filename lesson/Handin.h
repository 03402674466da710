// SPDX-License-Identifier: GPL-3.0-or-later
// Handing work in: a pupil's lesson, its report and its runs go into the class exchange folder,
// in a folder of their own named «<Фамилия Имя> — <scenario> — <date time>». The folder is made
// with an exclusive mkdir, so two pupils (or one pupil twice in a minute) never share or overwrite
// a folder: the second gets « (2)» added. Every file is written whole before it takes its name;
// when one fails, what this hand-in wrote is removed again and the reason comes back in Russian.
// Window-free; call from the thread that owns whatever the parts read.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

// One file of the hand-in: the extension of its name and how it is written.
struct tHandInPart {
    QString Suffix;  // "rovelin", "pdf", "csv"
    // Writes the whole file at `path` (which does not exist yet); raises tException with the reason.
    std::function<void(const QString& path)> Write;
};

// A part made in memory (a PDF report, a CSV table).
tHandInPart HandInBytes(const QString& suffix, const QByteArray& bytes);
// A part copied from a file (a saved lesson).
tHandInPart HandInCopy(const QString& suffix, const QString& sourcePath);

struct tHandInResult {
    bool Ok = false;
    QString Folder;  // where the work went, when Ok
    QString Reason;  // why it did not, ready for the box, when not Ok
};

// «<pupil> — <scenario> — <yyyy-MM-dd HH.mm>»: blanks tidied, characters no file system takes
// (/ \ : * ? " < > | and control characters) replaced by '_', each name cut to a length every
// file system takes.
QString HandInFolderName(const QString& pupil, const QString& scenario, const QDateTime& when);

// Puts `parts` into a new folder below `exchangeFolder`, each named after the folder with its
// suffix. A part that fails takes the whole hand-in back, with the reason. Raises nothing but a
// part's tAbort (the pupil cancelled), after taking the hand-in back.
tHandInResult HandIn(const QString& exchangeFolder, const QString& pupil, const QString& scenario,
                     const QDateTime& when, const QList<tHandInPart>& parts);
