// SPDX-License-Identifier: GPL-3.0-or-later
// The interface language. Russian is the program's own language: its texts are written in the
// sources. English comes from the translation compiled into the program (translations/*.ts) and is
// chosen when the system's languages (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG) name English before
// Russian; any other language keeps Russian.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

enum class tLanguage { Russian, English };

// The language for the system's preferred interface languages, best first ("en-GB", "ru", ...).
tLanguage LanguageFor(const QStringList& uiLanguages);
// The language the system asks for (QLocale::system()).
tLanguage SystemLanguage();
// The language installed by InstallInterfaceLanguage; Russian before any was installed.
tLanguage InterfaceLanguage();
// Short code of InterfaceLanguage(): "ru" or "en", for picking a language's files.
QString InterfaceLanguageCode();

// Installs the program's texts for `language`: the compiled English translation, or Qt's own
// Russian texts (the standard buttons of message boxes and dialogs). Translators belong to `app`.
// Returns false when the translation could not be loaded; the texts then stay Russian.
bool InstallInterfaceLanguage(QCoreApplication& app, tLanguage language);
