// SPDX-License-Identifier: GPL-3.0-or-later
// Report lengths from report descriptors: real ones from tests/data/platform, then crafted faults.
#include "platform/Hiddescriptor.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <vector>

namespace {

std::vector<uint8_t> LoadHex(const char* name) {
    const QString path = QString(ROVELIN_TEST_DATA) + "/platform/" + name;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing test data " << path.toStdString();
        return {};
    }
    std::vector<uint8_t> bytes;
    for (QString line : QString::fromUtf8(f.readAll()).split('\n')) {
        line = line.section('#', 0, 0);
        for (const QString& token : line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)) {
            bool ok = false;
            bytes.push_back(uint8_t(token.toUInt(&ok, 16)));
            EXPECT_TRUE(ok) << token.toStdString() << " in " << name;
        }
    }
    return bytes;
}

tHidReportLengths Parse(const std::vector<uint8_t>& d, bool expectOk = true) {
    tHidReportLengths out;
    EXPECT_EQ(ParseHidReportLengths(d.data(), d.size(), out), expectOk);
    return out;
}

}  // namespace

// ---- recorded descriptors -----------------------------------------------------------------------

TEST(HidDescriptorRecorded, VendorSensorWithReportIds) {
    const auto r = Parse(LoadHex("hid_vendor_ids.hex"));
    EXPECT_EQ(r.Input, 64);  // 63 payload bytes + id
    EXPECT_EQ(r.Output, 64);
    EXPECT_EQ(r.Feature, 0);
    EXPECT_TRUE(r.HasReportIds);
}

TEST(HidDescriptorRecorded, VendorDeviceWithoutReportIdsStillCountsTheIdByte) {
    const auto r = Parse(LoadHex("hid_vendor_noids.hex"));
    EXPECT_EQ(r.Input, 65);
    EXPECT_EQ(r.Output, 65);
    EXPECT_FALSE(r.HasReportIds);
}

TEST(HidDescriptorRecorded, BootKeyboard) {
    const auto r = Parse(LoadHex("hid_boot_keyboard.hex"));
    EXPECT_EQ(r.Input, 9);   // modifiers, reserved, 6 keys
    EXPECT_EQ(r.Output, 2);  // 5 LED bits + 3 padding bits
    EXPECT_FALSE(r.HasReportIds);
}

TEST(HidDescriptorRecorded, WheelMouseHasNoOutputReport) {
    const auto r = Parse(LoadHex("hid_wheel_mouse.hex"));
    EXPECT_EQ(r.Input, 5);  // buttons + padding, X, Y, wheel
    EXPECT_EQ(r.Output, 0);
}

TEST(HidDescriptorRecorded, EveryTruncationIsSafe) {
    // Cut at every length, in a buffer of exactly that size, so a read past the end would be
    // caught by the sanitizer build. Cutting inside the last item must be refused.
    const auto full = LoadHex("hid_vendor_ids.hex");
    for (size_t n = 1; n < full.size(); ++n) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + n);
        tHidReportLengths out;
        ParseHidReportLengths(cut.data(), cut.size(), out);
    }
    // A missing End Collection loses no report; a cut inside the Output item's data is refused.
    EXPECT_EQ(Parse({full.begin(), full.end() - 1}).Output, 64);
    Parse({full.begin(), full.end() - 2}, false);
    Parse({0x06, 0x00}, false);  // Usage Page with one of its two data bytes
}

// ---- items and global state ---------------------------------------------------------------------

TEST(HidDescriptorItems, BitsAreRoundedUpToBytes) {
    // 9 bits of input: 2 bytes + id byte.
    const auto r = Parse({0x75, 0x01, 0x95, 0x09, 0x81, 0x02});
    EXPECT_EQ(r.Input, 3);
}

TEST(HidDescriptorItems, LongestReportPerDirectionWins) {
    const auto r = Parse({0x75, 0x08,                            // 8-bit fields
                          0x85, 0x01, 0x95, 0x0A, 0x81, 0x02,    // id 1: 10 bytes in
                          0x85, 0x02, 0x95, 0x1E, 0x81, 0x02,    // id 2: 30 bytes in
                          0x85, 0x03, 0x95, 0x08, 0xB1, 0x02,    // id 3: 8 bytes feature
                          0x85, 0x01, 0x95, 0x05, 0x81, 0x02});  // id 1 again: now 15 bytes
    EXPECT_EQ(r.Input, 31);
    EXPECT_EQ(r.Output, 0);
    EXPECT_EQ(r.Feature, 9);
    EXPECT_TRUE(r.HasReportIds);
}

TEST(HidDescriptorItems, PushAndPopRestoreTheGlobalState) {
    const auto r = Parse({0x75, 0x08, 0x95, 0x04,  // 4 x 8 bits
                          0xA4,                    // Push
                          0x75, 0x10, 0x95, 0x02,  // 2 x 16 bits
                          0x81, 0x02,              // 32 bits
                          0xB4,                    // Pop: back to 4 x 8
                          0x91, 0x02});            // output 32 bits
    EXPECT_EQ(r.Input, 5);
    EXPECT_EQ(r.Output, 5);
}

TEST(HidDescriptorItems, LongItemsAreSkipped) {
    const auto r = Parse({0xFE, 0x03, 0x10, 0x75, 0x08, 0x81,  // long item whose data looks like items
                          0x75, 0x08, 0x95, 0x02, 0x81, 0x02});
    EXPECT_EQ(r.Input, 3);
}

TEST(HidDescriptorItems, FourByteDataIsLittleEndian) {
    const auto r = Parse({0x75, 0x08, 0x97, 0x10, 0x00, 0x00, 0x00, 0x81, 0x02});  // count 16
    EXPECT_EQ(r.Input, 17);
}

TEST(HidDescriptorItems, CollectionsOnlyGiveNoReports) {
    const auto r = Parse({0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0});
    EXPECT_EQ(r.Input, 0);
    EXPECT_EQ(r.Output, 0);
    EXPECT_EQ(r.Feature, 0);
}

// ---- malformed descriptors ----------------------------------------------------------------------

TEST(HidDescriptorMalformed, RefusedWithoutTouchingTheResult) {
    const std::vector<std::vector<uint8_t>> bad = {
        {},                                                // empty
        {0x75},                                            // Report Size without its byte
        {0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02},  // report id 0
        {0xB4},                                            // Pop without Push
        {0x0C},                                            // reserved item type
        {0xFE, 0x05, 0x10, 0x01},                          // long item shorter than it says
        {0xFE, 0x00},                                      // long item without its tag
        {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02},  // 2^64 bits
        {0x75, 0x08, 0x97, 0x00, 0x00, 0x01, 0x00, 0x81, 0x02},  // 65536 bytes: too long for a report
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        tHidReportLengths out;
        out.Input = 7;
        EXPECT_FALSE(ParseHidReportLengths(bad[i].data(), bad[i].size(), out)) << "case " << i;
        EXPECT_EQ(out.Input, 7) << "case " << i;
    }
    tHidReportLengths out;
    EXPECT_FALSE(ParseHidReportLengths(nullptr, 10, out));
}

TEST(HidDescriptorMalformed, EndlessPushIsBounded) {
    std::vector<uint8_t> d(100000, 0xA4);
    Parse(d, false);
}
