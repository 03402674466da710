// SPDX-License-Identifier: GPL-3.0-or-later
// Scripted ports and capture doubles for the measurement tests. A fake runs on the measurement
// thread; the test reads its records only after WaitFor() (the join orders the accesses). After the
// last scripted read the fake asks its owner to stop, so every run ends deterministically.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/Appmessage.h"
#include "foundation/Logfile.h"
#include "measurement/Measurethread.h"
#include "platform/Commport.h"
#include "platform/Hidport.h"
#include "platform/Stopsignal.h"

using tBytes = std::vector<uint8_t>;

// Waits (bounded) until the test has told the fake which thread runs it.
inline tMeasureThread* AwaitOwner(std::atomic<tMeasureThread*>& owner) {
    for (int i = 0; i < 10000 && owner.load() == nullptr; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return owner.load();
}

struct tCommRead {
    bool Ok = true;
    tBytes Bytes;
};

class tFakeComm : public tCommPort {
  public:
    std::atomic<tMeasureThread*> Owner{nullptr};
    std::deque<tCommRead> Reads;  // the start reply first, then one per cycle
    int FailWriteAt = -1;         // index of the request byte whose write fails
    tBytes Written;
    std::vector<uint32_t> ReadSizes;
    std::vector<uint32_t> Purges;
    std::vector<uint32_t> TimeoutConstants;  // every SetTimeouts, in order
    tCommTimeouts Timeouts;
    tCommState State;
    int SetStateCalls = 0;
    int Calls = 0;
    bool FailForever = false;  // after the script every read fails at once (a device that is gone)
    std::function<void(uint32_t)> OnPurge;

    bool SetRts(bool) override { return true; }
    bool SetBreak(bool) override { return true; }
    bool GetModemStatus(uint32_t& status) override {
        status = 0;
        return true;
    }
    bool GetState(tCommState& state) override {
        ++Calls;
        state = State;
        return true;
    }
    bool SetState(const tCommState& state) override {
        ++Calls;
        State = state;
        ++SetStateCalls;
        return true;
    }
    bool GetTimeouts(tCommTimeouts& timeouts) override {
        AwaitOwner(Owner);
        ++Calls;
        timeouts = Timeouts;
        return true;
    }
    bool SetTimeouts(const tCommTimeouts& timeouts) override {
        ++Calls;
        Timeouts = timeouts;
        TimeoutConstants.push_back(timeouts.ReadTotalTimeoutConstant);
        return true;
    }
    bool Purge(uint32_t flags) override {
        ++Calls;
        Purges.push_back(flags);
        if (OnPurge) OnPurge(flags);
        return true;
    }
    bool Write(const uint8_t* data, uint32_t n, uint32_t& written) override {
        ++Calls;
        if (static_cast<int>(Written.size()) == FailWriteAt) {
            written = 0;
            return false;
        }
        Written.insert(Written.end(), data, data + n);
        written = n;
        return true;
    }
    bool Read(uint8_t* data, uint32_t n, uint32_t& read) override {
        ++Calls;
        ReadSizes.push_back(n);
        read = 0;
        if (Reads.empty()) return !FailForever;
        tCommRead step = std::move(Reads.front());
        Reads.pop_front();
        read = std::min<uint32_t>(n, static_cast<uint32_t>(step.Bytes.size()));
        if (read > 0) std::memcpy(data, step.Bytes.data(), read);
        if (Reads.empty() && !FailForever) AwaitOwner(Owner)->RequestStop();
        return step.Ok;
    }
    QString LastErrorText() const override { return QStringLiteral("fake failure"); }
};

struct tHidRead {
    tHidPort::tIo Io = tHidPort::IoDone;
    tBytes Report;         // copied into the caller's buffer (up to its length)
    int Transferred = -1;  // -1: the buffer length
};

class tFakeHid : public tHidPort {
  public:
    std::atomic<tMeasureThread*> Owner{nullptr};
    tCaps Caps = CapsOk;
    int InputLength = 64;
    int OutputLength = 65;
    tIo WriteIo = IoDone;
    int WriteTransferred = -1;    // -1: the report length
    std::deque<tHidRead> Reads;   // the start reply first
    bool BlockAtEnd = false;      // after the script: wait for the stop signal instead of stopping
    bool HonourTimeouts = false;  // an IoTimeout read really waits its time-out
    std::atomic<bool> Blocking{false};
    tBytes LastWritten;
    int Cancels = 0;

    tCaps GetCaps(int& in, int& out) override {
        AwaitOwner(Owner);
        in = InputLength;
        out = OutputLength;
        return Caps;
    }
    tIo WriteReport(const uint8_t* report, uint32_t length, uint32_t, uint32_t& transferred,
                    bool& immediate) override {
        LastWritten.assign(report, report + length);
        transferred = WriteTransferred < 0 ? length : static_cast<uint32_t>(WriteTransferred);
        immediate = true;
        return WriteIo;
    }
    tIo ReadReport(uint8_t* report, uint32_t length, uint32_t timeoutMs, uint32_t& transferred,
                   bool& immediate, const tStopSignal* stop) override {
        immediate = false;
        transferred = 0;
        if (Reads.empty()) {
            if (!BlockAtEnd) return IoTimeout;
            Blocking = true;
            if (stop != nullptr && stop->Wait(static_cast<int>(timeoutMs))) return IoStopped;
            return IoTimeout;
        }
        tHidRead step = std::move(Reads.front());
        Reads.pop_front();
        if (step.Io == IoTimeout && HonourTimeouts)
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        const size_t copied = std::min<size_t>(length, step.Report.size());
        if (copied > 0) std::memcpy(report, step.Report.data(), copied);  // an empty report has no data
        transferred = step.Transferred < 0 ? length : static_cast<uint32_t>(step.Transferred);
        if (Reads.empty() && !BlockAtEnd) AwaitOwner(Owner)->RequestStop();
        return step.Io;
    }
    void Cancel() override { ++Cancels; }
    bool Flush() override { return true; }
    QString LastErrorText() const override { return QStringLiteral("fake failure"); }
};

// Keeps every log entry (stamp stripped by matching on the end of the line).
class tCaptureLog : public tLogFile {
  public:
    void Write(const QString& raw) override {
        std::lock_guard<std::mutex> lock(FLock);
        FLines << raw;
    }
    bool IsOn() const override { return true; }
    QStringList Lines() {
        std::lock_guard<std::mutex> lock(FLock);
        return FLines;
    }
    // Entries whose text (after the stamp) is exactly `text`.
    int Count(const QString& text) {
        int n = 0;
        for (const QString& l : Lines())
            if (l.endsWith(u' ' + text + QStringLiteral("\r\n"))) ++n;
        return n;
    }
    bool Has(const QString& text) { return Count(text) > 0; }
    // Entries whose text begins with `prefix`.
    int CountPrefix(const QString& prefix) {
        int n = 0;
        for (const QString& l : Lines())
            if (l.contains(u' ' + prefix)) ++n;
        return n;
    }

  private:
    std::mutex FLock;  // guards FLines
    QStringList FLines;
};

struct tMessage {
    uint32_t Code;
    intptr_t WParam;
    bool operator==(const tMessage& o) const { return Code == o.Code && WParam == o.WParam; }
};

// Records the posted application messages for the lifetime of the object.
class tMessageCapture {
  public:
    tMessageCapture() {
        SetAppMessageObserverForTests([this](uint32_t code, intptr_t w, intptr_t) {
            std::lock_guard<std::mutex> lock(FLock);
            FMessages.push_back({code, w});
        });
    }
    ~tMessageCapture() { SetAppMessageObserverForTests(nullptr); }
    std::vector<tMessage> All() {
        std::lock_guard<std::mutex> lock(FLock);
        return FMessages;
    }
    // Messages other than WM_DEVICE_DATA.
    std::vector<tMessage> Errors() {
        std::vector<tMessage> out;
        for (const tMessage& m : All())
            if (m.Code != WM_DEVICE_DATA) out.push_back(m);
        return out;
    }
    int Count(uint32_t code) {
        int n = 0;
        for (const tMessage& m : All())
            if (m.Code == code) ++n;
        return n;
    }

  private:
    std::mutex FLock;  // guards FMessages
    std::vector<tMessage> FMessages;
};
