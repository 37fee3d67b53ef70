// The window's decisions that need no window: the open dialog's selection,
// the size boxes and their proportions, the settings store's value paths and
// where Load starts. The preview's placement is pinned pixel by pixel by the
// import dialog's window test.
#include <gtest/gtest.h>

#include "app/Import.h"
#include "app/ImportPreview.h"
#include "app/LoadStart.h"
#include "platform/RegistryPath.h"

namespace ferrovel {
namespace {

std::vector<std::string> paths(const Selection& selection) {
    std::vector<std::string> out;
    for (const SelectedFile& file : selection.files)
        out.push_back(file.path + "|" + file.proposedName);
    return out;
}

TEST(ImportSelection, OnePathOrAFolderFollowedByItsNames) {
    using V = std::vector<std::string>;
    using namespace std::string_literals;
    // One file: the whole text, named without folder and extension.
    EXPECT_EQ(paths(parseSelection("C:\\my pics\\a b.bmp\0\0"s)), V{"C:\\my pics\\a b.bmp|a b"});
    EXPECT_EQ(paths(parseSelection("ClipboardImage.BMP")), V{"ClipboardImage.BMP|ClipboardImage"});
    EXPECT_FALSE(parseSelection("ClipboardImage.BMP").severalFiles);
    // Several: long names, blanks and all, each named as listed.
    const Selection several = parseSelection("C:\\写真\0a b.bmp\0写真 1.bmp\0\0"s);
    EXPECT_TRUE(several.severalFiles);
    EXPECT_EQ(paths(several), (V{"C:\\写真\\a b.bmp|a b.bmp", "C:\\写真\\写真 1.bmp|写真 1.bmp"}));
    EXPECT_EQ(paths(parseSelection("C:\\\0a.bmp\0b.bmp\0\0"s)),  // a drive's root
              (V{"C:\\a.bmp|a.bmp", "C:\\b.bmp|b.bmp"}));
}

TEST(ImportSizes, PresetsProportionsAndBoxNumbers) {
    EXPECT_EQ(presetBox(0, {208, 400}, {7, 7}).width, 208);
    EXPECT_EQ(presetBox(4, {208, 400}, {7, 7}).width, 480);
    EXPECT_EQ(presetBox(5, {208, 400}, {7, 9}).height, 9);
    EXPECT_EQ(proportionalSide(160, 480, 640), 120);
    EXPECT_EQ(proportionalSide(32767, 32767, 1), 1);  // 0x3FFF0001 kept as 16 bits
    struct Box {
        const char* text;
        bool read;
        std::int16_t value;
    };
    for (const Box& box : {Box{"  120", true, 120}, Box{"-5", true, -5},
                           Box{"12345678901", true, static_cast<std::int16_t>(1234567890 & 0xFFFF)},
                           Box{"abc", false, 0}, Box{"", false, 0},
                           Box{"70000", true, static_cast<std::int16_t>(70000 - 65536)}}) {
        std::int16_t value = 0;
        EXPECT_EQ(readBoxNumber(box.text, value), box.read) << box.text;
        EXPECT_EQ(value, box.value) << box.text;
    }
}

TEST(SettingsPaths, SplittingLimitsAndTheLoadStart) {
    const auto split = splitRegistryPath("\\Software\\\\Ferrovel\\Value");
    ASSERT_TRUE(split);
    EXPECT_EQ(split->keys, (std::vector<std::string>{"Software", "Ferrovel"}));
    EXPECT_EQ(split->valueName, "Value");
    EXPECT_FALSE(splitRegistryPath("Software\\Key\\"));  // no value name
    std::string tenKeys = "k";
    for (int i = 0; i < 9; ++i) tenKeys += "\\k";
    EXPECT_TRUE(splitRegistryPath(tenKeys + "\\v"));
    EXPECT_FALSE(splitRegistryPath(tenKeys + "\\k\\v"));
    EXPECT_TRUE(splitRegistryPath(std::string(297, 'k') + "\\v"));
    EXPECT_FALSE(splitRegistryPath(std::string(298, 'k') + "\\v"));

    EXPECT_EQ(loadStartText("C:\\db.pdb", std::string("C:\\Palm")), "C:\\db.pdb");
    EXPECT_EQ(loadStartText("", std::string("C:\\Palm")), "C:\\Palm\\*.pdb");
    EXPECT_EQ(loadStartText("", std::nullopt), "\\*.pdb");
    EXPECT_EQ(loadStartText("", std::string(505, 'p')).size(), 511u);
    EXPECT_EQ(loadStartText("", std::string(506, 'p')), "\\*.pdb");  // never a cut folder
}

}  // namespace
}  // namespace ferrovel
