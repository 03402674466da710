// SPDX-License-Identifier: GPL-3.0-or-later
// The consumer side: frame check, decoder, channel sequences, points, elapsed time, intake.
#include "measurement/Samples.h"

#include <gtest/gtest.h>

#include <deque>

#include "tests/measurement/Fakes.h"

namespace {

tBytes Decode(const tBytes& body, tChannelValues& channels, int& channel, bool* removed = nullptr) {
    const bool r = DecodeSamples(body, channels, channel);
    if (removed) *removed = r;
    return body;
}

tPacket MakePacket(const tBytes& bytes) {
    tPacket p;
    p.Data = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), p.Data.get());
    p.Size = static_cast<int32_t>(bytes.size());
    return p;
}

}  // namespace

// ---- packet body ---------------------------------------------------------------------------------

TEST(PacketBody, SkipsFrameMarksAndStopsAtFiller) {
    const tBytes packet{0xFE, 0x05, 0xF0, 0x12, 0xF1, 0x3C, 0xF3, 0xF7, 0x44, 0xFF};
    tBytes body;
    ASSERT_TRUE(ExtractPacketBody(packet.data(), static_cast<int32_t>(packet.size()), body));
    EXPECT_EQ(body, (tBytes{0x12, 0x3C}));
}

TEST(PacketBody, RejectsWrongFrame) {
    tBytes body;
    const tBytes noStart{0xFD, 0x00, 0x1C, 0xFF};
    const tBytes noEnd{0xFE, 0x00, 0x1C, 0xF7};
    EXPECT_FALSE(ExtractPacketBody(noStart.data(), 4, body));
    EXPECT_FALSE(ExtractPacketBody(noEnd.data(), 4, body));
    EXPECT_FALSE(ExtractPacketBody(noEnd.data(), 0, body));
    EXPECT_FALSE(ExtractPacketBody(nullptr, 4, body));
    const tBytes single{0xFE};
    EXPECT_FALSE(ExtractPacketBody(single.data(), 1, body));
}

TEST(PacketBody, LastByteIsNeverPartOfTheBody) {
    const tBytes packet{0xFE, 0x00, 0x1C, 0xFF};
    tBytes body;
    ASSERT_TRUE(ExtractPacketBody(packet.data(), 4, body));
    EXPECT_EQ(body, (tBytes{0x1C}));
}

// ---- decoder -------------------------------------------------------------------------------------

TEST(Decoder, ChannelSelectSignFractionAndEnd) {
    tChannelValues channels;
    int channel = 0;
    Decode({0xD1, 0xA3, 0xB2, 0x5C}, channels, channel);
    EXPECT_EQ(channel, 1);
    EXPECT_EQ(channels.Count(0), 0);
    ASSERT_EQ(channels.Count(1), 1);
    EXPECT_DOUBLE_EQ(channels.At(1, 0), -3.25);
}

TEST(Decoder, EndInHighHalfIgnoresLowHalfAndPlusResetsSign) {
    tChannelValues channels;
    int channel = 0;
    // 7; then -8 ended in a high half (its low half 5 must not start the next value); then the sign
    // turned positive again and 0xF ignored: +9.
    Decode({0x7C, 0xA8, 0xC5, 0xAE, 0x9F, 0xC0}, channels, channel);
    ASSERT_EQ(channels.Count(0), 3);
    EXPECT_DOUBLE_EQ(channels.At(0, 0), 7.0);
    EXPECT_DOUBLE_EQ(channels.At(0, 1), -8.0);
    EXPECT_DOUBLE_EQ(channels.At(0, 2), 9.0);
}

TEST(Decoder, PaddingOnlyPacketDecodesNothing) {
    const tBytes packet{0xFE, 0x00, 0xF7, 0xF7, 0xF7, 0xFF};
    tBytes body;
    ASSERT_TRUE(ExtractPacketBody(packet.data(), 6, body));
    tChannelValues channels;
    int channel = 0;
    EXPECT_FALSE(DecodeSamples(body, channels, channel));
    for (int c = 0; c < tChannelValues::kChannels; ++c) EXPECT_EQ(channels.Count(c), 0);
}

TEST(Decoder, NumberCutByPacketEndIsDroppedAndDoesNotCarry) {
    tChannelValues channels;
    int channel = 0;
    Decode({0x12, 0x34}, channels, channel);
    Decode({0x5C}, channels, channel);
    ASSERT_EQ(channels.Count(0), 1);
    EXPECT_DOUBLE_EQ(channels.At(0, 0), 5.0);
}

TEST(Decoder, SensorRemovedAfterValuesKeepsThem) {
    tChannelValues channels;
    int channel = 0;
    bool removed = false;
    Decode({0x1C, 0x2C, 0xF6, 0x3C}, channels, channel, &removed);
    EXPECT_TRUE(removed);
    EXPECT_EQ(channels.Count(0), 2);
}

