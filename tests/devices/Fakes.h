// SPDX-License-Identifier: GPL-3.0-or-later
// Test doubles of the device layer: a log that keeps its lines, and scripted serial and HID
// sensors reachable through the "sim:" openers. A sensor's state outlives its port object, so a
// test can check how the port was driven and whether it was closed.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devices/Portopeners.h"
#include "foundation/Logfile.h"

// ---- log ----
class tCaptureLog : public tLogFile {
  public:
    tCaptureLog() { gLogFile = this; }
    ~tCaptureLog() override { gLogFile = nullptr; }
    void Write(const QString& raw) override {
        QString line = raw;
        if (line.endsWith(QStringLiteral("\r\n"))) line.chop(2);
        const QString stamp = Stamp() + u' ';
        // The stamp is taken again here; across a second boundary only its length is reliable.
        line = line.startsWith(stamp) ? line.mid(stamp.size()) : line.mid(stamp.size());
        std::lock_guard<std::mutex> lock(FLock);
        FLines.append(line);
    }
    bool IsOn() const override { return true; }
    QStringList Lines() {
        std::lock_guard<std::mutex> lock(FLock);
        return FLines;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(FLock);
        FLines.clear();
    }
    bool Has(const QString& line) { return Lines().contains(line); }

  private:
    std::mutex FLock;
    QStringList FLines;
};

// ---- serial sensor ----
struct tFakeSerial {
    std::mutex Lock;  // guards everything below (detector threads use the port)
    bool CarrierOn = false;
    bool Silent = false;
    bool FailWrites = false;
    bool ModemStatusFails = false;
    bool SetStateFails = false;
    int ReadDelayMs = 0;
    uint8_t Status = 0;  // single-sensor status byte
    std::string Identity = "K330,a,b,7,c,1000";
    std::string FreqReply = "FREQ: Ok.";
    std::deque<uint8_t> Pending;
    std::string Command;
    std::vector<std::vector<uint8_t>> Writes;  // one entry per Write call
    std::vector<uint32_t> Purges;
    std::vector<tCommTimeouts> TimeoutWrites;
    tCommState State;
    tCommTimeouts Timeouts;
    bool Open = false;
    int Opens = 0;
    QStringList Calls;

    void Reply(std::string text, size_t length) {
        text.resize(length, '\0');
        for (char c : text) Pending.push_back(static_cast<uint8_t>(c));
    }
    void Execute(const std::string& command) {
        if (Silent) return;
        if (command == "INFO") Reply(Identity, 39);
        if (command == "I") {
            Pending.push_back(Status);
            if (Status == 0) Reply(Identity, 39);
        }
        if (command.rfind("FREQ ", 0) == 0) Reply(FreqReply, 39);
        if (command.rfind("F ", 0) == 0) Pending.push_back(Status);
    }
};

