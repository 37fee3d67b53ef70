#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "database/RunLengthCodec.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using testing::openScratch;

constexpr std::uint8_t kCanary = 0xA5;
constexpr std::size_t kCanaryBytes = 16;

// Encodes into an area of input.size() bytes followed by canary bytes, and
// checks that the encoder kept to its area.
Bytes encode(const Bytes& input) {
    Bytes area(input.size() + kCanaryBytes, kCanary);
    const std::size_t n = encodeRuns(input.data(), input.size(), area.data());
    EXPECT_LT(n, std::max<std::size_t>(input.size(), 1));
    const auto fence = area.begin() + static_cast<std::ptrdiff_t>(input.size());
    EXPECT_EQ(std::count(fence, area.end(), kCanary), static_cast<std::ptrdiff_t>(kCanaryBytes))
        << "wrote past the area of " << input.size() << " bytes";
    area.resize(n);
    return area;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes repeated(std::size_t count, const Bytes& piece) {
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) out = out + piece;
    return out;
}

TEST(RunLengthEncoder, GreedyPieces) {
    Bytes ascending(128);
    std::iota(ascending.begin(), ascending.end(), std::uint8_t{0});
    const Bytes sevens(10, 7);
    struct Case {
        const char* what;
        Bytes input, output;
    };
    const Case cases[] = {
        {"two equal bytes stay in a literal",
         Bytes{1, 2, 3, 4, 9, 9} + sevens,
         {10, 1, 2, 3, 4, 9, 9, 19, 7}},
        {"three equal bytes break a literal",
         Bytes{1, 2, 2, 2, 9, 9} + sevens,
         {0, 1, 5, 2, 3, 9, 19, 7}},
        {"a run at the start", Bytes{1, 1, 1, 2, 9, 9} + sevens, {5, 1, 4, 2, 9, 9, 19, 7}},
        {"a blank 1-bit tile", Bytes(3200, 0), repeated(25, {255, 0})},
        {"a blank 8-bit tile", Bytes(25600, 0), repeated(200, {255, 0})},
        {"no room", {1, 2, 3, 4}, {}},
        {"a full repeat", Bytes(128, 9), {255, 9}},
        {"a full repeat and a lone byte", Bytes(129, 9), {255, 9, 1, 9}},
        {"a full repeat and two", Bytes(130, 9), {255, 9, 3, 9}},
        {"a full literal", ascending + Bytes(200, 0),
         Bytes{254} + ascending + Bytes{255, 0, 143, 0}},
        {"the longest input", Bytes(32767, 0), repeated(255, {255, 0}) + Bytes{253, 0}},
        {"too long an input", Bytes(32768, 0), {}},
        {"one byte cannot fit", {3}, {}},
        // An area of L bytes holds at most L - 2, or L - 1 when the last
        // piece is the lone closing byte.
        {"L - 2", {5, 5, 5, 5, 7, 7}, {7, 5, 3, 7}},
        {"L - 1 with a lone byte", {5, 5, 5, 5, 7}, {7, 5, 1, 7}},
        {"L - 1 otherwise", {5, 5, 5, 5, 7, 8}, {}},
        {"L with a lone byte", {5, 5, 5, 7}, {}},
        {"literal passing L - 2", {5, 5, 1, 2, 3, 4, 9, 9, 9}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(encode(c.input), c.output) << c.what;
}

// Inputs made of runs of random length, from a few values so that runs also
// form across run boundaries.
Bytes randomRuns(std::uint32_t& seed) {
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const std::size_t length = 1 + next() % 700;
    const unsigned values = next() % 2 == 0 ? 4 : 256;
    Bytes input;
    while (input.size() < length) {
        const unsigned r = next() % 8;
        const std::size_t run = r < 4 ? 1 : r < 6 ? 2 + next() % 3 : 1 + next() % 300;
        input.insert(input.end(), std::min(run, length - input.size()),
                     static_cast<std::uint8_t>(next() % values));
    }
    return input;
}

TEST(RunLengthEncoder, DecodesBackToItsInput) {
    std::uint32_t seed = 2024;
    std::vector<Bytes> inputs;
    Bytes stream;
    for (int i = 0; i < 3000; ++i) {
        Bytes input = randomRuns(seed);
        const Bytes encoded = encode(input);
        if (encoded.empty()) continue;
        stream.insert(stream.end(), encoded.begin(), encoded.end());
        inputs.push_back(std::move(input));
    }
    EXPECT_GT(inputs.size(), 1500u);
    // Each encoding ends on a packet boundary, so the streams decode one after
    // the other.
    const auto file = openScratch("encoder-round-trip.bin", stream);
    RunLengthDecoder decoder;
    beginDecode(decoder, file.get());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        Bytes decoded(inputs[i].size());
        decodeBytes(decoder, decoded.data(), decoded.size());
        ASSERT_EQ(decoded, inputs[i]) << "input " << i;
        ASSERT_EQ(decoder.state, RunLengthDecoder::State::ExpectControl) << "input " << i;
    }
    EXPECT_EQ(std::fgetc(file.get()), EOF);
    endDecode(decoder);
}

}  // namespace
}  // namespace ferrovel
