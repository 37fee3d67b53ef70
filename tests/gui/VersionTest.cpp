// The programs' version resources carry the build's one version.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FerrovelVersion.h"
#include "tests/gui/AppDriver.h"

namespace ferrovel::gui {
namespace {

// The product version as text and as the fixed part's first two numbers.
TEST(VersionResource, BothProgramsCarryTheBuildsVersion) {
    constexpr WORD kNumbers[] = {FERROVEL_VERSION_NUMBERS};
    const std::string folder = programPath.substr(0, programPath.find_last_of("\\/") + 1);
    for (const char* name : {"ImageManager.exe", "imagedb.exe"}) {
        const std::string program = folder + name;
        std::vector<char> block(GetFileVersionInfoSizeA(program.c_str(), nullptr) + 1);
        VS_FIXEDFILEINFO* fixed = nullptr;
        char* text = nullptr;
        UINT length = 0;
        ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(block.size()),
                                        block.data()) &&
                    VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
                    VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\ProductVersion",
                                   reinterpret_cast<void**>(&text), &length))
            << name;
        EXPECT_EQ(std::string(text), FERROVEL_VERSION) << name;
        EXPECT_EQ(fixed->dwProductVersionMS, DWORD{kNumbers[0]} << 16 | kNumbers[1]) << name;
    }
}

}  // namespace
}  // namespace ferrovel::gui
