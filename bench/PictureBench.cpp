// Reading a 2048 x 1536 picture as PNG and as JPEG against reading it as a
// bitmap, each beside its decoder's own time (the library decoding into a
// plain buffer); and the PNG export of such a picture against the bitmap
// export.
//
// The picture is photograph-like: smooth gradients with a little noise, in
// the 5-6-5 bits of a 16-bit image as the database holds it. The files are
// written once per run: the bitmap and the PNG by our own writers, the JPEG
// by ImageMagick at quality 90.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>  // before jpeglib.h, which needs FILE
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <spng.h>

#include "interchange/PictureFile.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace {

using namespace ferrovel;

constexpr int kWidth = 2048;
constexpr int kHeight = 1536;

std::string benchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("ferrovel-bench-picture" + name)).string();
}

const RgbImage& photo() {
    static const RgbImage picture = [] {
        RgbImage image{kWidth, kHeight, {}};
        std::uint32_t noise = 12345;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                noise = noise * 1103515245 + 12345;
                const int jitter = static_cast<int>(noise >> 28) - 8;
                const int rgb[] = {x * 255 / kWidth + jitter, y * 255 / kHeight - jitter,
                                   (x + y) * 255 / (kWidth + kHeight) + jitter / 2};
                for (int c = 0; c < 3; ++c) {
                    const int bits = c == 1 ? 6 : 5, v = std::clamp(rgb[c], 0, 255);
                    const int kept = v >> (8 - bits);
                    image.pixels.push_back(
                        static_cast<std::uint8_t>(kept << (8 - bits) | kept >> (2 * bits - 8)));
                }
            }
        }
        return image;
    }();
    return picture;
}

// The picture as a file of the given extension, written once per run.
std::string photoFile(const std::string& extension) {
    const std::string path = benchPath("." + extension);
    static bool written[3] = {};
    bool& done = written[extension == "bmp" ? 0 : extension == "png" ? 1 : 2];
    if (!done) {
        if (extension == "bmp") writeBmp(path, photo());
        if (extension == "png") writePng(path, photo(), kWidth, kHeight);
        if (extension == "jpg")
            std::system(("convert " + photoFile("bmp") + " -quality 90 " + path).c_str());
        done = true;
    }
    return path;
}

void readAs(benchmark::State& state, const std::string& extension) {
    const std::string path = photoFile(extension);
    for (auto _ : state) {
        const PictureReadResult read = readPicture(path);
        if (read.status != 0) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(read.canvas.pixels.data());
    }
}

void BM_ReadBitmap(benchmark::State& state) {
    readAs(state, "bmp");
}

void BM_ReadPng(benchmark::State& state) {
    readAs(state, "png");
}

void BM_ReadJpeg(benchmark::State& state) {
    readAs(state, "jpg");
}

// libspng alone: the file in memory decoded to 8-bit RGB in one call.
void BM_PngDecoderAlone(benchmark::State& state) {
    const fixtures::Bytes png = fixtures::readFileBytes(photoFile("png"));
    std::vector<std::uint8_t> out(std::size_t{kWidth} * kHeight * 3);
    for (auto _ : state) {
        spng_ctx* context = spng_ctx_new(0);
        spng_set_png_buffer(context, png.data(), png.size());
        if (spng_decode_image(context, out.data(), out.size(), SPNG_FMT_RGB8, 0) != 0)
            state.SkipWithError("decode failed");
        spng_ctx_free(context);
        benchmark::DoNotOptimize(out.data());
    }
}

// libjpeg-turbo alone: the file in memory decoded to 8-bit BGR.
void BM_JpegDecoderAlone(benchmark::State& state) {
    const fixtures::Bytes jpeg = fixtures::readFileBytes(photoFile("jpg"));
    std::vector<std::uint8_t> out(std::size_t{kWidth} * kHeight * 3);
    for (auto _ : state) {
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, jpeg.data(), jpeg.size());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = &out[std::size_t{info.output_scanline} * kWidth * 3];
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_WriteBitmap(benchmark::State& state) {
    for (auto _ : state) {
        if (writeBmp(benchPath("-out.bmp"), photo()) != 0) state.SkipWithError("write failed");
    }
}

void BM_WritePng(benchmark::State& state) {
    for (auto _ : state) {
        if (writePng(benchPath("-out.png"), photo(), kWidth, kHeight) != 0)
            state.SkipWithError("write failed");
    }
    state.counters["MB"] =
        static_cast<double>(std::filesystem::file_size(benchPath("-out.png"))) / (1024 * 1024);
}

}  // namespace

BENCHMARK(BM_ReadBitmap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngDecoderAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecoderAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBitmap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePng)->Unit(benchmark::kMillisecond);
