// Size arithmetic for pictures that come from untrusted files.
//
// Every pixel buffer size is computed here in 64 bits and compared with one
// cap before anything is allocated, so that no width, height or count read
// from a file can wrap a size or ask for an unbounded allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ferrovel {

// The largest pixel buffer any reader allocates: 256 MiB, about 9,400 x 9,400
// pixels at 3 bytes each. Pictures of a handheld are far smaller; a file that
// claims more is treated as one whose buffer cannot be allocated.
inline constexpr std::uint64_t kMaxPixelBytes = 256ull * 1024 * 1024;

// Bytes of a width x height picture at 3 bytes a pixel, or nothing when a
// dimension is negative or the size passes kMaxPixelBytes.
inline std::optional<std::size_t> pixelBufferBytes(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0) return std::nullopt;
    // Both factors are below 2^31, so the product cannot wrap 64 bits.
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 3u;
    if (bytes > kMaxPixelBytes) return std::nullopt;
    return static_cast<std::size_t>(bytes);
}

}  // namespace ferrovel
