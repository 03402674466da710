// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor model on its own: command replies of both dialects, the binary and the text stream
// decoded back to exactly what the sensor says it sent, the waveforms, and the faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Simtestutil.h"

namespace {

tSimSensorConfig Config(const QString& model, bool hub, int32_t speed, const tManualClock& clock) {
    tSimSensorConfig c;
    c.Model = model;
    c.Hub = hub;
    c.Speed = speed;
    c.Clock = clock.Fn();
    return c;
}

std::vector<uint8_t> Padded39(const std::string& text) {
    std::vector<uint8_t> r(39, 0);
    std::copy(text.begin(), text.end(), r.begin());
    return r;
}

// Streams for `ms` in reads every `stepMs`, feeding the reference receiver.
tReference Stream(tSimSensor& s, tManualClock& clock, int ms, int stepMs = 100) {
    tReference ref;
    for (int t = 0; t < ms; t += stepMs) {
        clock.AdvanceMs(stepMs);
        ref.Feed(ReadAll(s));
    }
    return ref;
}

void ExpectSame(const std::vector<double>& a, const std::vector<double>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 1e-9) << "value " << i;
}

}  // namespace

// ---------- Command replies, hub dialect ----------

TEST(SimSensorHub, IdentityIs39BytesNulPadded) {
    tManualClock clock;
    tSimSensor s(Config("T100", true, 115200, clock));
    SendCommand(s, "INFO");
    EXPECT_EQ(ReadAll(s), Padded39("T100,Rovelin,SIM,1,1.0,115200"));
}

TEST(SimSensorHub, PeriodAcceptedAndRefused) {
    tManualClock clock;
    tSimSensor s(Config("T100", true, 115200, clock));
    SendCommand(s, "FREQ 0 50000");
    EXPECT_EQ(ReadAll(s), Padded39("FREQ: Ok."));
    EXPECT_EQ(s.PeriodUs(), 50000);
    for (const char* bad : {"FREQ 0 abc", "FREQ 0 10", "FREQ 0", "FREQ 0 -5"}) {
        SendCommand(s, bad);
        EXPECT_EQ(ReadAll(s), Padded39("FREQ: Error.")) << bad;
    }
    EXPECT_EQ(s.PeriodUs(), 50000);
}

TEST(SimSensorHub, SingleSensorCommandsGetNoAnswer) {
    tManualClock clock;
    tSimSensor s(Config("T100", true, 115200, clock));
    SendCommand(s, "I");
    SendCommand(s, "F 1000");
    EXPECT_TRUE(ReadAll(s).empty());
}

TEST(SimSensorHub, StopByteEndsTheStream) {
    tManualClock clock;
    tSimSensor s(Config("T100", true, 115200, clock));
    SendCommand(s, "S");
    EXPECT_EQ(ReadAll(s), std::vector<uint8_t>{0x00});
    EXPECT_TRUE(s.IsStreaming());
    const uint8_t stop = 0xFF;
    s.HostWrite(&stop, 1);
    EXPECT_FALSE(s.IsStreaming());
    clock.AdvanceMs(1000);
    EXPECT_TRUE(ReadAll(s).empty());
}

TEST(SimSensorHub, OverlongGarbageIsDroppedNotBuffered) {
    tManualClock clock;
    tSimSensor s(Config("T100", true, 115200, clock));
    SendCommand(s, std::string(5000, 'x') + "INFO");
    EXPECT_TRUE(ReadAll(s).empty()) << "an overlong command is not executed by its tail";
    SendCommand(s, "INFO");
    EXPECT_EQ(ReadAll(s).size(), 39u);
}

// ---------- Command replies, single-sensor dialect ----------

TEST(SimSensorSingle, IdentityFollowsTheStatusByte) {
    tManualClock clock;
    tSimSensor s(Config("K330", false, 38400, clock));
    SendCommand(s, "I");
    std::vector<uint8_t> expected{0x00};
    const std::vector<uint8_t> id = Padded39("K330,Rovelin,SIM,1,1.0,38400");
    expected.insert(expected.end(), id.begin(), id.end());
    EXPECT_EQ(ReadAll(s), expected);
}

TEST(SimSensorSingle, PeriodStatusAndStop) {
    tManualClock clock;
    tSimSensor s(Config("K330", false, 38400, clock));
    SendCommand(s, "F 20000");
    EXPECT_EQ(ReadAll(s), std::vector<uint8_t>{0x00});
    EXPECT_EQ(s.PeriodUs(), 20000);
    SendCommand(s, "F x");
    EXPECT_EQ(ReadAll(s), std::vector<uint8_t>{0x01});
    SendCommand(s, "INFO");
    EXPECT_TRUE(ReadAll(s).empty());
    SendCommand(s, "S");
    ReadAll(s);
    SendCommand(s, "T");
    EXPECT_FALSE(s.IsStreaming());
}

