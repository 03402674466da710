// SPDX-License-Identifier: GPL-3.0-or-later
// The sample catalogue shipped in data/: every scenario must load cleanly and fit its sensor.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QStringDecoder>

#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentsfm.h"
#include "experiments/Sensormodels.h"
#include "foundation/Messagebox.h"
#include "sim/Simmodels.h"
#include "sim/Simports.h"

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
