// TfmMain: start, stop, point labels and the 100 ms measurement tick. The decoding and the point
// arithmetic live in measurement/Samples.h; this file wires them to the device, the chart and lb.
#include <QAction>
#include <QLabel>
#include <QTimer>

#include "app/Mainfm.h"
#include "components/Chart.h"
#include "devices/Device.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"

namespace {
// The connected device as the intake's packet source.
class tDeviceSource : public tPacketSource {
  public:
    explicit tDeviceSource(tDevice& device) : FDevice(device) {}
    int GetPacketCount() override { return FDevice.GetPacketCount(); }
    void TakePacket(tPacket& out) override { FDevice.TakePacket(out); }

  private:
    tDevice& FDevice;
};
}  // namespace

void TfmMain::acExperimentStartExecute() {
    FCurrentSeries = FFrame->StartMeasurement(*FExperiment);
    SetValueLabelVisible(false);
    FChannels.Clear();
    FDevice->Start(0);
    FCurrentChannel = 0;
    FStartCount = CounterNow();
    tmMeasure->start();
    UpdateActions();
}

void TfmMain::acExperimentStopExecute() {
    tmMeasure->stop();
    if (FDevice) FDevice->Stop();
    if (FFrame) FFrame->StopMeasurement();
    UpdateActions();
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

void TfmMain::AddPoints() {
    if (!FExperiment || !FFrame) return;
    tPointBuilder builder(FExperiment->Freq, FExperiment->Average);
    while (FExperiment && FFrame && builder.HasPoint(FChannels) && !acExperimentMarkPoint->isChecked()) {
        TChartSeries* series = FFrame->Chart()->Series(FCurrentSeries);
        if (!series) return;
        const tPoint point = builder.Next(FChannels, series->Count());
        series->AddXY(point.x, point.y, FFrame->TakePointLabel(), series->Color());
        double lo = 0, hi = 0;
        if (series->Count() == 1 &&
            FirstPointAxis(point.y, FExperiment->YOffset, FExperiment->MinY, FExperiment->MaxY, lo, hi))
            FFrame->Chart()->LeftAxis().SetRange(lo, hi);
        ShowElapsed();
    }
}

void TfmMain::tmMeasureTimer() {
    if (FDevice) {
        tDeviceSource source(*FDevice);
        const tIntakeResult intake = TakePackets(source, FChannels, FCurrentChannel);
        // A broken frame ends the run; what was decoded before it is still plotted below.
        if (intake.Malformed) Execute(acExperimentStop);
    }
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
