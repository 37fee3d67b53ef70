#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "convert/Scale.h"

namespace ferrovel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A picture whose three bytes of every pixel equal its value.
Bytes grayPicture(const std::vector<int>& values) {
    Bytes bytes;
    for (int v : values) bytes.insert(bytes.end(), 3, static_cast<std::uint8_t>(v));
    return bytes;
}

TEST(Scale, WindowsAverageTheirSourcePixels) {
    struct Case {
        int srcWidth, srcHeight;
        std::vector<int> source;
        int dstWidth, dstHeight;
        std::vector<int> expected;
    };
    const Case cases[] = {
        // The second window starts at 2.5: (0.5 x 30 + 40 + 50) / 2.5.
        {5, 1, {10, 20, 30, 40, 50}, 2, 1, {20, 42}},
        {1, 5, {10, 20, 30, 40, 50}, 1, 2, {20, 42}},
        {2, 1, {7, 200}, 4, 1, {7, 7, 200, 200}},
        {1, 2, {7, 200}, 1, 4, {7, 7, 200, 200}},
        {2, 2, {0, 100, 50, 250}, 1, 1, {100}},
        // Windows starting inside the pixel lose a unit to single precision.
        {1, 1, {255}, 3, 1, {255, 254, 254}},
        {1, 1, {255}, 1, 3, {255, 254, 254}},
    };
    for (const Case& c : cases) {
        const Bytes source = grayPicture(c.source);
        Bytes result;
        ASSERT_EQ(scaleImage(result, static_cast<std::int16_t>(c.dstWidth),
                             static_cast<std::int16_t>(c.dstHeight), source.data(),
                             static_cast<std::int16_t>(c.srcWidth),
                             static_cast<std::int16_t>(c.srcHeight)),
                  0);
        EXPECT_EQ(result, grayPicture(c.expected))
            << c.srcWidth << "x" << c.srcHeight << " to " << c.dstWidth << "x" << c.dstHeight;
    }
}

TEST(Scale, SameSizeIsAnExactCopyInTheSameByteOrder) {
    Bytes source(5 * 3 * 3);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 37);
    Bytes result;
    ASSERT_EQ(scaleImage(result, 5, 3, source.data(), 5, 3), 0);
    EXPECT_EQ(result, source);
}

TEST(Scale, BadOrHugeSizesFailAndLeaveTheResultAlone) {
    const Bytes source = grayPicture({1, 2, 3, 4});
    struct Sizes {
        std::int16_t dstWidth, dstHeight, srcWidth, srcHeight;
    };
    const Sizes sizes[] = {
        {0, 2, 2, 2},  {2, 0, 2, 2},  {2, 2, 0, 2},         {2, 2, 2, 0},
        {-1, 2, 2, 2}, {2, 2, 2, -5}, {32767, 32767, 2, 2}, {-32768, -32768, 2, 2},
    };
    for (const Sizes& s : sizes) {
        Bytes result = {9, 8, 7};
        EXPECT_EQ(
            scaleImage(result, s.dstWidth, s.dstHeight, source.data(), s.srcWidth, s.srcHeight),
            kScaleFailed)
            << s.dstWidth << "x" << s.dstHeight << " from " << s.srcWidth << "x" << s.srcHeight;
        EXPECT_EQ(result, (Bytes{9, 8, 7}));
    }
}

}  // namespace
}  // namespace ferrovel
