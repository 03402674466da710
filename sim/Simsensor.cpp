// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Simsensor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

#include "sim/Simmodels.h"

namespace {

constexpr size_t kReplyLength = 39;
constexpr size_t kCommandLimit = 256;     // longer garbage is dropped instead of buffered forever
constexpr size_t kQueueLimit = 1u << 20;  // the sensor's buffer: beyond it new values are lost
constexpr int kSamplesPerCall = 20000;    // bounds the work after a jump of the clock
constexpr int32_t kMinPeriodUs = 1000;    // faster periods are refused, they would flood the line
constexpr int64_t kMaxPeriodUs = 3600LL * 1000000;

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double Uniform(uint32_t seed, int channel, int64_t index, int salt) {
    uint64_t h = Mix(Mix(Mix(seed) ^ static_cast<uint64_t>(channel) * 0x100000001B3ull) ^
                     static_cast<uint64_t>(index) ^ (static_cast<uint64_t>(salt) << 56));
    return static_cast<double>(h >> 11) / 9007199254740992.0;
}

// Roughly normal noise with unit deviation (sum of four uniforms).
double Noise(uint32_t seed, int channel, int64_t index) {
    double s = 0;
    for (int i = 0; i < 4; ++i) s += Uniform(seed, channel, index, i);
    return (s - 2.0) * std::sqrt(3.0);
}

int Decimals(const QString& model, int channel) {
    const tSimModel* row = SimModelFor(model);
    return row && channel == 0 ? row->Decimals : 2;
}

std::vector<uint8_t> Padded(const QByteArray& text) {
    std::vector<uint8_t> r(kReplyLength, 0);
    std::copy_n(text.constData(), std::min<size_t>(text.size(), kReplyLength), r.begin());
    return r;
}

// A decimal integer of the whole text (no sign, no blanks), as the sensor's firmware reads it.
bool ParseNumber(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

QString tSimCall::ToText() const {
    switch (Kind) {
        case Open:
            return "Open";
        case Close:
            return "Close";
        case SetRts:
            return QString("SetRts %1").arg(Value);
        case SetBreak:
            return QString("SetBreak %1").arg(Value);
        case SetState:
            return QString("SetState baud=%1 bits=%2 parity=%3 stop=%4 rts=%5")
                .arg(State.BaudRate)
                .arg(State.ByteSize)
                .arg(State.Parity)
                .arg(State.StopBits)
                .arg(State.RtsControl);
        case SetTimeouts:
            return QString("SetTimeouts interval=%1 multiplier=%2 constant=%3 wmultiplier=%4 wconstant=%5")
                .arg(Timeouts.ReadIntervalTimeout)
                .arg(Timeouts.ReadTotalTimeoutMultiplier)
                .arg(Timeouts.ReadTotalTimeoutConstant)
                .arg(Timeouts.WriteTotalTimeoutMultiplier)
                .arg(Timeouts.WriteTotalTimeoutConstant);
        case Purge:
            return QString("Purge %1").arg(Value);
        case Latency:
            return QString("Latency %1").arg(Value);
        case UsbParameters:
            return QString("UsbParameters %1 %2").arg(Value).arg(Value2);
        case Cancel:
            return "Cancel";
        case Flush:
            return "Flush";
    }
    return {};
}

// Waveforms. Time is the sample index times the period, so a run always starts at the beginning
// of its story (the liquid hot, the capacitor empty) and a test can recompute every value.
double SimWaveValue(const QString& model, int channel, int64_t index, int32_t periodUs, uint32_t seed,
                    const QString& scene, int runIndex) {
    const double t = static_cast<double>(index) * periodUs / 1e6;
    const uint32_t runSeed = SimRunSeed(seed, runIndex);
    const double g = Noise(runSeed, channel, index);
    double v;
    const tSimModel* row = SimModelFor(model);
    // Later runs start a little apart, each by a jitter of its own seed.
    const double jitter = runIndex > 0 ? Uniform(runSeed, 0, 0, 7) - 0.5 : 0.0;
    if (SimSceneValue(scene, channel, index, periodUs, seed, runIndex, v)) {
        // told by the scenario
    } else if (row && row->Wave(channel, t, g, jitter, v)) {
        // the model's own waveform
    } else {
        // Further channels: a slow wave around ten times the channel number.
        v = 10.0 * channel + std::sin(2 * std::numbers::pi * t / 10.0) + 0.05 * g;
    }
    const double scale = std::pow(10.0, Decimals(model, channel));
    return std::round(v * scale) / scale;
}

QString SimWaveText(const QString& model, int channel, double value) {
    if (value == 0.0) value = 0.0;  // no "-0.00"
    return QString::number(value, 'f', Decimals(model, channel));
}

tSimSensor::tSimSensor(const tSimSensorConfig& config) : FConfig(config) {
    FConfig.Channels = std::clamp(FConfig.Channels, 1, 16);
    FConfig.HidInputLength = std::clamp(FConfig.HidInputLength, 3, 1024);
    FConfig.HidOutputLength = std::clamp(FConfig.HidOutputLength, 2, 1024);
    FConfig.TextPacketSize = std::clamp(FConfig.TextPacketSize, 8, 1280);
    FConfig.TextPacketIntervalMs = std::max(FConfig.TextPacketIntervalMs, 1);
    FConfig.HidReportIntervalMs = std::max(FConfig.HidReportIntervalMs, 0);
    if (FConfig.PeriodUs < kMinPeriodUs) FConfig.PeriodUs = kMinPeriodUs;
}

int64_t tSimSensor::RealNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t tSimSensor::Now() const {
    return FConfig.Clock ? FConfig.Clock() : RealNow();
}

// --- Commands ---

void tSimSensor::HostWrite(const uint8_t* data, size_t n) {
    std::lock_guard lock(FLock);
    FReceived.insert(FReceived.end(), data, data + n);
    for (size_t i = 0; i < n && !FUnplugged; ++i) {
        const uint8_t b = data[i];
        if (FConfig.Hub && b == 0xFF) {  // the hub's one-byte stop
            FCommand.clear();
            StopStream();
            continue;
        }
        if (b == 0) {
            if (FOverflow) {
                FOverflow = false;
                continue;
            }
            std::string command;
            command.swap(FCommand);
            if (!command.empty()) Execute(command);  // zeros padding a HID report are no commands
            continue;
        }
        if (FOverflow) {
            // An overlong command is dropped as a whole: skip to its terminator.
            FOverflow = b != '\n';
            continue;
        }
        FCommand.push_back(static_cast<char>(b));
        if (FCommand.size() >= 2 && FCommand.ends_with("\r\n")) {
            std::string command = FCommand.substr(0, FCommand.size() - 2);
            FCommand.clear();
            Execute(command);
        } else if (FCommand.size() > kCommandLimit) {
            FCommand.clear();
            FOverflow = true;
        }
    }
    ++FWrites;
    FChanged.notify_all();
}

void tSimSensor::Execute(const std::string& command) {
    const bool wrong = FConfig.Faults.WrongReplies;
    auto period = [&](const std::string& text, bool& ok) {
        int64_t value = 0;
        ok = ParseNumber(text, value) && value >= kMinPeriodUs && value <= kMaxPeriodUs;
        if (ok) FConfig.PeriodUs = static_cast<int32_t>(value);
    };
    if (command == "S") {
        if (FConfig.Speed == 0) return;  // a text-protocol sensor does not know the binary start
        FReportIndex = 0;
        Reply({static_cast<uint8_t>(wrong ? 0x01 : 0x00)});
        if (!wrong) StartBinary();
        return;
    }
    if (command.starts_with("START ")) {
        int64_t parameter = 0;
        if (FConfig.Speed != 0 || !ParseNumber(command.substr(6), parameter)) return;
        FReportIndex = 0;
        const QByteArray size = wrong ? QByteArray("abc") : QByteArray::number(FConfig.TextPacketSize);
        Reply(Padded("PACKET_SIZE=" + size));
        if (!wrong) StartText(static_cast<int>(parameter));
        return;
    }
    if (FConfig.Hub) {
        if (command == "INFO") {
            Reply(Padded(wrong ? QByteArray("ERROR") : Identity().toLatin1()));
        } else if (command.starts_with("FREQ ")) {
            // "FREQ <mode> <period>"; the mode is accepted and not used by these sensors.
            const std::string rest = command.substr(5);
            const size_t blank = rest.find(' ');
            int64_t mode = 0;
            bool ok = blank != std::string::npos && ParseNumber(rest.substr(0, blank), mode);
            if (ok) period(rest.substr(blank + 1), ok);
            Reply(Padded(wrong ? "freq: ok." : ok ? "FREQ: Ok." : "FREQ: Error."));
        }
        return;
    }
    if (command == "I") {
        std::vector<uint8_t> reply{static_cast<uint8_t>(wrong ? 0x01 : 0x00)};
        if (!wrong) {
            const std::vector<uint8_t> identity = Padded(Identity().toLatin1());
            reply.insert(reply.end(), identity.begin(), identity.end());
        }
        Reply(reply);
    } else if (command.starts_with("F ")) {
        bool ok = false;
        period(command.substr(2), ok);
        Reply({static_cast<uint8_t>(ok && !wrong ? 0x00 : 0x01)});
    } else if (command == "T") {
        StopStream();
    }
}

QString tSimSensor::Identity() const {
    if (!FConfig.Identity.isEmpty()) return FConfig.Identity;
    return QString("%1,Rovelin,SIM,1,1.0,%2").arg(FConfig.Model).arg(FConfig.Speed);
}

void tSimSensor::Reply(std::vector<uint8_t> bytes) {
    const tSimFaults& f = FConfig.Faults;
    if (f.Silent) return;
    if (f.ShortReplies) bytes.resize(bytes.size() / 2);
    if (f.GarbageReplies) {
        for (uint8_t& b : bytes) {
            FGarbage = FGarbage * 1664525u + 1013904223u;
            b = static_cast<uint8_t>(0x20 + (FGarbage >> 24) % 0x5F) ^ 0x80;  // never a valid text or 0x00
        }
    }
    const int64_t now = Now();
    for (uint8_t b : bytes) Push(b, now, true);
}

void tSimSensor::StartBinary() {
    FMode = Binary;
    ++FRun;
    FStartNs = Now();
    FNextSample = FProduced = FDelivered = 0;
    FSent.clear();
}

void tSimSensor::StartText(int) {
    StartBinary();
    FMode = Text;
    FNextPacket = 0;
    FTextPacketSize = FConfig.TextPacketSize;
}

void tSimSensor::StopStream() {
    FMode = Idle;
    // What has not left the sensor yet is never sent.
    const int64_t now = Now();
    while (!FOut.empty() && FOut.back().AvailNs > now) FOut.pop_back();
}

// --- Stream ---

void tSimSensor::Push(uint8_t b, int64_t availNs, bool unitStart, int channel, double value) {
    if (!FOut.empty()) availNs = std::max(availNs, FOut.back().AvailNs);
    FOut.push_back({b, availNs, unitStart, static_cast<int8_t>(channel), value});
}

int64_t tSimSensor::SampleTime(int64_t index) const {
    const tSimFaults& f = FConfig.Faults;
    int64_t t = FStartNs + FConfig.StreamStartDelayMs * 1000000LL + index * FConfig.PeriodUs * 1000LL;
    if (f.StallAfterValues >= 0 && index * FConfig.Channels >= f.StallAfterValues) t += f.StallMs * 1000000LL;
    return t;
}

// One value as the sensor writes it: an optional channel select, an optional plus sign, the digits
// with 0xA for minus and 0xB for the point, and 0xC at the end. A value of an odd number of codes
// ends in the high half and the low half carries 0xF or 0xD, both meaning nothing.
std::vector<uint8_t> tSimSensor::EncodeUnit(int channel, int64_t index, double& value, bool withSelect) {
    value = SimWaveValue(FConfig.Model, channel, index, FConfig.PeriodUs, FConfig.Seed, FConfig.Scene,
                         FConfig.VaryRuns ? std::max(FRun, 0) : 0);
    const QString text = SimWaveText(FConfig.Model, channel, value);
    value = text.toDouble();
    std::vector<uint8_t> codes;
    if (value >= 0 && Mix(FConfig.Seed ^ static_cast<uint64_t>(index * 16 + channel)) % 5 == 0)
        codes.push_back(0xE);
    for (QChar c : text) {
        if (c == '-')
            codes.push_back(0xA);
        else if (c == '.')
            codes.push_back(0xB);
        else
            codes.push_back(static_cast<uint8_t>(c.unicode() - '0'));
    }
    codes.push_back(0xC);
    if (codes.size() % 2) codes.push_back(index % 2 ? 0xF : 0xD);
    std::vector<uint8_t> bytes;
    if (withSelect) bytes.push_back(static_cast<uint8_t>(0xD0 | channel));
    for (size_t i = 0; i < codes.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(codes[i] << 4 | codes[i + 1]));
    return bytes;
}

void tSimSensor::Generate(int64_t now) {
    if (FUnplugged || FConfig.Faults.Silent) return;
    if (FMode == Binary)
        GenerateBinary(now);
    else if (FMode == Text)
        GenerateText(now);
}

void tSimSensor::GenerateBinary(int64_t now) {
    const tSimFaults& f = FConfig.Faults;
    const int64_t byteNs = FConfig.Speed > 0 ? 10000000000LL / FConfig.Speed : 0;
    const int64_t periodNs = FConfig.PeriodUs * 1000LL;
    for (int budget = kSamplesPerCall; budget > 0 && FMode == Binary; --budget) {
        const int64_t k = FNextSample;
        const int64_t tk = SampleTime(k);
        if (tk > now) break;
        ++FNextSample;
        if (FOut.size() > kQueueLimit) continue;  // the host does not read: values are lost
        struct tPiece {
            uint8_t Byte;
            bool UnitStart;
            int Channel;
            double Value;
        };
        std::vector<tPiece> pieces;
        for (int c = 0; c < FConfig.Channels; ++c) {
            if (f.RemovedAfterValues >= 0 && FProduced >= f.RemovedAfterValues) {
                pieces.push_back({0xF6, true, -1, 0});
                FMode = Idle;
                break;
            }
            double value = 0;
            const bool select = FConfig.Channels > 1 || k % 16 == 0;
            const std::vector<uint8_t> unit = EncodeUnit(c, k, value, select);
            for (size_t i = 0; i < unit.size(); ++i)
                pieces.push_back({unit[i], i == 0, i + 1 == unit.size() ? c : -1, value});
            ++FProduced;
        }
        // The bytes of one sample trickle out over the period, so reads cut values at any place.
        const int64_t n = static_cast<int64_t>(pieces.size());
        for (int64_t i = 0; i < n; ++i) {
            int64_t at = tk + (i + 1) * periodNs / (n + 1);
            if (!FOut.empty()) at = std::max(at, FOut.back().AvailNs + byteNs);
            Push(pieces[i].Byte, at, pieces[i].UnitStart, pieces[i].Channel, pieces[i].Value);
        }
    }
}

void tSimSensor::GenerateText(int64_t now) {
    const tSimFaults& f = FConfig.Faults;
    const int64_t intervalNs = FConfig.TextPacketIntervalMs * 1000000LL;
    const size_t room = static_cast<size_t>(FTextPacketSize) - 3;  // offsets 2 .. N-2
    for (int packets = 0; packets < 1000 && FMode == Text; ++packets) {
        const int64_t due =
            FStartNs + FConfig.StreamStartDelayMs * 1000000LL + (FNextPacket + 1) * intervalNs;
        if (due > now) break;
        struct tTag {
            size_t At;
            int Channel;
            double Value;
        };
        std::vector<uint8_t> body;
        std::vector<tTag> tags;
        bool removed = false;
        for (int budget = kSamplesPerCall; budget > 0 && SampleTime(FNextSample) <= due; --budget) {
            if (f.RemovedAfterValues >= 0 && FProduced >= f.RemovedAfterValues) {
                removed = true;
                break;
            }
            std::vector<uint8_t> sample;
            std::vector<tTag> sampleTags;
            for (int c = 0; c < FConfig.Channels; ++c) {
                double value = 0;
                const bool select = FConfig.Channels > 1 || FNextSample % 16 == 0;
                const std::vector<uint8_t> unit = EncodeUnit(c, FNextSample, value, select);
                sample.insert(sample.end(), unit.begin(), unit.end());
                sampleTags.push_back({sample.size() - 1, c, value});
            }
            if (sample.size() > room) {  // can never fit: lost
                ++FNextSample;
                continue;
            }
            if (body.size() + sample.size() > room) break;  // waits for the next packet
            for (tTag& t : sampleTags) t.At += body.size() + 2;
            tags.insert(tags.end(), sampleTags.begin(), sampleTags.end());
            body.insert(body.end(), sample.begin(), sample.end());
            FProduced += FConfig.Channels;
            ++FNextSample;
        }
        if (removed) body.push_back(0xF6);
        std::vector<uint8_t> packet(FTextPacketSize, 0xF7);
        packet[0] = 0xFE;
        packet[1] = static_cast<uint8_t>(FNextPacket);
        std::copy(body.begin(), body.begin() + std::min(body.size(), room), packet.begin() + 2);
        packet.back() = 0xFF;
        size_t tag = 0;
        for (size_t i = 0; i < packet.size(); ++i) {
            if (tag < tags.size() && tags[tag].At == i) {
                Push(packet[i], due, i == 0, tags[tag].Channel, tags[tag].Value);
                ++tag;
            } else {
                Push(packet[i], due, i == 0);
            }
        }
        ++FNextPacket;
        if (removed) FMode = Idle;
    }
}

size_t tSimSensor::ArrivedLocked(int64_t now) const {
    size_t n = 0;
    for (const tOut& o : FOut) {
        if (o.AvailNs > now) break;
        ++n;
    }
    return n;
}

size_t tSimSensor::HostRead(uint8_t* out, size_t cap) {
    std::lock_guard lock(FLock);
    if (FUnplugged) return 0;
    const int64_t now = Now();
    Generate(now);
    size_t got = 0;
    while (got < cap && !FOut.empty() && FOut.front().AvailNs <= now) {
        const tOut o = FOut.front();
        FOut.pop_front();
        out[got++] = o.Byte;
        if (o.Channel >= 0) {
            if (FConfig.RecordSent) FSent[o.Channel].push_back(o.Value);
            ++FDelivered;
            if (FConfig.Faults.UnplugAfterValues >= 0 && FDelivered >= FConfig.Faults.UnplugAfterValues) {
                FUnplugged = true;
                FMode = Idle;
                break;
            }
        }
    }
    return got;
}

size_t tSimSensor::Available() {
    std::lock_guard lock(FLock);
    if (FUnplugged) return 0;
    const int64_t now = Now();
    Generate(now);
    return ArrivedLocked(now);
}

void tSimSensor::PurgeArrived() {
    std::lock_guard lock(FLock);
    const int64_t now = Now();
    Generate(now);
    while (!FOut.empty() && FOut.front().AvailNs <= now) FOut.pop_front();
    // The head of a value may be gone already; its rest must not reach the host alone.
    while (!FOut.empty() && !FOut.front().UnitStart) FOut.pop_front();
}

void tSimSensor::WaitChange(int64_t untilRealNs) {
    std::unique_lock lock(FLock);
    const int64_t now = RealNow();
    const int64_t until = std::min(untilRealNs, now + 5000000);  // the model's clock moves on its own
    if (until <= now) return;
    const uint64_t seen = FWrites;
    FChanged.wait_for(lock, std::chrono::nanoseconds(until - now), [&] { return FWrites != seen; });
}

int tSimSensor::TakeReportIndex() {
    std::lock_guard lock(FLock);
    return FReportIndex++;
}

int64_t tSimSensor::LastReportNs() const {
    std::lock_guard lock(FLock);
    return FLastReportNs;
}

void tSimSensor::SetLastReportNs(int64_t ns) {
    std::lock_guard lock(FLock);
    FLastReportNs = ns;
}

bool tSimSensor::TryOpen() {
    std::lock_guard lock(FLock);
    if (FOpen || FUnplugged) return false;
    FOpen = true;
    return true;
}

void tSimSensor::Closed() {
    std::lock_guard lock(FLock);
    FOpen = false;
}

bool tSimSensor::IsOpen() const {
    std::lock_guard lock(FLock);
    return FOpen;
}

tSimSensorConfig tSimSensor::Config() const {
    std::lock_guard lock(FLock);
    return FConfig;
}

void tSimSensor::Record(const tSimCall& call) {
    std::lock_guard lock(FLock);
    if (call.Kind == tSimCall::SetState) FState = call.State;
    if (call.Kind == tSimCall::SetTimeouts) FTimeouts = call.Timeouts;
    FCalls.push_back(call);
}

tCommState tSimSensor::LineState() const {
    std::lock_guard lock(FLock);
    return FState;
}

tCommTimeouts tSimSensor::Timeouts() const {
    std::lock_guard lock(FLock);
    return FTimeouts;
}

std::vector<uint8_t> tSimSensor::Received() const {
    std::lock_guard lock(FLock);
    return FReceived;
}

std::vector<std::vector<uint8_t>> tSimSensor::HidReports() const {
    std::lock_guard lock(FLock);
    return FHidReports;
}

void tSimSensor::RecordHidReport(const uint8_t* report, size_t n) {
    std::lock_guard lock(FLock);
    FHidReports.emplace_back(report, report + n);
}

std::vector<double> tSimSensor::SentValues(int channel) const {
    std::lock_guard lock(FLock);
    auto it = FSent.find(channel);
    return it == FSent.end() ? std::vector<double>{} : it->second;
}

std::vector<tSimCall> tSimSensor::Calls() const {
    std::lock_guard lock(FLock);
    return FCalls;
}

QStringList tSimSensor::CallLog() const {
    QStringList lines;
    for (const tSimCall& c : Calls()) lines << c.ToText();
    return lines;
}

bool tSimSensor::IsStreaming() const {
    std::lock_guard lock(FLock);
    return FMode != Idle;
}

int32_t tSimSensor::PeriodUs() const {
    std::lock_guard lock(FLock);
    return FConfig.PeriodUs;
}

bool tSimSensor::Hub() const {
    return FConfig.Hub;
}
int32_t tSimSensor::Speed() const {
    return FConfig.Speed;
}
QString tSimSensor::Model() const {
    return FConfig.Model;
}
int tSimSensor::HidInputLength() const {
    return FConfig.HidInputLength;
}
int tSimSensor::HidOutputLength() const {
    return FConfig.HidOutputLength;
}
int tSimSensor::HidReportIntervalMs() const {
    return FConfig.HidReportIntervalMs;
}

tSimFaults tSimSensor::Faults() const {
    std::lock_guard lock(FLock);
    return FConfig.Faults;
}

void tSimSensor::SetFaults(const tSimFaults& faults) {
    std::lock_guard lock(FLock);
    FConfig.Faults = faults;
    ++FWrites;
    FChanged.notify_all();
}

void tSimSensor::SetChannels(int channels) {
    std::lock_guard lock(FLock);
    FConfig.Channels = std::clamp(channels, 1, 16);
}

void tSimSensor::SetSeed(uint32_t seed) {
    std::lock_guard lock(FLock);
    FConfig.Seed = seed;
}

void tSimSensor::SetScene(const QString& scene) {
    std::lock_guard lock(FLock);
    if (FConfig.Scene == scene) return;
    FConfig.Scene = scene;
    FRun = -1;
}

int tSimSensor::RunIndex() const {
    std::lock_guard lock(FLock);
    return FRun;
}

void tSimSensor::Unplug() {
    std::lock_guard lock(FLock);
    FUnplugged = true;
    FMode = Idle;
    ++FWrites;
    FChanged.notify_all();
}

bool tSimSensor::IsUnplugged() const {
    std::lock_guard lock(FLock);
    return FUnplugged;
}
