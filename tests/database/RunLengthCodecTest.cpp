#include <gtest/gtest.h>

#include <algorithm>

#include "database/RunLengthCodec.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using testing::openScratch;

Bytes decodeByByte(std::FILE* file, std::size_t count) {
    RunLengthDecoder decoder;
    beginDecode(decoder, file);
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) out.push_back(nextByte(decoder));
    return out;
}

TEST(RunLengthDecoder, ControlBytesGiveTheirCounts) {
    const auto file = openScratch("packets.bin", {0x01, 0x7F, 0xFF, 0x00, 0x00, 0x41, 0x02, 1, 2});
    const Bytes got = decodeByByte(file.get(), 432);
    EXPECT_EQ(got[0], 0x7F);
    EXPECT_EQ(std::count(got.begin() + 1, got.begin() + 129, 0), 128);
    EXPECT_EQ(Bytes(got.begin() + 129, got.begin() + 132), (Bytes{0x41, 1, 2}));
    // Past the end the control byte 0xFF repeats the missing value 0xFF.
    EXPECT_EQ(std::count(got.begin() + 132, got.end(), 0xFF), 300);
}

// Random packets, the last one often cut by the end of the file.
Bytes randomPackets(std::uint32_t seed) {
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    Bytes stream;
    for (unsigned p = 1 + next() % 12; p > 0; --p) {
        const auto control = static_cast<std::uint8_t>(next() % 2 == 0 ? next() % 16 : next());
        stream.push_back(control);
        const unsigned values = (control & 1) != 0 ? 1 : (control >> 1) + 1u;
        for (unsigned i = 0; i < values; ++i) stream.push_back(static_cast<std::uint8_t>(next()));
    }
    if (next() % 2 == 0) stream.resize(next() % stream.size());
    return stream;
}

TEST(RunLengthDecoder, BlockDecodeMatchesByteDecodeAndExhaustionIsFinal) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const auto file = openScratch("random.bin", randomPackets(seed));
        const Bytes byByte = decodeByByte(file.get(), 2000);
        std::fseek(file.get(), 0, SEEK_SET);
        RunLengthDecoder decoder;
        beginDecode(decoder, file.get());
        Bytes blocks(byByte.size());
        for (std::size_t done = 0, chunk = 1; done < blocks.size(); chunk = chunk * 7 % 300 + 1) {
            const std::size_t count = std::min(chunk, blocks.size() - done);
            decodeBytes(decoder, blocks.data() + done, count);
            done += count;
            if (decoderExhausted(decoder)) {
                EXPECT_EQ(std::count(byByte.begin() + static_cast<std::ptrdiff_t>(done),
                                     byByte.end(), 0xFF),
                          static_cast<std::ptrdiff_t>(byByte.size() - done));
            }
        }
        EXPECT_EQ(blocks, byByte);
        EXPECT_TRUE(decoderExhausted(decoder));
    }
}

TEST(RunLengthDecoder, ExhaustedOnlyOnceTheFileHasEnded) {
    // Four 0x11, then a literal packet of three bytes of which the file holds
    // two: the 0xFF bytes the file holds do not end it.
    const auto file = openScratch("exhaust.bin", {0x07, 0x11, 0x04, 0xFF, 0xFF});
    RunLengthDecoder decoder;
    beginDecode(decoder, file.get());
    Bytes got;
    for (int i = 0; i < 6; ++i) got.push_back(nextByte(decoder));
    EXPECT_EQ(got, (Bytes{0x11, 0x11, 0x11, 0x11, 0xFF, 0xFF}));
    EXPECT_FALSE(decoderExhausted(decoder));
    EXPECT_EQ(nextByte(decoder), 0xFF);
    EXPECT_TRUE(decoderExhausted(decoder));

    // Block decoding tells the same of the cut literal packet.
    std::fseek(file.get(), 0, SEEK_SET);
    beginDecode(decoder, file.get());
    decodeBytes(decoder, got.data(), 6);
    EXPECT_FALSE(decoderExhausted(decoder));
    decodeBytes(decoder, got.data(), 1);
    EXPECT_TRUE(decoderExhausted(decoder));
}

}  // namespace
}  // namespace ferrovel
