// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line switches: an argument made of '-' or '/' followed by the word, in any letter case,
// and nothing else (/LOG, -log, /Log_Measure, /DEMO).
#pragma once

#include <QString>
#include <QStringList>

// Stores the program's arguments (argv[1..]); the entry point calls it once, tests may call it again.
void SetCommandLine(const QStringList& arguments);
const QStringList& CommandLine();
// True when one argument is the switch `word`.
bool HasSwitch(const QString& word);
bool IsSwitch(const QString& argument, const QString& word);