// ---------- Binary stream ----------

TEST(SimSensorStream, DecodesToExactlyTheSentValues) {
    tManualClock clock;
    tSimSensorConfig c = Config("K330", false, 115200, clock);
    c.Channels = 2;
    c.PeriodUs = 10000;
    tSimSensor s(c);
    SendCommand(s, "S");
    ASSERT_EQ(ReadAll(s), std::vector<uint8_t>{0x00});
    const tReference ref = Stream(s, clock, 3000, 37);
    ASSERT_FALSE(ref.Removed);
    for (int ch : {0, 1}) {
        SCOPED_TRACE(ch);
        const std::vector<double> sent = s.SentValues(ch);
        EXPECT_GT(sent.size(), 250u);
        ExpectSame(ref.Values.count(ch) ? ref.Values.at(ch) : std::vector<double>{}, sent);
        for (size_t k = 0; k < sent.size(); ++k)
            ASSERT_NEAR(sent[k], SimWaveValue("K330", ch, static_cast<int64_t>(k), 10000, 1), 1e-9);
    }
    EXPECT_GT(ref.TailCuts, 10) << "reads should end inside values";
}

TEST(SimSensorStream, BothEndFormsAndChannelSelectsAppear) {
    tManualClock clock;
    tSimSensorConfig c = Config("P620", true, 115200, clock);
    c.PeriodUs = 10000;
    tSimSensor s(c);
    SendCommand(s, "S");
    ReadAll(s);
    clock.AdvanceMs(5000);
    const std::vector<uint8_t> bytes = ReadAll(s);
    bool highEnd = false, lowEnd = false, select = false, plus = false;
    for (uint8_t b : bytes) {
        highEnd |= (b >> 4) == 0xC && ((b & 0x0F) == 0xF || (b & 0x0F) == 0xD);
        lowEnd |= b < 0xD0 && (b & 0x0F) == 0xC;
        select |= b == 0xD0;
        plus |= (b >> 4) == 0xE;
    }
    EXPECT_TRUE(highEnd);
    EXPECT_TRUE(lowEnd);
    EXPECT_TRUE(select);
    EXPECT_TRUE(plus);
    tReference ref;
    ref.Feed(bytes);
    ExpectSame(ref.Values[0], s.SentValues(0));
}

TEST(SimSensorStream, ValuesAreProducedAtThePeriod) {
    tManualClock clock;
    tSimSensorConfig c = Config("P620", true, 115200, clock);
    c.PeriodUs = 10000;
    c.StreamStartDelayMs = 0;
    tSimSensor s(c);
    SendCommand(s, "S");
    ReadAll(s);
    Stream(s, clock, 2000);
    // 200 samples are due; the last one's bytes trickle out over its period.
    EXPECT_GE(s.SentValues(0).size(), 199u);
    EXPECT_LE(s.SentValues(0).size(), 201u);
}

TEST(SimSensorStream, LineSpeedLimitsTheByteRate) {
    tManualClock clock;
    tSimSensorConfig c = Config("K330", false, 9600, clock);
    c.Channels = 4;
    c.PeriodUs = 1000;
    tSimSensor s(c);
    SendCommand(s, "S");
    ReadAll(s);
    size_t total = 0;
    for (int i = 0; i < 10; ++i) {
        clock.AdvanceMs(100);
        total += ReadAll(s).size();
    }
    EXPECT_LE(total, 965u);  // 960 bytes/s at 10 bits per byte
    EXPECT_GE(total, 900u);
}

TEST(SimSensorStream, PurgeNeverLeavesHalfAValue) {
    tManualClock clock;
    tSimSensorConfig c = Config("K330", false, 115200, clock);
    c.Channels = 2;
    c.PeriodUs = 10000;
    tSimSensor s(c);
    SendCommand(s, "S");
    ReadAll(s);
    tReference ref;
    for (int i = 0; i < 20; ++i) {
        clock.AdvanceMs(23);
        if (i % 3 == 1)
            s.PurgeArrived();
        else
            ref.Feed(ReadAll(s));
    }
    ExpectSame(ref.Values[0], s.SentValues(0));
    ExpectSame(ref.Values[1], s.SentValues(1));
}

