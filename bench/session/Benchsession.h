// SPDX-License-Identifier: GPL-3.0-or-later
// A measurement session as the session benchmarks drive it: a program folder with one scenario
// (T100 at 1 kHz, one value a point), a host that answers nothing, and a simulated T100 whose clock
// the benchmark moves, so minutes of measurement take seconds and every tick gets exactly the values
// of its span.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "devices/Device.h"
#include "devices/Portopeners.h"
#include "devices/Sensorsearch.h"
#include "session/Session.h"
#include "sim/Simports.h"

class tBenchSession : public tSessionHost {
  public:
    static constexpr int32_t kPeriodUs = 1000;  // the simulator's fastest sampling period

    tBenchSession() {
        QDir(FProgram.path()).mkpath(QStringLiteral("data/bench"));
        Write(QStringLiteral("rovelin.cfg"), "UseFTDI=0\r\nUseCDC=1\r\nUseHID=0\r\nTimeout=0\r\n");
        Write(QStringLiteral("data/bench/experiment.txt"),
              "SensorName=T100\r\nFreq=1000\r\nAverage=1\r\nMaxX=60\r\nCaptionY=T\r\n");
        SetSimulatedCommOpener(OpenSimulatedCommPort);
        tSimSensorConfig config = tSimRegistry::DemoConfig(QStringLiteral("T100"), false);
        config.RecordSent = false;  // hours of values would be the sensor's memory, not the program's
        config.Clock = [this] { return FClockNs.load(); };
        Sensor = tSimRegistry::Instance().Add(QStringLiteral("sim:T100"), config);
        Session = std::make_unique<tSession>(*this, FProgram.path(), FState.path());
        Session->LoadSettings();
        tExperiment record;
        LoadScenario(QStringLiteral("bench"), QStringLiteral("bench/"), Session->CatalogueRoot(), &record);
        Session->SetExperiment(record);
        Session->Connect();
        Session->NewLesson();
    }
    ~tBenchSession() override {
        Session.reset();
        SetSimulatedCommOpener({});
        tSimRegistry::Instance().Clear();
    }

    // Starts a run; the benchmark calls the ticks itself, at the pace of the sensor's clock.
    void Start() {
        Session->Start(0);
        Session->MeasureTimer()->stop();
    }
    // Moves the sensor's clock on by `ns` and returns once the reading thread has taken all that
    // arrived meanwhile. With `settleMs` it also waits that long for the last, partly filled
    // packet: it is queued only when its read time-out (100 ms) ends. The queue never falls quiet
    // on its own (a read that got nothing still queues its no-data packet), so the wait is a time,
    // not a silence.
    void Advance(int64_t ns, int settleMs = 0) {
        FClockNs += ns;
        static const uint8_t kNothing = 0;
        Sensor->HostWrite(&kNothing, 0);  // wakes a read waiting for bytes
        while (Sensor->Available() > 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (settleMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    }

    std::unique_ptr<tSensorSearch> CreateSensorSearch() override {
        auto search = std::make_unique<tSensorSearch>(Session->Settings(), &FPorts);
        search->SetCandidatePauseMs(0);
        return search;
    }
    bool FtdiLibraryLoaded() const override { return true; }
    void Searching(const QString&) override {}
    void SearchDone() override {}
    void Warn(const QString&) override {}
    QString TakePointLabel() override { return QString(); }
    QString AskLessonSaveFile() override { return QString(); }
    tSaveChoice AskSaveChanges() override { return tSaveChoice::Discard; }
    QByteArray EditedReport() override { return QByteArray(); }
    void LessonFileFailed(const tLessonFileError&) override {}

    std::shared_ptr<tSimSensor> Sensor;
    std::unique_ptr<tSession> Session;

  private:
    class tPorts : public tCandidateSource {
      public:
        QStringList SerialPorts() override { return {QStringLiteral("sim:T100")}; }
        bool FtdiLoaded() override { return false; }
        FT_STATUS FtdiCreateDeviceInfoList(FT_DWORD&) override { return FT_OTHER_ERROR; }
        FT_STATUS FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE*, FT_DWORD&) override {
            return FT_OTHER_ERROR;
        }
        QStringList HidInterfaces() override { return {}; }
    };
    void Write(const QString& name, const QByteArray& bytes) {
        QFile file(QDir(FProgram.path()).filePath(name));
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    }

    QTemporaryDir FProgram;
    QTemporaryDir FState;
    tPorts FPorts;
    std::atomic<int64_t> FClockNs{0};
};
