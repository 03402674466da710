// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: start, stop, point labels and the 100 ms measurement tick. The decoding and the point
// arithmetic live in measurement/Samples.h; this file wires them to the device, the chart and lb.
#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QTimer>
#include <algorithm>

#include "app/Mainfm.h"
#include "components/Chart.h"
#include "devices/Device.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "foundation/Appmessage.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "lesson/Autosave.h"
#include "lesson/Lesson.h"

namespace {

// A sensor is called silent after this long without a value: 10 s, or 20 sampling periods when
// those are longer, so that a slow scenario's normal gaps do not count.
constexpr double kSilentSeconds = 10.0;
constexpr double kSilentPeriods = 20.0;

int ValuesWaiting(const tChannelValues& channels) {
    int count = 0;
    for (int channel = 0; channel < tChannelValues::kChannels; ++channel) count += channels.Count(channel);
    return count;
}
}  // namespace

void TfmMain::acExperimentStartExecute() {
    // Failures the previous run posted before its thread was joined are that run's, not this one's.
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), tAppMessageEvent::EventType());
    FRunFaultReported = false;
    FCurrentSeries = FFrame->StartMeasurement(*FExperiment);
    FRunStarted = QDateTime::currentDateTime();
    // Every run is a new run of the lesson, shown in the series the frame chose; the run that
    // series showed before stays in the lesson.
    tRun* run = FLesson->AddRun(FExperiment->Freq * 1e-6 * std::max(1, FExperiment->Average));
    run->Started = QDateTime::currentDateTime();
    run->SensorName = FExperiment->SensorName;
    FLesson->SetSeriesRun(FCurrentSeries, run);
    SetValueLabelVisible(false);
    FChannels.Clear();
    FDevice->Start(0);
    FCurrentChannel = 0;
    FStartCount = CounterNow();
    FLastValueCount = FStartCount;
    stbSilence->hide();
    tmMeasure->start();
    UpdateActions();
}

void TfmMain::acExperimentStopExecute() {
    tmMeasure->stop();
    if (FDevice) FDevice->Stop();
    if (FFrame) FFrame->StopMeasurement();
    stbSilence->hide();
    if (FAutosave) FAutosave->SaveNow();  // every Stop is kept at once
    UpdateActions();
}

void TfmMain::ReportRunFault(const QString& text) {
    // A lost sensor keeps failing until its thread has been joined; what it posted meanwhile is
    // the same event and is only logged.
    if (FRunFaultReported) {
        LogAdd(text);
        return;
    }
    FRunFaultReported = true;
    Execute(acExperimentStop);
    // An unplugged sensor's port only fails from now on, and while it is open the system keeps its
    // device node: the sensor plugged in again would come back under another one. So the port is
    // closed (the button shows the sensor as gone) and the next connection finds it where it was.
    if (FDevice && FDevice->IsGone()) {
        LogAdd(QStringLiteral("The sensor on %1 is gone; its port is closed").arg(FDevice->PortPath()));
        FDevice.reset();
        UpdateActions();
    }
    ShowWarning(text);
}

void TfmMain::acExperimentMarkPointExecute() {
    if (!FFrame) return;
    // While the box is open the tick keeps decoding but holds the points back (checked state).
    acExperimentMarkPoint->setChecked(true);
    struct tUncheck {
        QAction* action;
        ~tUncheck() { action->setChecked(false); }
    } uncheck{acExperimentMarkPoint};
    FFrame->AskPointLabel();
}

void TfmMain::ShowElapsed() {
    stbElapsed->setText(ElapsedText(ElapsedTenths(CounterNow(), FStartCount, FCountFrequency)));
}

void TfmMain::ShowSilence(bool valuesCame) {
    const int64_t now = CounterNow();
    if (valuesCame) FLastValueCount = now;
    const double silent = static_cast<double>(now - FLastValueCount) / static_cast<double>(FCountFrequency);
    const double limit =
        FExperiment ? std::max(kSilentSeconds, kSilentPeriods * FExperiment->Freq * 1e-6) : kSilentSeconds;
    if (!IsMeasuring() || silent < limit) {
        stbSilence->hide();
        return;
    }
    stbSilence->setText(QStringLiteral("Нет данных от датчика %1 с").arg(static_cast<qint64>(silent)));
    stbSilence->show();
}

void TfmMain::AddPoints() {
    if (!FExperiment || !FFrame || !FLesson) return;
    tRun* run = FLesson->SeriesRun(FCurrentSeries);
    if (!run) return;
    const qsizetype from = run->Count();
    tPointBuilder builder(FExperiment->Freq, FExperiment->Average);
    while (FExperiment && FFrame && builder.HasPoint(FChannels) && !acExperimentMarkPoint->isChecked()) {
        // The run computes X from the index and the step the builder also uses.
        const tPoint point = builder.Next(FChannels, static_cast<int>(run->Count()));
        run->Append(point.y, FFrame->TakePointLabel());
        double lo = 0, hi = 0;
        if (run->Count() == 1 &&
            FirstPointAxis(point.y, FExperiment->YOffset, FExperiment->MinY, FExperiment->MaxY, lo, hi))
            FFrame->Chart()->LeftAxis().SetRange(lo, hi);
        ShowElapsed();
    }
    FLesson->NotifyAppended(run, from, run->Count() - from);
}

void TfmMain::tmMeasureTimer() {
    bool valuesCame = false;
    if (FDevice) {
        tDevicePackets source(*FDevice);
        const int waiting = ValuesWaiting(FChannels);
        const tIntakeResult intake = TakePackets(source, FChannels, FCurrentChannel);
        valuesCame = ValuesWaiting(FChannels) > waiting;
        // A broken frame ends the run; what was decoded before it is still plotted below.
        if (intake.Malformed) Execute(acExperimentStop);
    }
    ShowSilence(valuesCame);
    AddPoints();
    ShowElapsed();
    if (!FFrame || !FExperiment) return;
    TChartSeries* series = FFrame->Chart()->Series(FCurrentSeries);
    if (!series || series->Count() < 1) return;
    // The K330 read-out is not meaningful as a single value; its label stays hidden.
    if (FExperiment->SensorName != QStringLiteral("K330")) {
        SetValueLabelVisible(true);
        lb->setText(FFrame->GetLastValueText(FExperiment->FormatY));
    }
    FFrame->UpdateAxes(FExperiment->AutoSize);
}