TEST(SimSensorStream, ANewStartBeginsTheStoryAgain) {
    tManualClock clock;
    tSimSensor s(Config("T100", true, 115200, clock));
    SendCommand(s, "S");
    ReadAll(s);
    clock.AdvanceMs(1000);
    ReadAll(s);
    EXPECT_FALSE(s.SentValues(0).empty());
    SendCommand(s, "S");
    EXPECT_TRUE(s.SentValues(0).empty());
}

// ---------- Text start protocol ----------

TEST(SimSensorText, PacketSizeReplyThenFramedPackets) {
    tManualClock clock;
    tSimSensorConfig c = Config("L200", true, 0, clock);
    c.TextPacketSize = 40;
    c.StreamStartDelayMs = 0;
    c.PeriodUs = 5000;  // more values than one packet holds: the rest waits
    tSimSensor s(c);
    SendCommand(s, "S");
    EXPECT_TRUE(ReadAll(s).empty()) << "a text-protocol sensor ignores the binary start";
    SendCommand(s, "START 0\r\n", false);
    EXPECT_EQ(ReadAll(s), Padded39("PACKET_SIZE=40"));
    tReference ref;
    for (int p = 0; p < 10; ++p) {
        clock.AdvanceMs(100);
        const std::vector<uint8_t> packet = ReadAll(s);
        ASSERT_EQ(packet.size(), 40u) << p;
        EXPECT_EQ(packet[0], 0xFE);
        EXPECT_EQ(packet[1], p);
        EXPECT_EQ(packet.back(), 0xFF);
        ref.DecodeBody(std::vector<uint8_t>(packet.begin() + 2, packet.end() - 1));
    }
    EXPECT_GT(s.SentValues(0).size(), 40u);
    ExpectSame(ref.Values[0], s.SentValues(0));
}

// ---------- Waveforms ----------

TEST(SimWave, TemperatureCoolsTowardsTheRoom) {
    const double first = SimWaveValue("T100", 0, 0, 1000000, 7);
    const double later = SimWaveValue("T100", 0, 1800, 1000000, 7);
    EXPECT_NEAR(first, 80.0, 0.5);
    EXPECT_NEAR(later, 22.0, 0.5);
    EXPECT_EQ(SimWaveText("T100", 0, 23.4), "23.4");
}

TEST(SimWave, RangesOfLightAndVoltage) {
    double lmin = 1e9, lmax = -1e9, vmin = 1e9, vmax = -1e9, imin = 1e9;
    for (int k = 0; k < 6000; ++k) {
        const double l = SimWaveValue("L200", 0, k, 100000, 3);
        lmin = std::min(lmin, l), lmax = std::max(lmax, l);
        EXPECT_EQ(l, std::round(l));
        const double v = SimWaveValue("K330", 0, k, 100000, 3);
        vmin = std::min(vmin, v), vmax = std::max(vmax, v);
        imin = std::min(imin, SimWaveValue("K330", 1, k, 100000, 3));
    }
    EXPECT_GE(lmin, 300);
    EXPECT_LE(lmax, 600);
    EXPECT_GE(vmin, 0.0);
    EXPECT_LE(vmax, 5.0);
    EXPECT_LT(imin, -4.0) << "the discharge current is negative";
}

TEST(SimWave, PulseHasOneFallingCrossingPerBeat) {
    // 10 ms samples, falling crossings of 70 % of each 5 s window's range.
    int beats = 0;
    for (int window = 0; window < 4; ++window) {
        std::vector<double> w;
        for (int k = 0; k < 500; ++k) w.push_back(SimWaveValue("P620", 0, window * 500 + k, 10000, 11));
        const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
        const double level = *lo + 0.7 * (*hi - *lo);
        for (size_t k = 1; k < w.size(); ++k) beats += w[k - 1] >= level && w[k] < level;
    }
    EXPECT_EQ(beats, 24);  // 20 s at 72 per minute
}

TEST(SimWave, SameSeedSameValuesOtherSeedOtherNoise) {
    EXPECT_EQ(SimWaveValue("L200", 0, 42, 100000, 5), SimWaveValue("L200", 0, 42, 100000, 5));
    int differ = 0;
    for (int k = 0; k < 50; ++k)
        differ += SimWaveValue("L200", 0, k, 100000, 5) != SimWaveValue("L200", 0, k, 100000, 6);
    EXPECT_GT(differ, 25);
}

// ---------- Faults ----------

