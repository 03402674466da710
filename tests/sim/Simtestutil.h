// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the simulator tests: a clock the test moves by hand, and a small reference receiver
// (framing with the carried tail, then packed-decimal decoding with a fresh state per packet) that
// is written from the stream's byte classes, independently of the simulator's encoder.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/Simsensor.h"

struct tManualClock {
    std::shared_ptr<std::atomic<int64_t>> Ns = std::make_shared<std::atomic<int64_t>>(1'000'000'000);
    std::function<int64_t()> Fn() const {
        auto ns = Ns;
        return [ns] { return ns->load(); };
    }
    void AdvanceMs(int64_t ms) { *Ns += ms * 1'000'000; }
};

inline void SendCommand(tSimSensor& s, const std::string& text, bool nul = true) {
    std::vector<uint8_t> b(text.begin(), text.end());
    if (nul) b.push_back(0);
    s.HostWrite(b.data(), b.size());
}

inline std::vector<uint8_t> ReadAll(tSimSensor& s) {
    std::vector<uint8_t> out(1 << 16);
    out.resize(s.HostRead(out.data(), out.size()));
    return out;
}

inline std::string Text(const std::vector<uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

inline bool IsBoundary(uint8_t b) {
    return (b & 0x0C) == 0x0C || b >= 0xF0;
}

struct tReference {
    std::map<int, std::vector<double>> Values;
    bool Removed = false;
    int Channel = 0;
    std::vector<uint8_t> Tail;
    int TailCuts = 0;  // reads that ended inside a value

    // One packet's body, decoded with a fresh state.
    void DecodeBody(const std::vector<uint8_t>& body) {
        bool neg = false, frac = false;
        int64_t ip = 0, fp = 0;
        int fd = 0;
        auto reset = [&] { neg = frac = false, ip = fp = 0, fd = 0; };
        for (uint8_t b : body) {
            if (Removed) return;
            if (b >= 0xF0) {
                if (b == 0xF6) Removed = true;
                if (b == 0xF6 || b == 0xF7) return;
                continue;
            }
            if ((b & 0xF0) == 0xD0) {
                Channel = b & 0x0F;
                reset();
                continue;
            }
            for (int half = 0; half < 2; ++half) {
                const int code = half == 0 ? b >> 4 : b & 0x0F;
                if (code <= 9) {
                    if (frac)
                        fp = fp * 10 + code, ++fd;
                    else
                        ip = ip * 10 + code;
                } else if (code == 0xA) {
                    neg = true;
                } else if (code == 0xE) {
                    neg = false;
                } else if (code == 0xB) {
                    frac = true;
                } else if (code == 0xC) {
                    double v = static_cast<double>(ip);
                    double f = static_cast<double>(fp);
                    for (int i = 0; i < fd; ++i) f /= 10;
                    v += f;
                    Values[Channel].push_back(neg ? -v : v);
                    reset();
                    break;  // the low half after an end in the high half means nothing
                }
            }
        }
    }

    // One read of raw stream bytes: framed as the receiver does, the tail after the last boundary
    // byte carried to the next read.
    void Feed(const std::vector<uint8_t>& chunk) {
        std::vector<uint8_t> body = Tail;
        body.insert(body.end(), chunk.begin(), chunk.end());
        size_t end = body.size();
        while (end > 0 && !IsBoundary(body[end - 1])) --end;
        Tail.assign(body.begin() + end, body.end());
        if (!Tail.empty()) ++TailCuts;
        body.resize(end);
        DecodeBody(body);
    }
};
