// SPDX-License-Identifier: GPL-3.0-or-later
// The folders of the XDG base directory rules that the program uses: where a user's state
// (autosave, recent lessons, the log of an installed program) and configuration live, and where an
// administrator's system-wide configuration is looked for. A variable that is unset, empty or not
// an absolute path counts as unset (the rules say to ignore relative paths there).
// Stateless; any thread.
#pragma once

#include <QString>
#include <QStringList>

// $XDG_STATE_HOME, else ~/.local/state.
QString StateHome();
// The program's state folder: StateHome()/rovelin.
QString ProgramStateFolder();
// $XDG_CONFIG_HOME, else ~/.config.
QString ConfigHome();
// $XDG_CONFIG_DIRS (':'-separated, most important first), else /etc/xdg.
QStringList ConfigDirs();
