// SPDX-License-Identifier: GPL-3.0-or-later
// The sample catalogues shipped in data/ and data-en/: every scenario must load cleanly and fit its
// sensor, and the English catalogue is the Russian one's twin in English.
#include "experiments/Catalogue.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextDocument>

#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentsfm.h"
#include "experiments/Sensormodels.h"
#include "foundation/Messagebox.h"
#include "sim/Simmodels.h"
#include "sim/Simports.h"
#include "tests/support/Language.h"

namespace {
QStringList ScenarioFolders() {
    QStringList folders;
    QDirIterator it(QStringLiteral(ROVELIN_CATALOGUE), QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString folder = it.next() + u'/';
        if (!TfmExperiments::HasSubFolder(folder)) folders << folder;
    }
    return folders;
}

using rovelin_test::HasCyrillic;

// What a pupil reads of a scenario's document, as the Description and Report tabs show it.
struct tShownDocument {
    QString Text;
    int Paragraphs = 0;
    int Pictures = 0;
};

tShownDocument Shown(const QString& file) {
    TRichView view;
    view.LoadFromFile(file);
    return {view.toPlainText(), view.document()->blockCount(),
            static_cast<int>(view.toHtml().count(QStringLiteral("<img")))};
}
}  // namespace

TEST(SampleCatalogue, EveryScenarioLoadsWithItsDocuments) {
    const QStringList folders = ScenarioFolders();
    ASSERT_GE(folders.size(), 6);
    int boxes = 0;
    SetMessageBoxResponderForTests([&](const tBoxRequest&) {
        ++boxes;
        return tBoxAnswer{};
    });
    QStringList sensors;
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        QFile raw(folder + QStringLiteral("experiment.txt"));
        ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
        const QByteArray bytes = raw.readAll();
        EXPECT_TRUE(bytes.contains("\r\n"));
        // Saved in Windows-1251 like the catalogues of the Windows world (so not valid UTF-8).
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8.decode(bytes);
        EXPECT_TRUE(utf8.hasError()) << decoded.size();

        tExperiment r;
        r.Clear();
        QString error;
        ASSERT_TRUE(LoadExperimentFile(folder, r, error)) << error.toStdString();
        sensors << r.SensorName;
        EXPECT_LT(r.MinX, r.MaxX);
        EXPECT_LT(r.MinY, r.MaxY);
        if (r.SensorName == "P620") {
            EXPECT_EQ(r.Freq, 10000);
            EXPECT_EQ(r.MaxY, 1023);
        } else if (r.SensorName == "T100") {
            EXPECT_EQ(r.Freq, 1000000);
        } else if (r.SensorName == "K330") {
            EXPECT_EQ(r.MaxY, 5);
            EXPECT_EQ(r.FormatY, "0.00");
        }
        for (const char* doc : {"descr.rtf", "report.rtf"}) {
            TRichView view;
            EXPECT_NO_THROW(view.LoadFromFile(folder + QString::fromLatin1(doc))) << doc;
            EXPECT_FALSE(view.toPlainText().trimmed().isEmpty()) << doc;
        }
    }
    SetMessageBoxResponderForTests({});
    EXPECT_EQ(boxes, 0);
    for (const char* model : {"T100", "L200", "K330", "P620", "NO"})
        EXPECT_TRUE(sensors.contains(QString::fromLatin1(model))) << model;
}

TEST(SampleCatalogue, OneDescriptionCarriesAPicture) {
    bool found = false;
    for (const QString& folder : ScenarioFolders()) {
        QFile f(folder + QStringLiteral("descr.rtf"));
        if (!f.open(QIODevice::ReadOnly) || !f.readAll().contains("\\pngblip")) continue;
        TRichView view;
        view.LoadFromFile(folder + QStringLiteral("descr.rtf"));
        found = view.toHtml().contains(QStringLiteral("<img"));
    }
    EXPECT_TRUE(found);
}

