#include "tests/TestSupport.h"

#include <unistd.h>  // getpid, in MinGW's headers too
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "interchange/Bmp.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel::testing {

std::string scratchPath(const std::string& name) {
    static const std::filesystem::path folder = [] {
        // Screenshots show this folder's name: their runs, one test at a time,
        // take one that stays the same from run to run.
        const std::string run =
            std::getenv("FERROVEL_SCREENSHOTS") ? "screenshots" : std::to_string(getpid());
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("ferrovel-tests-" + run);
        // Process ids come round again (quickly under Wine): start empty.
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
        std::filesystem::create_directories(path);
        return path;
    }();
    return (folder / name).string();
}

std::string writeScratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    fixtures::writeFileBytes(scratchPath(name), bytes);
    return scratchPath(name);
}

std::string freshFolder(const std::string& name) {
    std::filesystem::remove_all(scratchPath(name));
    std::filesystem::create_directories(scratchPath(name));
    return scratchPath(name) + "/";
}

RgbImage gradient(int width, int height) {
    RgbImage image{static_cast<std::int16_t>(width), static_cast<std::int16_t>(height), {}};
    for (int i = 0; i < width * height; ++i) {
        const int x = i % width, y = i / width;
        for (int v : {x * 255 / width, y * 255 / height, (x + 3 * y) * 5})
            image.pixels.push_back(static_cast<std::uint8_t>(v));
    }
    return image;
}

std::string gradientBitmap(const std::string& name, int width, int height) {
    writeBmp(scratchPath(name), gradient(width, height));
    return scratchPath(name);
}

Ppm readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    // "P6", then width, height and maximum, each after white space or comment lines.
    std::string magic;
    in >> magic;
    int fields[3] = {};
    for (int& field : fields) {
        while ((in >> std::ws).peek() == '#')
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        in >> field;
    }
    in.get();
    Ppm ppm{fields[0], fields[1], std::vector<std::uint8_t>(3u * fields[0] * fields[1])};
    in.read(reinterpret_cast<char*>(ppm.rgb.data()), static_cast<std::streamsize>(ppm.rgb.size()));
    return magic == "P6" && in ? ppm : Ppm{};
}

}  // namespace ferrovel::testing
