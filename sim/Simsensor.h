// SPDX-License-Identifier: GPL-3.0-or-later
// tSimSensor: a simulated Rovelin sensor speaking the device side of the command protocol (hub and
// single-sensor dialect), the binary and the text start protocol, and the packed-decimal stream.
// The ports of Simports.h put it behind tCommPort / tHidPort, so tests and the demo run the same
// code paths as hardware. Every value is a function of the seed and its sample index, and every
// value the host actually received is recorded, so a test can check a decoded stream exactly.
//
// Threading: all public members take FLock; a port's thread and a test's thread may use one sensor
// at the same time. The clock (nanoseconds) is injectable; waits in the ports are real waits.
#pragma once

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/Commport.h"

// Faults a sensor can be told to show. "AfterValues" counts values the host has received in the
// current run; -1 switches a fault off.
struct tSimFaults {
    bool Silent = false;          // reads and obeys commands but answers nothing and streams nothing
    bool GarbageReplies = false;  // every reply replaced by bytes of no meaning, same length
    bool ShortReplies = false;    // every reply cut to half its length (a 1-byte reply to nothing)
    bool WrongReplies = false;    // status 0x01, "freq: ok.", identity "ERROR", "PACKET_SIZE=abc"
    int RemovedAfterValues = -1;  // 0xF6 (sensor removed) after that many values, then silence
    int UnplugAfterValues = -1;   // the port fails after that many values were received
    int StallAfterValues = -1;    // the stream pauses for StallMs after that many values
    int StallMs = 0;
    int HidWrongIdFromReport = -1;  // input reports from this index on carry id 2 (index 0 = start reply)
    int HidCountTooLargeFromReport = -1;  // input reports from this index on announce 200 bytes
    bool HidWriteOneShort = false;        // output reports report one byte less transferred (as under Wine)
};

struct tSimSensorConfig {
    QString Model = "T100";     // T100 temperature, L200 illuminance, K330 voltage, P620 pulse
    bool Hub = true;            // hub dialect (carrier detect off) or single-sensor dialect (on)
    int32_t Speed = 115200;     // stream speed in the identity; 0 selects the text start protocol
    int Channels = 1;           // channels 0 .. Channels-1 are streamed, one value each per sample
    uint32_t Seed = 1;          // noise seed
    QString Scene;              // a demo scene (SimSceneKnown), or empty for the model's own waveform
    bool VaryRuns = false;      // every run after the first plays with a seed of its own (SimRunSeed)
    int32_t PeriodUs = 100000;  // sampling period until the host sends one
    QString Identity;           // identity text; empty: "<Model>,Rovelin,SIM,1,1.0,<Speed>"
    int TextPacketSize = 64;    // text protocol: packet size announced by PACKET_SIZE=
    int TextPacketIntervalMs = 100;
    int HidReportIntervalMs = 15;  // one input report at most this often while streaming
    int HidInputLength = 64;
    int HidOutputLength = 64;
    int StreamStartDelayMs = 20;  // gap between the start reply and the first stream byte
    tSimFaults Faults;
    std::function<int64_t()> Clock;  // nanoseconds; empty: steady_clock
    bool RecordSent = true;          // keep every value the host received (off for hours-long soaks)
};

// One recorded call of the host on the port, for tests that check how the port was driven.
struct tSimCall {
    enum tKind {
        Open,
        Close,
        SetRts,
        SetBreak,
        SetState,
        SetTimeouts,
        Purge,
        Latency,
        UsbParameters,
        Cancel,
        Flush
    };
    tSimCall() = default;
    explicit tSimCall(tKind kind, uint32_t value = 0, uint32_t value2 = 0)
        : Kind(kind), Value(value), Value2(value2) {}
    tKind Kind = Open;
    tCommState State;        // SetState
    tCommTimeouts Timeouts;  // SetTimeouts
    uint32_t Value = 0;      // SetRts/SetBreak: on; Purge: flags; Latency: ms; UsbParameters: in size
    uint32_t Value2 = 0;     // UsbParameters: out size
    QString ToText() const;
};

// The value a model's waveform, or the named scene, has at a sample of run `runIndex` (0 = the
// first), rounded as the sensor writes it.
double SimWaveValue(const QString& model, int channel, int64_t index, int32_t periodUs, uint32_t seed,
                    const QString& scene = QString(), int runIndex = 0);
// Demo scenes, named by a scenario's Demo key (case-insensitive): hot-water, palm, mixing,
// classroom, lamp-shadow, battery, pulse (Simscenes.cpp tells each story).
bool SimSceneKnown(const QString& scene);
// The scene's unrounded value; false when the scene is unknown.
bool SimSceneValue(const QString& scene, int channel, int64_t index, int32_t periodUs, uint32_t seed,
                   int runIndex, double& value);
