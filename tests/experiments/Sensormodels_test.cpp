// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor-model table: the rules that hang on a scenario's sensor name.
#include "experiments/Sensormodels.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(SensorModels, NoSensorInAnyLetterCaseIsTheManualRow) {
    for (const char* name : {"NO", "no", "nO", "No"}) {
        const tSensorModel& model = SensorModelFor(QString::fromLatin1(name));
        EXPECT_TRUE(model.Manual) << name;
        EXPECT_FALSE(model.PulseFrame) << name;
    }
    // Nothing is trimmed: a blank makes it a sensor name the program does not know.
    EXPECT_FALSE(SensorModelFor(QStringLiteral("NO ")).Manual);
    EXPECT_FALSE(SensorModelFor(QStringLiteral("NONE")).Manual);
}

TEST(SensorModels, OtherNamesCompareExactly) {
    EXPECT_TRUE(SensorModelFor(QStringLiteral("P620")).PulseFrame);
    EXPECT_FALSE(SensorModelFor(QStringLiteral("p620")).PulseFrame);
    EXPECT_FALSE(SensorModelFor(QStringLiteral("K330")).ShowsLiveValue);
    EXPECT_TRUE(SensorModelFor(QStringLiteral("k330")).ShowsLiveValue);
    for (const char* name : {"T100", "L200"}) {
        const tSensorModel& model = SensorModelFor(QString::fromLatin1(name));
        EXPECT_STREQ(model.Name, name);
        EXPECT_TRUE(model.ShowsLiveValue);
        EXPECT_FALSE(model.PulseFrame || model.Manual);
    }
}

TEST(SensorModels, AnUnknownSensorGetsTheOrdinaryRules) {
    for (const QString& name : {QStringLiteral("X999"), QString(), QStringLiteral("Т100")}) {  // Cyrillic Т
        const tSensorModel& model = SensorModelFor(name);
        EXPECT_STREQ(model.Name, "") << name.toStdString();
        EXPECT_FALSE(model.Manual);
        EXPECT_FALSE(model.PulseFrame);
        EXPECT_TRUE(model.ShowsLiveValue);
    }
}

TEST(SensorModels, EveryRowHasANameOfItsOwn) {
    QSet<QString> names;
    for (const tSensorModel& model : SensorModels()) {
        EXPECT_STRNE(model.Name, "");
        names.insert(QString::fromLatin1(model.Name).toUpper());
        EXPECT_EQ(&SensorModelFor(QString::fromLatin1(model.Name)), &model) << model.Name;
    }
    EXPECT_EQ(names.size(), static_cast<qsizetype>(SensorModels().size()));
}