class tFakeSerialPort : public tCommPort {
  public:
    explicit tFakeSerialPort(std::shared_ptr<tFakeSerial> s) : S(std::move(s)) {}
    ~tFakeSerialPort() override {
        std::lock_guard<std::mutex> lock(S->Lock);
        S->Open = false;
        S->Calls.append(QStringLiteral("Close"));
    }
    bool SetRts(bool on) override { return Call(QStringLiteral("SetRts %1").arg(on)); }
    bool SetBreak(bool on) override { return Call(QStringLiteral("SetBreak %1").arg(on)); }
    bool GetModemStatus(uint32_t& status) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        status = S->CarrierOn ? static_cast<uint32_t>(MS_RLSD_ON) : 0u;
        return !S->ModemStatusFails;
    }
    bool GetState(tCommState& state) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        state = S->State;
        return true;
    }
    bool SetState(const tCommState& state) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        if (S->SetStateFails) return false;
        S->State = state;
        S->Calls.append(QStringLiteral("SetState %1 %2").arg(state.BaudRate).arg(state.RtsControl));
        return true;
    }
    bool GetTimeouts(tCommTimeouts& t) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        t = S->Timeouts;
        return true;
    }
    bool SetTimeouts(const tCommTimeouts& t) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        S->Timeouts = t;
        S->TimeoutWrites.push_back(t);
        return true;
    }
    bool Purge(uint32_t flags) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        S->Purges.push_back(flags);
        if (flags & PURGE_RXCLEAR) S->Pending.clear();
        return true;
    }
    bool Write(const uint8_t* data, uint32_t n, uint32_t& written) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        S->Writes.emplace_back(data, data + n);
        if (S->FailWrites) {
            written = 0;
            return false;
        }
        for (uint32_t i = 0; i < n; ++i) {
            if (data[i] == 0 || data[i] == 0xFF) {
                S->Execute(S->Command);
                S->Command.clear();
            } else {
                S->Command.push_back(static_cast<char>(data[i]));
            }
        }
        written = n;
        return true;
    }
    bool Read(uint8_t* data, uint32_t n, uint32_t& read) override {
        int delay;
        {
            std::lock_guard<std::mutex> lock(S->Lock);
            delay = S->ReadDelayMs;
        }
        if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        std::lock_guard<std::mutex> lock(S->Lock);
        read = 0;
        while (read < n && !S->Pending.empty()) {
            data[read++] = S->Pending.front();
            S->Pending.pop_front();
        }
        return true;
    }
    QString LastErrorText() const override { return QStringLiteral("fake failure"); }

  private:
    bool Call(const QString& text) {
        std::lock_guard<std::mutex> lock(S->Lock);
        S->Calls.append(text);
        return true;
    }
    std::shared_ptr<tFakeSerial> S;
};

// ---- HID sensor ----
struct tFakeHid {
    std::mutex Lock;  // guards everything below
    tHidPort::tCaps Caps = tHidPort::CapsOk;
    int InLength = 64;
    int OutLength = 64;
    enum tWriteMode { Immediate, Pending, PendingOneShort, Timeout, Fails } WriteMode = Immediate;
    bool ReadImmediate = true;
    std::deque<std::vector<uint8_t>> InputReports;
    std::vector<std::vector<uint8_t>> OutputReports;
    // When set, called for each output report written (under Lock) to queue replies.
    std::function<void(tFakeHid&, const std::vector<uint8_t>&)> Responder;
    bool Open = false;
    int Flushes = 0;
    int Cancels = 0;

    // A report with id, count byte and payload, padded to InLength.
    std::vector<uint8_t> Report(uint8_t id, uint8_t count, const std::vector<uint8_t>& payload) const {
        std::vector<uint8_t> r(static_cast<size_t>(InLength), 0);
        r[0] = id;
        r[1] = count;
        for (size_t i = 0; i < payload.size() && i + 2 < r.size(); ++i) r[i + 2] = payload[i];
        return r;
    }
};

class tFakeHidPort : public tHidPort {
  public:
    explicit tFakeHidPort(std::shared_ptr<tFakeHid> s) : S(std::move(s)) {}
    ~tFakeHidPort() override {
        std::lock_guard<std::mutex> lock(S->Lock);
        S->Open = false;
    }
    tCaps GetCaps(int& in, int& out) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        in = S->InLength;
        out = S->OutLength;
        return S->Caps;
    }
    tIo WriteReport(const uint8_t* report, uint32_t length, uint32_t, uint32_t& transferred,
                    bool& immediate) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        immediate = S->WriteMode == tFakeHid::Immediate;
        transferred = 0;
        if (S->WriteMode == tFakeHid::Timeout) return IoTimeout;
        if (S->WriteMode == tFakeHid::Fails) return IoFailed;
        S->OutputReports.emplace_back(report, report + length);
        if (S->Responder) S->Responder(*S, S->OutputReports.back());
        transferred = S->WriteMode == tFakeHid::PendingOneShort ? length - 1 : length;
        return IoDone;
    }
    tIo ReadReport(uint8_t* report, uint32_t length, uint32_t, uint32_t& transferred, bool& immediate,
                   const tStopSignal*) override {
        std::lock_guard<std::mutex> lock(S->Lock);
        immediate = S->ReadImmediate;
        transferred = 0;
        if (S->InputReports.empty()) return IoTimeout;
        const std::vector<uint8_t> r = S->InputReports.front();
        S->InputReports.pop_front();
        transferred = static_cast<uint32_t>(std::min<size_t>(r.size(), length));
        std::copy(r.begin(), r.begin() + transferred, report);
        return IoDone;
    }
    void Cancel() override {
        std::lock_guard<std::mutex> lock(S->Lock);
        ++S->Cancels;
    }
    bool Flush() override {
        std::lock_guard<std::mutex> lock(S->Lock);
        ++S->Flushes;
        return true;
    }
    QString LastErrorText() const override { return QStringLiteral("fake failure"); }

  private:
    std::shared_ptr<tFakeHid> S;
};

