// Draws the program's icon and writes it as a .ico file of 32 x 32 and
// 16 x 16 pictures in 32-bit colour: a framed landscape on a palette-gray
// tile, the picture a handheld database holds.
//
// usage: make_icon OUT.ico
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void putU16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(Bytes& out, std::uint32_t value) {
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

// The colour of pixel (x, y) of a size x size icon, as 0xAARRGGBB.
std::uint32_t iconPixel(int x, int y, int size) {
    const int u = x * 32 / size, v = y * 32 / size;             // drawn on a 32-unit grid
    if (u < 1 || v < 2 || u > 30 || v > 29) return 0x00000000;  // transparent margin
    if (u < 3 || v < 4 || u > 28 || v > 27) return 0xFF3A2A1C;  // dark frame
    const int dx = u - 21, dy = v - 10;
    if (dx * dx + dy * dy <= 12) return 0xFFF2C230;  // sun
    const int hill = 20 + ((u - 12) * (u - 12)) / 24;
    if (v >= hill) return (u + v) % 4 == 0 ? 0xFF2E7D32 : 0xFF388E3C;  // hill
    const std::uint32_t red = static_cast<std::uint32_t>(80 + v * 3);
    const std::uint32_t green = static_cast<std::uint32_t>(150 + v * 2);
    return 0xFF000000u | red << 16 | green << 8 | 0xF0u;  // sky
}

Bytes iconImage(int size) {
    Bytes out;
    const std::uint32_t maskRow = static_cast<std::uint32_t>((size + 31) / 32 * 4);
    putU32(out, 40);
    putU32(out, static_cast<std::uint32_t>(size));
    putU32(out, static_cast<std::uint32_t>(size * 2));  // colour rows and mask rows
    putU16(out, 1);
    putU16(out, 32);
    putU32(out, 0);
    putU32(out, static_cast<std::uint32_t>(size * size * 4) +
                    maskRow * static_cast<std::uint32_t>(size));
    for (int i = 0; i < 4; ++i) putU32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) putU32(out, iconPixel(x, y, size));
    }
    for (int y = size - 1; y >= 0; --y) {
        for (std::uint32_t b = 0; b < maskRow; ++b) {
            std::uint8_t bits = 0;
            for (int k = 0; k < 8; ++k) {
                const int x = static_cast<int>(b) * 8 + k;
                if (x < size && (iconPixel(x, y, size) >> 24) == 0)
                    bits |= static_cast<std::uint8_t>(0x80 >> k);
            }
            out.push_back(bits);
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUT.ico\n");
        return 2;
    }
    const int sizes[] = {32, 16};
    std::vector<Bytes> images;
    for (int size : sizes) images.push_back(iconImage(size));
    Bytes out;
    putU16(out, 0);
    putU16(out, 1);
    putU16(out, 2);
    std::uint32_t offset = 6 + 16 * 2;
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(sizes[i]));
        out.push_back(static_cast<std::uint8_t>(sizes[i]));
        out.push_back(0);
        out.push_back(0);
        putU16(out, 1);
        putU16(out, 32);
        putU32(out, static_cast<std::uint32_t>(images[i].size()));
        putU32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) return 1;
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok ? 0 : 1;
}
