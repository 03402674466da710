// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace {
tLanguage gInstalled = tLanguage::Russian;
// The translator installed last, replaced when another language is installed.
QPointer<QTranslator> gTranslator;
}  // namespace

tLanguage LanguageFor(const QStringList& uiLanguages) {
    for (const QString& name : uiLanguages) {
        const QString code = name.section(u'-', 0, 0).section(u'_', 0, 0).toLower();
        if (code == QLatin1String("ru")) return tLanguage::Russian;
        if (code == QLatin1String("en")) return tLanguage::English;
    }
    return tLanguage::Russian;
}

tLanguage SystemLanguage() {
    return LanguageFor(QLocale::system().uiLanguages());
}

tLanguage InterfaceLanguage() {
    return gInstalled;
}

QString InterfaceLanguageCode() {
    return gInstalled == tLanguage::English ? QStringLiteral("en") : QStringLiteral("ru");
}

bool InstallInterfaceLanguage(QCoreApplication& app, tLanguage language) {
    if (gTranslator) {
        QCoreApplication::removeTranslator(gTranslator);
        delete gTranslator;
    }
    gInstalled = tLanguage::Russian;
    auto* translator = new QTranslator(&app);
    const bool loaded = language == tLanguage::English
                            ? translator->load(QStringLiteral(":/rovelin/i18n/rovelin_en.qm"))
                            : translator->load(QStringLiteral("qtbase_ru"),
                                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!loaded) {
        delete translator;
        // Russian is written in the sources, so the program's texts stand even without a file.
        if (language == tLanguage::English) InstallInterfaceLanguage(app, tLanguage::Russian);
        return false;
    }
    QCoreApplication::installTranslator(translator);
    gTranslator = translator;
    gInstalled = language;
    return true;
}
