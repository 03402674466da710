// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Startpage.h"

#include <QAction>
#include <QVBoxLayout>

#include "app/Help.h"
#include "app/Mainfm.h"
#include "experiments/Catalogue.h"
#include "experiments/Startfr.h"
#include "foundation/Guard.h"

tStartPage::tStartPage(TfmMain& window, tHelp& help, QVBoxLayout* client)
    : QObject(&window), FWindow(window) {
    FPage = new TfrStart(client->parentWidget());
    // The same catalogues the chooser lists.
    FPage->SetCatalogue(tCatalogue::ForProgram(window.Session().CatalogueRoot()));
    FPage->SetRecentLessons(window.RecentLessons());
    client->addWidget(FPage, 1);
    connect(FPage, &TfrStart::ScenarioChosen, this,
            [this](const tCatalogueEntry& entry) { RunGuarded([&] { FWindow.OpenScenario(entry); }); });
    connect(FPage, &TfrStart::LessonChosen, this,
            [this](const QString& path) { RunGuarded([&] { FWindow.OpenLessonFile(path); }); });
    connect(FPage, &TfrStart::OpenLessonAsked, this, [this] { FWindow.acFileOpenLesson->trigger(); });
    connect(FPage, &TfrStart::GuideAsked, this, [h = &help] { h->ShowGuide(tGuideTopic::FirstSteps); });
}

tStartPage::~tStartPage() = default;

void tStartPage::Leave() {
    if (!FPage) return;
    // Deleted later: the page may be inside its own tile's click when it is asked to go.
    FPage->hide();
    FPage->deleteLater();
    FPage = nullptr;
}

void tStartPage::RecentChanged() {
    if (FPage) FPage->SetRecentLessons(FWindow.RecentLessons());
}
