// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the guest's kernel: the hub sensor behind ftdi_sio unplugged in the middle of a
// run gives one box at once, the window lets go of the port («Подключение» no longer pressed), and
// the sensor plugged in again is connected on its old node and measures.
#include <gtest/gtest.h>

#include <cstdio>

#include "components/Chart.h"
#include "devices/Device.h"
#include "experiments/Experimentfr.h"
#include "foundation/Stringtable.h"
#include "tests/app/Apptest.h"
#include "tests/kernel/Guestsupport.h"
#include "tests/kernel/Rig.h"
#include "tests/support/Wait.h"

namespace {

int Points(tTestMain& w) {
    return w.Frame() ? w.Frame()->Chart()->Series(w.CurrentSeries())->Count() : 0;
}

}  // namespace

TEST(KernelWindow, UnpluggedSensorGivesOneBoxAndIsConnectedAgainOnItsNode) {
    rig::Log();
    const QString name = QString::fromLatin1(rig::kHubSensor.Model);
    QString node;
    {
        std::unique_ptr<tSettings> settings = rig::LinuxSettings();
        std::unique_ptr<tDevice> device = rig::FindSerialSensor(*settings, name);
        ASSERT_TRUE(device);
        node = device->PortName();
    }
    tBoxRecorder boxes;
    tProgramFolder folder({QStringLiteral("UseFTDI=0"), QStringLiteral("UseCDC=1"),
                           QStringLiteral("UseHID=0"), QStringLiteral("Timeout=200")});
    tTestMain w(folder);
    w.Candidates.Serial = {node};
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(name, 100000, 1)));
    ASSERT_NE(w.Device(), nullptr) << boxes.Texts().join(u'|').toStdString();
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(Points(w) >= 3, 30000);

    const auto unplugged = rig::tClock::now();
    ASSERT_TRUE(rig::Control().Unplug(rig::kHubSensor.Name));
    ASSERT_EVENTUALLY(!boxes.Seen.empty(), 120000);
    const double toBox = rig::MsSince(unplugged);
    // Whatever the lost sensor posted before its thread was joined is handled by now.
    rovelin_test::Pump(1000);
    std::printf("rig figure: window: unplug to box %.0f ms, %zu box(es)\n", toBox, boxes.Seen.size());
    std::fflush(stdout);
    ASSERT_EQ(boxes.Seen.size(), 1u) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(boxes.Seen[0].text, LoadStr(msg::ReadError));
    EXPECT_FALSE(w.IsMeasuring());
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_FALSE(w.acExperimentConnect->isChecked());
    EXPECT_LT(toBox, 10000);

    ASSERT_TRUE(rig::Control().Plug(rig::kHubSensor.Name));
    ASSERT_EVENTUALLY(rig::NodeExists(node), 60000);
    w.Execute(w.acExperimentConnect);
    ASSERT_NE(w.Device(), nullptr) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(w.Device()->PortName(), node);
    EXPECT_TRUE(w.acExperimentConnect->isChecked());
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(Points(w) >= 3, 30000);
    w.Execute(w.acExperimentStop);
    EXPECT_EQ(boxes.Seen.size(), 1u) << boxes.Texts().join(u'|').toStdString();
}