TEST(SampleCatalogue, EverySensorModelHasARowInTheModelTableAndTheSimulator) {
    for (const QString& folder : ScenarioFolders()) {
        SCOPED_TRACE(folder.toStdString());
        tExperiment r;
        r.Clear();
        QString error;
        ASSERT_TRUE(LoadExperimentFile(folder, r, error)) << error.toStdString();
        const tSensorModel& model = SensorModelFor(r.SensorName);
        if (model.Manual) continue;
        // Listed by its own name, not caught by the row for sensors the program does not know.
        EXPECT_EQ(QLatin1String(model.Name), r.SensorName);
        // The demo mode offers a simulated sensor of it.
        EXPECT_NE(SimModelFor(r.SensorName), nullptr);
        EXPECT_TRUE(DemoSerialCandidates().contains(QStringLiteral("sim:") + r.SensorName));
    }
}

// The English interface shows data-en/: the same groups and scenarios in the same order, each with
// the same sensor, demo scene, axes and read-out formats as its Russian twin, loaded by the chooser's
// own loader without a box, and English wherever a pupil reads it (folder names, axis captions,
// description and report) with the same paragraphs and pictures.
TEST(SampleCatalogue, TheEnglishCatalogueIsTheRussianOneInEnglish) {
    const tCatalogue russian(
        {tCatalogueRoot{QStringLiteral(ROVELIN_CATALOGUE), QString(), tCatalogueRoot::Program}});
    const tCatalogue english(
        {tCatalogueRoot{QStringLiteral(ROVELIN_CATALOGUE_EN), QString(), tCatalogueRoot::Program}});
    ASSERT_EQ(english.TopLevel().size(), russian.TopLevel().size());
    const QList<tCatalogueScenario> ru = russian.Scenarios();
    const QList<tCatalogueScenario> en = english.Scenarios();
    ASSERT_EQ(en.size(), ru.size());
    ASSERT_GE(en.size(), 6);

    int boxes = 0;
    SetMessageBoxResponderForTests([&](const tBoxRequest&) {
        ++boxes;
        return tBoxAnswer{};
    });
    const auto load = [](const tCatalogueScenario& s) {
        tExperiment r;
        EXPECT_TRUE(LoadScenario(s.Caption, s.Relative, s.RootPath, &r)) << s.Relative.toStdString();
        return r;
    };
    const auto withoutCaptions = [](tExperiment r) {
        r.Name = r.Path = r.CaptionX = r.CaptionY = QString();
        QString entries;
        for (const auto& [name, value] : ExperimentEntries(r)) entries += name + u'=' + value + u' ';
        return entries.toStdString();
    };
    for (qsizetype i = 0; i < en.size(); ++i) {
        SCOPED_TRACE((ru[i].Relative + QStringLiteral(" / ") + en[i].Relative).toStdString());
        EXPECT_EQ(en[i].Relative.count(u'/'), ru[i].Relative.count(u'/')) << "same depth of groups";
        EXPECT_FALSE(HasCyrillic(en[i].Relative));
        const tExperiment ruRecord = load(ru[i]);
        const tExperiment enRecord = load(en[i]);
        EXPECT_EQ(withoutCaptions(enRecord), withoutCaptions(ruRecord));
        EXPECT_FALSE(enRecord.Demo.isEmpty() && enRecord.SensorName != QStringLiteral("NO"));
        for (const QString& caption : {enRecord.CaptionX, enRecord.CaptionY}) {
            EXPECT_FALSE(caption.trimmed().isEmpty());
            EXPECT_FALSE(HasCyrillic(caption)) << caption.toStdString();
        }
        for (const char* doc : {"descr.rtf", "report.rtf"}) {
            SCOPED_TRACE(doc);
            const tShownDocument ruDoc = Shown(ru[i].Folder() + QLatin1String(doc));
            const tShownDocument enDoc = Shown(en[i].Folder() + QLatin1String(doc));
            EXPECT_FALSE(enDoc.Text.trimmed().isEmpty());
            EXPECT_FALSE(HasCyrillic(enDoc.Text)) << enDoc.Text.toStdString();
            EXPECT_EQ(enDoc.Paragraphs, ruDoc.Paragraphs);
            EXPECT_EQ(enDoc.Pictures, ruDoc.Pictures);
        }
        // The title of the description names the scenario as its folder does.
        EXPECT_TRUE(Shown(en[i].Folder() + QStringLiteral("descr.rtf")).Text.startsWith(en[i].Caption));
    }
    SetMessageBoxResponderForTests({});
    EXPECT_EQ(boxes, 0);
}
