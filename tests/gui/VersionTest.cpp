// The programs' version resources carry the build's one version.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FerrovelVersion.h"
#include "tests/gui/AppDriver.h"

namespace ferrovel::gui {
namespace {

struct VersionResource {
    std::string productVersion;
    std::string fileVersion;
    DWORD fixedMajorMinor = 0;
};

std::string stringValue(const std::vector<char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        return "(none)";
    return std::string(value, length > 0 ? length - 1 : 0);
}

VersionResource versionOf(const std::string& program) {
    const DWORD size = GetFileVersionInfoSizeA(program.c_str(), nullptr);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(program.c_str(), 0, size, block.data())) return {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length);
    return {stringValue(block, "ProductVersion"), stringValue(block, "FileVersion"),
            fixed ? fixed->dwProductVersionMS : 0};
}

TEST(VersionResource, BothProgramsCarryTheBuildsVersion) {
    const std::string folder = programPath.substr(0, programPath.find_last_of("\\/") + 1);
    const std::string expected = FERROVEL_VERSION;
    const DWORD major = std::stoul(expected),
                minor = std::stoul(expected.substr(expected.find('.') + 1));
    for (const char* program : {"ImageManager.exe", "imagedb.exe"}) {
        const VersionResource version = versionOf(folder + program);
        EXPECT_EQ(version.productVersion, expected) << program;
        EXPECT_EQ(version.fileVersion, expected) << program;
        EXPECT_EQ(version.fixedMajorMinor, major << 16 | minor) << program;
    }
}

}  // namespace
}  // namespace ferrovel::gui