TEST(SimSensorFaults, SilentAnswersNothingAndStreamsNothing) {
    tManualClock clock;
    tSimSensorConfig c = Config("T100", true, 115200, clock);
    c.Faults.Silent = true;
    tSimSensor s(c);
    SendCommand(s, "INFO");
    SendCommand(s, "S");
    clock.AdvanceMs(2000);
    EXPECT_TRUE(ReadAll(s).empty());
    EXPECT_EQ(s.Received().size(), 7u) << "what was written is still recorded";
}

TEST(SimSensorFaults, GarbageShortAndWrongReplies) {
    tManualClock clock;
    tSimSensorConfig c = Config("T100", true, 115200, clock);
    c.Faults.GarbageReplies = true;
    {
        tSimSensor s(c);
        SendCommand(s, "INFO");
        const std::vector<uint8_t> r = ReadAll(s);
        ASSERT_EQ(r.size(), 39u);
        EXPECT_TRUE(std::none_of(r.begin(), r.end(), [](uint8_t b) { return b == 0 || b == ','; }));
        SendCommand(s, "S");
        EXPECT_NE(ReadAll(s), std::vector<uint8_t>{0x00});
    }
    c.Faults = {};
    c.Faults.ShortReplies = true;
    {
        tSimSensor s(c);
        SendCommand(s, "INFO");
        EXPECT_EQ(ReadAll(s).size(), 19u);
        SendCommand(s, "S");
        EXPECT_TRUE(ReadAll(s).empty());
    }
    c.Faults = {};
    c.Faults.WrongReplies = true;
    {
        tSimSensor s(c);
        SendCommand(s, "FREQ 0 100000");
        EXPECT_EQ(ReadAll(s), Padded39("freq: ok."));
        SendCommand(s, "INFO");
        EXPECT_EQ(ReadAll(s), Padded39("ERROR"));
        SendCommand(s, "S");
        EXPECT_EQ(ReadAll(s), std::vector<uint8_t>{0x01});
        EXPECT_FALSE(s.IsStreaming());
    }
    c.Hub = false;
    {
        tSimSensor s(c);
        SendCommand(s, "I");
        EXPECT_EQ(ReadAll(s), std::vector<uint8_t>{0x01});
        SendCommand(s, "F 100000");
        EXPECT_EQ(ReadAll(s), std::vector<uint8_t>{0x01});
    }
    c.Speed = 0;
    {
        tSimSensor s(c);
        SendCommand(s, "START 0\r\n", false);
        EXPECT_EQ(ReadAll(s), Padded39("PACKET_SIZE=abc"));
    }
}

TEST(SimSensorFaults, RemovedByteEndsTheStream) {
    tManualClock clock;
    tSimSensorConfig c = Config("T100", true, 115200, clock);
    c.PeriodUs = 10000;
    c.Faults.RemovedAfterValues = 25;
    tSimSensor s(c);
    SendCommand(s, "S");
    ReadAll(s);
    const tReference ref = Stream(s, clock, 1000);
    EXPECT_TRUE(ref.Removed);
    EXPECT_EQ(ref.Values.at(0).size(), 25u);
    EXPECT_EQ(s.SentValues(0).size(), 25u);
    EXPECT_FALSE(s.IsStreaming());
}

TEST(SimSensorFaults, StallPausesTheStream) {
    tManualClock clock;
    tSimSensorConfig c = Config("T100", true, 115200, clock);
    c.PeriodUs = 10000;
    c.StreamStartDelayMs = 0;
    c.Faults.StallAfterValues = 50;
    c.Faults.StallMs = 1000;
    tSimSensor s(c);
    SendCommand(s, "S");
    ReadAll(s);
    Stream(s, clock, 600);
    const size_t atStall = s.SentValues(0).size();
    EXPECT_EQ(atStall, 50u);
    Stream(s, clock, 800);
    EXPECT_EQ(s.SentValues(0).size(), atStall) << "nothing during the stall";
    Stream(s, clock, 600);
    EXPECT_GT(s.SentValues(0).size(), atStall + 30);
}

TEST(SimSensorFaults, UnplugAfterValuesStopsDelivery) {
    tManualClock clock;
    tSimSensorConfig c = Config("T100", true, 115200, clock);
    c.PeriodUs = 10000;
    c.Faults.UnplugAfterValues = 10;
    tSimSensor s(c);
    SendCommand(s, "S");
    ReadAll(s);
    Stream(s, clock, 1000);
    EXPECT_TRUE(s.IsUnplugged());
    EXPECT_EQ(s.SentValues(0).size(), 10u);
    EXPECT_FALSE(s.TryOpen());
}
