// The programs' version resources carry the build's one version.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FerrovelVersion.h"
#include "tests/gui/AppDriver.h"

namespace ferrovel::gui {
namespace {

// A program's product version, as text and as the fixed part's first two numbers.
std::string productVersion(const std::string& program, DWORD& majorMinor) {
    std::vector<char> block(GetFileVersionInfoSizeA(program.c_str(), nullptr) + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    char* text = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        !VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\ProductVersion",
                        reinterpret_cast<void**>(&text), &length))
        return "(none)";
    majorMinor = fixed->dwProductVersionMS;
    return text;
}

TEST(VersionResource, BothProgramsCarryTheBuildsVersion) {
    constexpr WORD kNumbers[] = {FERROVEL_VERSION_NUMBERS};
    const std::string folder = programPath.substr(0, programPath.find_last_of("\\/") + 1);
    for (const char* program : {"ImageManager.exe", "imagedb.exe"}) {
        DWORD majorMinor = 0;
        EXPECT_EQ(productVersion(folder + program, majorMinor), FERROVEL_VERSION) << program;
        EXPECT_EQ(majorMinor, DWORD{kNumbers[0]} << 16 | kNumbers[1]) << program;
    }
}

}  // namespace
}  // namespace ferrovel::gui
