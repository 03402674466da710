// SPDX-License-Identifier: GPL-3.0-or-later
// The program's file dialogs: where they open, and the names they propose. Every one starts in
// the folder last used (else the documents folder) and remembers the folder chosen. User-interface
// thread only.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class QWidget;

// The folder a file was last chosen in while the program runs; before that the lesson folder of
// the school settings, else the user's documents folder (or home). Never the program's own
// folder, which is read-only once installed.
QString DialogFolder();
// Remembers the folder of `chosenPath` (a file) for the next dialog.
void RememberDialogFolder(const QString& chosenPath);
// "<name> <date>.<suffix>" with the characters no file system accepts replaced; "Результаты" for
// an empty name.
QString ProposedFileName(const QString& name, const QDate& date, const QString& suffix);

// A save dialog of the program's own (resizable, no read-only box; only existing folders can be
// entered and the process's folder never changes): `proposed` is a file name in DialogFolder(),
// or a whole path whose folder is used. `suffix` goes on a name typed without one. An existing file
// is replaced without a question unless `confirmOverwrite`. Empty when cancelled.
QString AskSaveFileName(QWidget* owner, const QString& title, const QStringList& filters,
                        const QString& suffix, const QString& proposed, bool confirmOverwrite = false);
// An open dialog of the same kind for an existing file. Empty when cancelled.
QString AskOpenFileName(QWidget* owner, const QString& title, const QStringList& filters,
                        const QString& suffix);
