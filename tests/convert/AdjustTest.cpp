#include <gtest/gtest.h>

#include <array>
#include <string>

#include "convert/Adjust.h"

namespace ferrovel {
namespace {

using Rgb = std::array<int, 3>;

Rgb adjusted(const Rgb& in, int brightness, int contrast) {
    auto r = static_cast<std::int16_t>(in[0]), g = static_cast<std::int16_t>(in[1]),
         b = static_cast<std::int16_t>(in[2]);
    EXPECT_EQ(adjustPixel(r, g, b, static_cast<std::int16_t>(brightness),
                          static_cast<std::int16_t>(contrast)),
              0);
    return {r, g, b};
}

TEST(Adjust, LightnessMovesAndTheIntegerRoundTripDrifts) {
    struct Case {
        Rgb in;
        int brightness, contrast;
        Rgb out;
    };
    const Case cases[] = {
        // Neutral settings still pass through the truncating HLS round trip.
        {{68, 32, 130}, 0, 0, {66, 32, 129}},
        {{200, 100, 50}, 0, 0, {200, 99, 50}},
        {{255, 0, 0}, 0, 0, {254, 0, 0}},
        {{0, 0, 0}, 0, 0, {0, 0, 0}},
        {{255, 255, 255}, 0, 0, {255, 255, 255}},
        {{100, 100, 100}, 0, 0, {100, 100, 100}},
        {{100, 100, 100}, 50, 0, {164, 164, 164}},
        {{100, 100, 100}, -50, 0, {36, 36, 36}},
        {{100, 100, 100}, 0, 100, {72, 72, 72}},
        {{100, 100, 100}, 0, -100, {128, 128, 128}},
        // No contrast at all leaves only the brightness offset as lightness.
        {{200, 100, 50}, 0, -100, {204, 102, 51}},
        {{255, 255, 255}, -100, 0, {127, 127, 127}},
        {{200, 100, 50}, -100, 0, {0, 0, 0}},
        {{0, 0, 0}, 100, 0, {128, 128, 128}},
        // A negative stretched lightness is clamped, not wrapped.
        {{10, 10, 10}, 0, 100, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(adjusted(c.in, c.brightness, c.contrast), c.out)
            << c.in[0] << "," << c.in[1] << "," << c.in[2] << " brightness " << c.brightness
            << " contrast " << c.contrast;
    }
}

TEST(Adjust, EveryAmountKeepsChannelsInRange) {
    const int samples[] = {0, 1, 17, 64, 127, 128, 129, 200, 254, 255};
    int outOfRange = 0;
    for (int r : samples) {
        for (int g : samples) {
            for (int b : samples) {
                for (int brightness = -100; brightness <= 100; brightness += 5) {
                    for (int contrast = -100; contrast <= 100; contrast += 5) {
                        for (int v : adjusted({r, g, b}, brightness, contrast)) {
                            if (v < 0 || v > 255) ++outOfRange;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(outOfRange, 0);
}

}  // namespace
}  // namespace ferrovel
