// SPDX-License-Identifier: GPL-3.0-or-later
// The packet framer of the binary stream and the consumer behind it, on any stream. The input is
// two bytes of packet size, two of sampling period and one of averaging, then cycles: two bytes
// (read length; top bit set = the read failed) and that many stream bytes. The whole input is also
// offered to the consumer as one device-framed packet of the text protocol.
#include <vector>

#include "fuzz/Fuzzsupport.h"
#include "measurement/Framer.h"
#include "measurement/Samples.h"

namespace {
struct tInput {
    const uint8_t* Data;
    size_t Size;
    size_t Pos = 0;
    int Next() { return Pos < Size ? Data[Pos++] : 0; }
    int Next16() { return Next() | (Next() << 8); }
};

void Consume(const tPacket& packet, tChannelValues& channels, int& channel, tPointBuilder& builder,
             int& points) {
    std::vector<uint8_t> body;
    if (!ExtractPacketBody(packet.Data.get(), packet.Size, body)) return;
    DecodeSamples(body, channels, channel);
    FUZZ_CHECK(channel >= 0 && channel < tChannelValues::kChannels);
    while (builder.HasPoint(channels)) builder.Next(channels, points++);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tInput in{data, size};
    const int32_t packetSize = kMinBinaryPacketSize + in.Next16() % 2048;
    const int32_t freq = in.Next16();
    const int32_t average = in.Next() - 8;
    tPacketFramer framer(packetSize, 300);
    tChannelValues channels;
    int channel = 0, points = 0;
    tPointBuilder builder(freq, average);
    int cycles = 0;
    while (in.Pos < in.Size && cycles++ < 10000) {
        const int header = in.Next16();
        const bool ok = (header & 0x8000) == 0;
        tPacket packet = framer.Begin();
        FUZZ_CHECK(framer.Room() >= 1);
        const int32_t length = std::min<int32_t>(header & 0x7FFF, framer.Room());
        uint8_t* area = framer.ReadArea(packet);
        int32_t read = 0;
        while (read < length && in.Pos < in.Size) area[read++] = static_cast<uint8_t>(in.Next());
        const uint8_t sequence = framer.Sequence();
        framer.Finish(std::move(packet), read, ok, [&](tPacket&& queued) {
            FUZZ_CHECK(queued.Size == packetSize);
            const uint8_t* p = queued.Data.get();
            FUZZ_CHECK(p[0] == 0xFE && p[1] == sequence && p[2] == 0xF0 && p[packetSize - 1] == 0xFF);
            Consume(queued, channels, channel, builder, points);
        });
        // A tail that fills the body is dropped by the next Begin, so it may reach the room but not pass it.
        FUZZ_CHECK(framer.TailSize() <= 255 && framer.TailSize() <= packetSize - 4);
    }

    // The text protocol hands device-framed packets to the consumer unchanged.
    tPacket raw;
    raw.Size = static_cast<int32_t>(size);
    raw.Data = std::make_unique<uint8_t[]>(size + 1);
    std::copy(data, data + size, raw.Data.get());
    tChannelValues fresh;
    channel = 0;
    Consume(raw, fresh, channel, builder, points);
    return 0;
}