TEST(Decoder, ChannelPersistsAcrossPacketsAndOtherChannelsAreKept) {
    tChannelValues channels;
    int channel = 0;
    Decode({0xD3, 0x1C}, channels, channel);
    Decode({0x2C, 0xD0, 0x4C}, channels, channel);
    EXPECT_EQ(channels.Count(3), 2);
    EXPECT_EQ(channels.Count(0), 1);
    EXPECT_EQ(channel, 0);
}

TEST(Decoder, LongFractionWithLeadingZerosKeepsItsScale) {
    tChannelValues channels;
    int channel = 0;
    // 0.05 and 0.000000000001 (twelve fraction digits, the part itself is small).
    Decode({0x0B, 0x05, 0xC0, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0xC0}, channels, channel);
    ASSERT_EQ(channels.Count(0), 2);
    EXPECT_DOUBLE_EQ(channels.At(0, 0), 0.05);
    EXPECT_DOUBLE_EQ(channels.At(0, 1), 1e-12);
}

TEST(Decoder, ChannelByteResetsAnOpenValue) {
    tChannelValues channels;
    int channel = 0;
    Decode({0xA1, 0xB2, 0xD2, 0x3C}, channels, channel);
    ASSERT_EQ(channels.Count(2), 1);
    EXPECT_DOUBLE_EQ(channels.At(2, 0), 3.0);
}

TEST(Decoder, DigitsBeyond32BitsDropTheValue) {
    tChannelValues channels;
    int channel = 0;
    // 2147483647 fits, 2147483648 does not; a long fraction neither.
    Decode({0x21, 0x47, 0x48, 0x36, 0x47, 0xC0}, channels, channel);
    Decode({0x21, 0x47, 0x48, 0x36, 0x48, 0xC0}, channels, channel);
    Decode({0x1B, 0x12, 0x34, 0x56, 0x78, 0x90, 0x1C}, channels, channel);
    Decode({0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0xC0}, channels, channel);
    Decode({0x6C}, channels, channel);
    ASSERT_EQ(channels.Count(0), 2);
    EXPECT_DOUBLE_EQ(channels.At(0, 0), 2147483647.0);
    EXPECT_DOUBLE_EQ(channels.At(0, 1), 6.0);
}

// ---- channel sequences ---------------------------------------------------------------------------

TEST(Channels, PopFrontKeepsOrderAcrossCompaction) {
    tChannelValues channels;
    for (int i = 0; i < 10; ++i) channels.Append(0, i);
    channels.PopFront(0, 3);
    EXPECT_EQ(channels.Count(0), 7);
    EXPECT_DOUBLE_EQ(channels.At(0, 0), 3.0);
    channels.PopFront(0, 3);  // more than half consumed: compacted
    channels.Append(0, 10);
    ASSERT_EQ(channels.Count(0), 5);
    for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(channels.At(0, i), 6.0 + i);
    channels.PopFront(0, 100);
    EXPECT_EQ(channels.Count(0), 0);
}

TEST(Channels, ClearEmptiesAll) {
    tChannelValues channels;
    channels.Append(0, 1);
    channels.Append(15, 2);
    channels.Clear();
    EXPECT_EQ(channels.Count(0), 0);
    EXPECT_EQ(channels.Count(15), 0);
}

// ---- points --------------------------------------------------------------------------------------

TEST(Points, Average1LeavesTheNewestValueWaiting) {
    tChannelValues channels;
    tPointBuilder builder(100000, 1);
    channels.Append(0, 5);
    EXPECT_FALSE(builder.HasPoint(channels));
    channels.Append(0, 6);
    ASSERT_TRUE(builder.HasPoint(channels));
    const tPoint p = builder.Next(channels, 0);
    EXPECT_DOUBLE_EQ(p.x, 0.0);
    EXPECT_DOUBLE_EQ(p.y, 5.0);
    EXPECT_FALSE(builder.HasPoint(channels));
}

TEST(Points, Average5With12ValuesMakesTwoPointsAndLeavesTwo) {
    tChannelValues channels;
    tPointBuilder builder(1000, 5);
    for (int i = 1; i <= 12; ++i) channels.Append(0, i);
    std::vector<tPoint> points;
    while (builder.HasPoint(channels))
        points.push_back(builder.Next(channels, static_cast<int>(points.size())));
    ASSERT_EQ(points.size(), 2u);
    EXPECT_DOUBLE_EQ(points[0].y, 3.0);
    EXPECT_DOUBLE_EQ(points[1].y, 8.0);
    EXPECT_DOUBLE_EQ(points[1].x, 1 * 1000 * 0.000001 * 5);
    EXPECT_EQ(channels.Count(0), 2);
}