// ---- registry of fake sensors behind the "sim:" openers ----
class tFakeSensors {
  public:
    tFakeSensors() {
        SetSimulatedCommOpener([this](const QString& path, QString& error) -> std::unique_ptr<tCommPort> {
            std::shared_ptr<tFakeSerial> s = FindSerial(path);
            if (!s) {
                error = QStringLiteral("no such fake");
                return nullptr;
            }
            std::lock_guard<std::mutex> lock(s->Lock);
            if (s->Open) {
                error = QStringLiteral("busy");
                return nullptr;
            }
            s->Open = true;
            ++s->Opens;
            return std::make_unique<tFakeSerialPort>(s);
        });
        SetSimulatedHidOpener([this](const QString& path, QString& error) -> std::unique_ptr<tHidPort> {
            std::shared_ptr<tFakeHid> s = FindHid(path);
            if (!s) {
                error = QStringLiteral("no such fake");
                return nullptr;
            }
            std::lock_guard<std::mutex> lock(s->Lock);
            s->Open = true;
            ++FHidOpens[path];
            return std::make_unique<tFakeHidPort>(s);
        });
    }
    ~tFakeSensors() {
        SetSimulatedCommOpener(nullptr);
        SetSimulatedHidOpener(nullptr);
    }
    std::shared_ptr<tFakeSerial> AddSerial(const QString& path) {
        std::lock_guard<std::mutex> lock(FLock);
        return FSerial[path] = std::make_shared<tFakeSerial>();
    }
    std::shared_ptr<tFakeHid> AddHid(const QString& path) {
        std::lock_guard<std::mutex> lock(FLock);
        return FHid[path] = std::make_shared<tFakeHid>();
    }
    int HidOpens(const QString& path) {
        std::lock_guard<std::mutex> lock(FLock);
        return FHidOpens[path];
    }

  private:
    std::shared_ptr<tFakeSerial> FindSerial(const QString& path) {
        std::lock_guard<std::mutex> lock(FLock);
        auto it = FSerial.find(path);
        return it == FSerial.end() ? nullptr : it->second;
    }
    std::shared_ptr<tFakeHid> FindHid(const QString& path) {
        std::lock_guard<std::mutex> lock(FLock);
        auto it = FHid.find(path);
        return it == FHid.end() ? nullptr : it->second;
    }
    std::mutex FLock;  // guards the maps
    std::map<QString, std::shared_ptr<tFakeSerial>> FSerial;
    std::map<QString, std::shared_ptr<tFakeHid>> FHid;
    std::map<QString, int> FHidOpens;
};

// A HID sensor answering the single-sensor identification ("I": status 0 and the identity in one
// report, so the second step is answered from the carry buffer).
inline void AnswerIdentity(std::shared_ptr<tFakeHid> hid, const std::string& identity) {
    hid->Responder = [identity](tFakeHid& h, const std::vector<uint8_t>& report) {
        if (report.size() > 2 && report[1] == 'I' && report[2] == 0) {
            std::vector<uint8_t> payload(40, 0);
            payload[0] = 0;
            for (size_t i = 0; i < identity.size() && i < 39; ++i)
                payload[1 + i] = static_cast<uint8_t>(identity[i]);
            h.InputReports.push_back(h.Report(1, 40, payload));
        }
    };
}