// The seed of run `runIndex`: the sensor's own for the first run, a fresh one for every later run.
uint32_t SimRunSeed(uint32_t seed, int runIndex);
// The decimal text the sensor writes for that value ("23.4", "-0.52", "830").
QString SimWaveText(const QString& model, int channel, double value);

class tSimSensor {
  public:
    explicit tSimSensor(const tSimSensorConfig& config);
    tSimSensor(const tSimSensor&) = delete;
    tSimSensor& operator=(const tSimSensor&) = delete;

    // --- Host side (used by the ports) ---
    // Bytes the host wrote; commands are executed as they complete.
    void HostWrite(const uint8_t* data, size_t n);
    // Takes up to `cap` bytes that have arrived by now.
    size_t HostRead(uint8_t* out, size_t cap);
    size_t Available();
    // Receive-side purge: drops what has arrived, in whole values, so no half value reaches the host.
    void PurgeArrived();
    // Waits until a write, an unplug or `untilNs` of the real clock (whichever is first).
    void WaitChange(int64_t untilRealNs);
    int64_t Now() const;
    static int64_t RealNow();

    // HID report bookkeeping: index of the next input report since the last start request.
    int TakeReportIndex();
    int64_t LastReportNs() const;
    void SetLastReportNs(int64_t ns);

    // Exclusive open, as a tty opened with TIOCEXCL.
    bool TryOpen();
    void Closed();
    bool IsOpen() const;

    // Line state of the port, kept with the sensor so it outlives the port object.
    void Record(const tSimCall& call);
    tCommState LineState() const;
    tCommTimeouts Timeouts() const;

    // --- Test side ---
    std::vector<uint8_t> Received() const;                 // every byte the host wrote, in order
    std::vector<std::vector<uint8_t>> HidReports() const;  // every output report as written
    void RecordHidReport(const uint8_t* report, size_t n);
    std::vector<double> SentValues(int channel) const;  // values the host received in this run
    std::vector<tSimCall> Calls() const;
    QStringList CallLog() const;
    bool IsStreaming() const;
    int32_t PeriodUs() const;
    bool Hub() const;
    int32_t Speed() const;
    QString Model() const;
    int HidInputLength() const;
    int HidOutputLength() const;
    int HidReportIntervalMs() const;
    tSimFaults Faults() const;
    void SetFaults(const tSimFaults& faults);
    void SetChannels(int channels);
    void SetSeed(uint32_t seed);
    // What the next run plays (a scene name, or empty); a new scene starts counting runs anew.
    void SetScene(const QString& scene);
    // Runs started since the scene was set, less one (-1 before the first).
    int RunIndex() const;
    void Unplug();
    bool IsUnplugged() const;
    QString Identity() const;
    // The configuration it was made with (faults as they are now), e.g. for a re-plugged twin.
    tSimSensorConfig Config() const;

  private:
    struct tOut {
        uint8_t Byte;
        int64_t AvailNs;
        bool UnitStart;  // a purge may cut the queue before this byte without halving a value
        int8_t Channel;  // >= 0: this byte completes a value of that channel
        double Value;
    };
    void Execute(const std::string& command);
    void Reply(std::vector<uint8_t> bytes);
    void StartBinary();
    void StartText(int parameter);
    void StopStream();
    void Generate(int64_t now);
    void GenerateBinary(int64_t now);
    void GenerateText(int64_t now);
    int64_t SampleTime(int64_t index) const;
    std::vector<uint8_t> EncodeUnit(int channel, int64_t index, double& value, bool withSelect);
    void Push(uint8_t b, int64_t availNs, bool unitStart, int channel = -1, double value = 0);
    size_t ArrivedLocked(int64_t now) const;

    mutable std::mutex FLock;
    std::condition_variable FChanged;
    tSimSensorConfig FConfig;
    std::string FCommand;    // bytes of the command being received
    bool FOverflow = false;  // the command grew too long: dropped up to its terminator
    std::deque<tOut> FOut;
    std::vector<uint8_t> FReceived;
    std::vector<std::vector<uint8_t>> FHidReports;
    std::vector<tSimCall> FCalls;
    std::map<int, std::vector<double>> FSent;
    tCommState FState;
    tCommTimeouts FTimeouts;
    enum { Idle, Binary, Text } FMode = Idle;
    int64_t FStartNs = 0;
    int FRun = -1;            // index of the current or last run
    int64_t FNextSample = 0;  // index of the next sample to produce
    int64_t FProduced = 0;    // values produced in this run
    int64_t FDelivered = 0;   // values received by the host in this run
    int64_t FNextPacket = 0;  // text protocol: index of the next packet
    int FTextPacketSize = 0;
    int FReportIndex = 0;
    int64_t FLastReportNs = INT64_MIN / 2;
    uint32_t FGarbage = 0x9E3779B9u;
    bool FUnplugged = false;
    bool FOpen = false;
    uint64_t FWrites = 0;  // bumps on every change a waiting port must see
};
