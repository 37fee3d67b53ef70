#include "tests/TestSupport.h"

#include <filesystem>
#include <string>

#include "tests/fixtures/DatabaseBuilder.h"

#ifdef _WIN32
#include <process.h>
#define FERROVEL_GETPID _getpid
#else
#include <unistd.h>
#define FERROVEL_GETPID getpid
#endif

namespace ferrovel::testing {

std::string scratchPath(const std::string& name) {
    static const std::filesystem::path folder = [] {
        std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("ferrovel-tests-" + std::to_string(FERROVEL_GETPID()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return (folder / name).string();
}

std::string writeScratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = scratchPath(name);
    fixtures::writeFileBytes(path, bytes);
    return path;
}

std::vector<int> pixelAt(const RgbImage& image, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2]};
}

}  // namespace ferrovel::testing
