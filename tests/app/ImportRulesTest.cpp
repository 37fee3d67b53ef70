// The window's decisions that need no window: the open dialog's selection
// from a drive's root, the size boxes and their proportions, the settings
// store's value paths and where Load starts. The preview's placement is
// pinned pixel by pixel by the import dialog's window test.
#include <gtest/gtest.h>

#include "app/Import.h"
#include "app/ImportPreview.h"
#include "app/LoadStart.h"
#include "platform/RegistryPath.h"

namespace ferrovel {
namespace {

TEST(ImportRules, ADrivesRootSelectionSizePresetsProportionsAndBoxNumbers) {
    // One file, several with blanks and wide characters, and the clipboard's
    // file are pinned by the import dialog's window tests.
    using namespace std::string_literals;
    std::string files;
    for (const SelectedFile& file : parseSelection("C:\\\0a.bmp\0b.bmp\0\0"s).files)
        files += file.path + "|" + file.proposedName + "; ";
    EXPECT_EQ(files, "C:\\a.bmp|a.bmp; C:\\b.bmp|b.bmp; ");
    EXPECT_EQ(presetBox(0, {208, 400}, {7, 7}).width, 208);
    EXPECT_EQ(presetBox(4, {208, 400}, {7, 7}).width, 480);
    EXPECT_EQ(presetBox(5, {208, 400}, {7, 9}).height, 9);
    EXPECT_EQ(proportionalSide(160, 480, 640), 120);
    EXPECT_EQ(proportionalSide(32767, 32767, 1), 1);  // 0x3FFF0001 kept as 16 bits
    const std::tuple<const char*, bool, std::int16_t> boxes[] = {
        {"  120", true, 120},
        {"-5", true, -5},
        {"12345678901", true, static_cast<std::int16_t>(1234567890 & 0xFFFF)},
        {"abc", false, 0},
        {"", false, 0},
        {"70000", true, static_cast<std::int16_t>(70000 - 65536)}};
    for (const auto& [text, read, expected] : boxes) {
        std::int16_t value = 0;
        EXPECT_EQ(readBoxNumber(text, value), read) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

TEST(SettingsPaths, SplittingLimitsAndTheLoadStart) {
    const auto split = splitRegistryPath("\\Software\\\\Ferrovel\\Value");
    ASSERT_TRUE(split);
    EXPECT_EQ(split->keys, (std::vector<std::string>{"Software", "Ferrovel"}));
    EXPECT_EQ(split->valueName, "Value");
    EXPECT_FALSE(splitRegistryPath("Software\\Key\\"));  // no value name
    const std::string tenKeys = "k\\k\\k\\k\\k\\k\\k\\k\\k\\k";
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
