// SPDX-License-Identifier: GPL-3.0-or-later
// The sample catalogue in demo mode: every scenario with a sensor names a scene, the scene's curve
// stays on the scenario's axes and tells its story, and two runs differ as real repetitions do.
// The simulated sensor runs on an injected clock, so no test waits for real time.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <vector>

#include "experiments/Experiment.h"
#include "sim/Simports.h"
#include "sim/Simsensor.h"

namespace {

struct tSample {
    QString Folder;
    tExperiment Scenario;
};

std::vector<tSample> SampleScenarios() {
    std::vector<tSample> samples;
    QDirIterator it(QStringLiteral(ROVELIN_SOURCE_DIR "/data"), {QStringLiteral("experiment.txt")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString folder = it.nextFileInfo().path() + u'/';
        tSample sample{folder, {}};
        sample.Scenario.Clear();
        QString error;
        EXPECT_TRUE(LoadExperimentFile(folder, sample.Scenario, error)) << error.toStdString();
        if (sample.Scenario.SensorName.toUpper() != QStringLiteral("NO")) samples.push_back(sample);
    }
    std::sort(samples.begin(), samples.end(),
              [](const tSample& a, const tSample& b) { return a.Folder < b.Folder; });
    return samples;
}

// The points a run draws in its first `seconds`: means of Average values, as the window plots them.
std::vector<double> Points(const tExperiment& e, uint32_t seed, int run, double seconds) {
    const int64_t values = static_cast<int64_t>(seconds * 1e6 / e.Freq);
    std::vector<double> points;
    double sum = 0;
    for (int64_t k = 0; k < values; ++k) {
        sum += SimWaveValue(e.SensorName, 0, k, e.Freq, seed, e.Demo, run);
        if ((k + 1) % e.Average == 0) {
            points.push_back(sum / e.Average);
            sum = 0;
        }
    }
    return points;
}

std::string Name(const tSample& s) {
    return QDir(s.Folder).dirName().toStdString();
}

// One run of the scenario's demo sensor over `seconds` of its own clock: the values it sent.
std::vector<double> SensorRun(tSimSensor& sensor, int64_t& clockNs, double seconds) {
    const uint8_t start[] = {'S', 0};
    sensor.HostWrite(start, sizeof start);
    clockNs += static_cast<int64_t>(seconds * 1e9);
    uint8_t buffer[4096];
    while (sensor.HostRead(buffer, sizeof buffer) > 0) {
    }
    const std::vector<double> sent = sensor.SentValues(0);
    if (sensor.Hub()) {
        const uint8_t stop[] = {0xFF};
        sensor.HostWrite(stop, sizeof stop);
    } else {
        const uint8_t stop[] = {'T', '\r', '\n'};
        sensor.HostWrite(stop, sizeof stop);
    }
    return sent;
}

}  // namespace

TEST(DemoScenes, EverySampleScenarioTellsItsStoryOnItsAxes) {
    const std::vector<tSample> samples = SampleScenarios();
    ASSERT_EQ(samples.size(), 7u);
    for (const tSample& s : samples) {
        const tExperiment& e = s.Scenario;
        EXPECT_TRUE(SimSceneKnown(e.Demo)) << Name(s) << ": Demo=" << e.Demo.toStdString();
        for (uint32_t seed : {1u, 7u, 4242u}) {
            for (int run = 0; run < 4; ++run) {
                const std::vector<double> points = Points(e, seed, run, 30.0);
                ASSERT_FALSE(points.empty()) << Name(s);
                const auto [lo, hi] = std::minmax_element(points.begin(), points.end());
                EXPECT_GE(*lo, e.MinY) << Name(s) << " seed " << seed << " run " << run;
                EXPECT_LE(*hi, e.MaxY) << Name(s) << " seed " << seed << " run " << run;
                // Not a line glued to an edge: the curve uses the chart.
                EXPECT_GT(*hi, e.MinY + 0.1 * (e.MaxY - e.MinY)) << Name(s);
            }
        }
    }
}

TEST(DemoScenes, TheStoriesOfTheLessons) {
    auto curve = [](const QString& scene, const QString& model, int freq, double seconds, int run = 0) {
        tExperiment e;
        e.SensorName = model;
        e.Freq = freq;
        e.Average = 1;
        e.Demo = scene;
        return Points(e, 1, run, seconds);
    };
    // A palm warms the sensor from the room's temperature to about 33 °C, and lets it cool again.
    const std::vector<double> palm = curve(QStringLiteral("palm"), QStringLiteral("T100"), 1000000, 120);
    EXPECT_NEAR(palm.front(), 22.2, 1.0);
    EXPECT_NEAR(*std::max_element(palm.begin(), palm.end()), 33.0, 1.5);
    EXPECT_LT(palm.back(), *std::max_element(palm.begin(), palm.end()) - 3.0);
    // Hot water cools from about 80 °C.
    const std::vector<double> water =
        curve(QStringLiteral("hot-water"), QStringLiteral("T100"), 1000000, 600);
    EXPECT_NEAR(water.front(), 80.0, 2.5);
    EXPECT_LT(water.back(), water.front() - 30.0);
    // Warm, cold, then mixed water: the mixture lies between the two.
    const double warm = curve(QStringLiteral("mixing"), QStringLiteral("T100"), 1000000, 60, 0).back();
    const double cold = curve(QStringLiteral("mixing"), QStringLiteral("T100"), 1000000, 60, 1).back();
    const double mixed = curve(QStringLiteral("mixing"), QStringLiteral("T100"), 1000000, 60, 2).back();
    EXPECT_LE(warm, 50.0);
    EXPECT_LT(cold, 15.0);
    EXPECT_GT(mixed, cold + 5.0);
    EXPECT_LT(mixed, warm - 5.0);
    // Switching the classroom's lamps on adds a few hundred lux for a while.
    const std::vector<double> room = curve(QStringLiteral("classroom"), QStringLiteral("L200"), 100000, 60);
    const auto [dark, bright] = std::minmax_element(room.begin(), room.end());
    EXPECT_GT(*bright - *dark, 200.0);
    EXPECT_NEAR(room.front(), room.back(), 120.0);  // off again at the end
    // A cell near 1.5 V once the clamps touch it; the used one of the second run is lower.
    const double fresh = curve(QStringLiteral("battery"), QStringLiteral("K330"), 100000, 20, 0).back();
    const double used = curve(QStringLiteral("battery"), QStringLiteral("K330"), 100000, 20, 1).back();
    EXPECT_NEAR(fresh, 1.57, 0.05);
    EXPECT_LT(used, fresh - 0.1);
    EXPECT_EQ(curve(QStringLiteral("battery"), QStringLiteral("K330"), 100000, 20, 0).front(), 0.0);
}

TEST(DemoScenes, PulseAtRestIsNear72BeatsPerMinute) {
    tExperiment e;
    e.SensorName = QStringLiteral("P620");
    e.Freq = 10000;
    e.Average = 1;
    e.Demo = QStringLiteral("pulse");
    const std::vector<double> wave = Points(e, 1, 0, 30.0);
    const auto [lo, hi] = std::minmax_element(wave.begin(), wave.end());
    const double level = *lo + 0.7 * (*hi - *lo);
    int beats = 0;
    for (size_t k = 1; k < wave.size(); ++k) beats += wave[k - 1] >= level && wave[k] < level;
    EXPECT_NEAR(beats * 2.0, 72.0, 3.0);  // falling crossings in 30 s, per minute
}

TEST(DemoScenes, TwoRunsOfEveryScenarioDiffer) {
    for (const tSample& s : SampleScenarios()) {
        const tExperiment& e = s.Scenario;
        int64_t clockNs = 0;
        tSimSensorConfig config = tSimRegistry::DemoConfig(e.SensorName, false);
        config.Scene = e.Demo;
        config.PeriodUs = e.Freq;
        config.Clock = [&clockNs] { return clockNs; };
        tSimSensor sensor(config);
        const std::vector<double> first = SensorRun(sensor, clockNs, 30.0);
        const std::vector<double> second = SensorRun(sensor, clockNs, 30.0);
        ASSERT_GT(first.size(), 20u) << Name(s);
        ASSERT_GT(second.size(), 20u) << Name(s);
        const size_t n = std::min(first.size(), second.size());
        double apart = 0;
        for (size_t k = 0; k < n; ++k) apart += std::abs(first[k] - second[k]);
        // Visible beside each other: on average more than half a percent of the axis apart.
        EXPECT_GT(apart / n, 0.005 * (e.MaxY - e.MinY)) << Name(s);
    }
}

TEST(DemoScenes, DescriptionsNameTheButtonsAsTheWindowShowsThem) {
    QDirIterator it(QStringLiteral(ROVELIN_SOURCE_DIR "/data"), {QStringLiteral("*.rtf")}, QDir::Files,
                    QDirIterator::Subdirectories);
    int documents = 0;
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        // The documents are RTF in code page 1251: \'hh stands for one byte.
        QByteArray bytes;
        const QByteArray raw = file.readAll();
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == '\'') {
                bytes.append(char(raw.mid(i + 2, 2).toInt(nullptr, 16)));
                i += 3;
            } else {
                bytes.append(raw[i]);
            }
        }
        static const QByteArray oldStart = QByteArray::fromHex("d1f2e0f0f2");     // «Старт» in 1251
        static const QByteArray oldMark = QByteArray::fromHex("abcce5f2eae0bb");  // «Метка» in 1251
        EXPECT_FALSE(bytes.contains(oldStart)) << file.fileName().toStdString();
        EXPECT_FALSE(bytes.contains(oldMark)) << file.fileName().toStdString();
        ++documents;
    }
    EXPECT_GE(documents, 14);
}