TEST(Points, TenthPointTimeComesFromItsIndex) {
    tChannelValues channels;
    tPointBuilder builder(100000, 1);
    channels.Append(0, 1);
    channels.Append(0, 2);
    EXPECT_DOUBLE_EQ(builder.Next(channels, 9).x, 0.9);
}

TEST(Points, AverageBelowOneBehavesAsOne) {
    tPointBuilder builder(1000, 0);
    EXPECT_EQ(builder.Average(), 1);
    EXPECT_EQ(tPointBuilder(1000, -3).Average(), 1);
}

TEST(Points, FirstPointAxisPlacesTheValueAtTheOffset) {
    double lo = 0, hi = 0;
    ASSERT_TRUE(FirstPointAxis(40, 0.25, 0, 100, lo, hi));
    EXPECT_DOUBLE_EQ(lo, 15.0);
    EXPECT_DOUBLE_EQ(hi, 115.0);
    EXPECT_FALSE(FirstPointAxis(40, 0.0000005, 0, 100, lo, hi));
    EXPECT_TRUE(FirstPointAxis(40, -0.5, 0, 100, lo, hi));
}

// ---- elapsed time --------------------------------------------------------------------------------

TEST(Elapsed, TextHasTwoOrMoreMinuteDigits) {
    EXPECT_EQ(ElapsedText(653), QStringLiteral("01:05.3"));
    EXPECT_EQ(ElapsedText(0), QStringLiteral("00:00.0"));
    EXPECT_EQ(ElapsedText(60000), QStringLiteral("100:00.0"));
}

TEST(Elapsed, TenthsAreTruncated) {
    const int64_t ns = 1000000000;
    EXPECT_EQ(ElapsedTenths(6000 * ns + 5, 5, ns), 60000u);
    EXPECT_EQ(ElapsedTenths(ns / 10 - 1, 0, ns), 0u);
    EXPECT_EQ(ElapsedTenths(0, 10, ns), 0u);
    EXPECT_EQ(ElapsedTenths(10, 0, 0), 0u);
}

// ---- intake --------------------------------------------------------------------------------------

namespace {
class tListSource : public tPacketSource {
  public:
    std::deque<tPacket> Packets;
    int CountOverride = -1;
    int GetPacketCount() override {
        return CountOverride >= 0 ? CountOverride : static_cast<int>(Packets.size());
    }
    void TakePacket(tPacket& out) override {
        out = tPacket{};
        if (Packets.empty()) return;
        out = std::move(Packets.front());
        Packets.pop_front();
    }
};
}  // namespace

TEST(Intake, StopsAtMalformedPacketKeepingEarlierValues) {
    tListSource source;
    source.Packets.push_back(MakePacket({0xFE, 0, 0xF0, 0x1C, 0xF7, 0xFF}));
    source.Packets.push_back(MakePacket({0xFE, 1, 0xF0, 0x2C, 0xF7, 0x00}));
    source.Packets.push_back(MakePacket({0xFE, 2, 0xF0, 0x3C, 0xF7, 0xFF}));
    tChannelValues channels;
    int channel = 0;
    const tIntakeResult r = TakePackets(source, channels, channel);
    EXPECT_TRUE(r.Malformed);
    EXPECT_EQ(r.Packets, 1);
    EXPECT_EQ(channels.Count(0), 1);
    EXPECT_EQ(source.Packets.size(), 1u);  // the rest is not taken
}

TEST(Intake, ReadsTheCountOnceAndStopsWhenATakeYieldsNothing) {
    tListSource source;
    source.Packets.push_back(MakePacket({0xFE, 0, 0x1C, 0xFF}));
    source.CountOverride = 3;
    tChannelValues channels;
    int channel = 0;
    const tIntakeResult r = TakePackets(source, channels, channel);
    EXPECT_FALSE(r.Malformed);
    EXPECT_EQ(r.Packets, 1);
}

TEST(Intake, SensorRemovalIsPostedAndLaterPacketsStillDecode) {
    tMessageCapture messages;
    tListSource source;
    source.Packets.push_back(MakePacket({0xFE, 0, 0x1C, 0xF6, 0x2C, 0xFF}));
    source.Packets.push_back(MakePacket({0xFE, 1, 0x3C, 0xFF}));
    tChannelValues channels;
    int channel = 0;
    const tIntakeResult r = TakePackets(source, channels, channel);
    EXPECT_EQ(r.SensorRemovals, 1);
    EXPECT_EQ(r.Packets, 2);
    EXPECT_EQ(channels.Count(0), 2);
    EXPECT_EQ(messages.All(), (std::vector<tMessage>{{WM_SENSOR_REMOVED, 0}}));
}
