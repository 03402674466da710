// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Guide.h"

#include <QFile>
#include <QHash>

#include "foundation/Language.h"

QString GuidePageFile(tGuideTopic topic) {
    switch (topic) {
        case tGuideTopic::Contents:
            return QStringLiteral("index.html");
        case tGuideTopic::FirstSteps:
            return QStringLiteral("start.html");
        case tGuideTopic::Scenarios:
            return QStringLiteral("scenarios.html");
        case tGuideTopic::Chart:
            return QStringLiteral("chart.html");
        case tGuideTopic::Markers:
            return QStringLiteral("markers.html");
        case tGuideTopic::Table:
            return QStringLiteral("table.html");
        case tGuideTopic::Description:
            return QStringLiteral("description.html");
        case tGuideTopic::Report:
            return QStringLiteral("report.html");
        case tGuideTopic::Pulse:
            return QStringLiteral("pulse.html");
        case tGuideTopic::Lessons:
            return QStringLiteral("lessons.html");
        case tGuideTopic::Sensors:
            return QStringLiteral("sensors.html");
        case tGuideTopic::Keys:
            return QStringLiteral("keys.html");
    }
    return QStringLiteral("index.html");
}

QUrl GuideUrl(tGuideTopic topic) {
    // The English interface opens the English pages (:/guide/en/), each beside its Russian page.
    const QString folder = InterfaceLanguage() == tLanguage::English &&
                                   QFile::exists(QStringLiteral(":/guide/en/") + GuidePageFile(topic))
                               ? QStringLiteral("qrc:/guide/en/")
                               : QStringLiteral("qrc:/guide/");
    return QUrl(folder + GuidePageFile(topic));
}

tGuideTopic GuideTopicForPage(const QString& pageName, bool pulse) {
    static const QHash<QString, tGuideTopic> pages = {
        {QStringLiteral("tsChart"), tGuideTopic::Chart},
        {QStringLiteral("tsTable"), tGuideTopic::Table},
        {QStringLiteral("tsData"), tGuideTopic::Table},
        {QStringLiteral("tsDescr"), tGuideTopic::Description},
        {QStringLiteral("tsReport"), tGuideTopic::Report},
        {QStringLiteral("frStart"), tGuideTopic::FirstSteps},
        {QStringLiteral("fmExperiments"), tGuideTopic::Scenarios},
    };
    const tGuideTopic topic = pages.value(pageName, tGuideTopic::Contents);
    return topic == tGuideTopic::Chart && pulse ? tGuideTopic::Pulse : topic;
}
