// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Commandline.h"

namespace {
QStringList& Arguments() {
    static QStringList arguments;
    return arguments;
}
}  // namespace

void SetCommandLine(const QStringList& arguments) {
    Arguments() = arguments;
}

const QStringList& CommandLine() {
    return Arguments();
}

bool IsSwitch(const QString& argument, const QString& word) {
    if (argument.size() != word.size() + 1) return false;
    if (argument[0] != u'-' && argument[0] != u'/') return false;
    return argument.mid(1).compare(word, Qt::CaseInsensitive) == 0;
}

bool HasSwitch(const QString& word) {
    for (const QString& argument : Arguments())
        if (IsSwitch(argument, word)) return true;
    return false;
}
