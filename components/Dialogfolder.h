// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program's file dialogs open, and the names they propose. User-interface thread only.
#pragma once

#include <QDate>
#include <QString>

// The folder a file was last chosen in while the program runs; before that the lesson folder of
// the school settings, else the user's documents folder (or home). Never the program's own
// folder, which is read-only once installed.
QString DialogFolder();
// Remembers the folder of `chosenPath` (a file) for the next dialog.
void RememberDialogFolder(const QString& chosenPath);
// "<name> <date>.<suffix>" with the characters no file system accepts replaced; "Результаты" for
// an empty name.
QString ProposedFileName(const QString& name, const QDate& date, const QString& suffix);
