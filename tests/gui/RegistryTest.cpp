// The settings store against the real registry of the test's Windows.
#include "platform/Registry.h"

#include "install/PalmDesktop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace ferrovel {
namespace {

constexpr const char* kTestRoot = "Software\\FerrovelRegistryTest";

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot); }
};

TEST_F(RegistryStore, WritesCreateKeysAndReadsGiveTheStoredBytes) {
    const std::int16_t format = 3;
    ASSERT_EQ(writeRegistryValue("Software\\FerrovelRegistryTest\\Image\\5.0\\ImportFormat",
                                 &format, sizeof format, REG_BINARY),
              0);
    std::int16_t read = -7;
    // Doubled, leading and trailing separators inside the path are skipped.
    EXPECT_EQ(readRegistryValue("\\Software\\\\FerrovelRegistryTest\\Image\\5.0\\ImportFormat",
                                &read, sizeof read),
              0);
    EXPECT_EQ(read, 3);
    BYTE raw[4] = {};
    DWORD size = sizeof raw, type = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\FerrovelRegistryTest\\Image\\5.0", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    RegQueryValueExA(key, "ImportFormat", nullptr, &type, raw, &size);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(raw[0], 3);  // little-endian 16 bits
    EXPECT_EQ(raw[1], 0);
}

TEST_F(RegistryStore, MissingValuesAndOverlongPathsFailAndLeaveTheDefault) {
    std::int16_t value = 1;
    EXPECT_EQ(
        readRegistryValue("Software\\FerrovelRegistryTest\\Missing\\Value", &value, sizeof value),
        -1);
    EXPECT_EQ(value, 1);
    std::string tenKeys = kTestRoot;
    for (int i = 0; i < 8; ++i)
        tenKeys += "\\k" + std::to_string(i);  // Software + 9 more = 10 keys
    EXPECT_EQ(writeRegistryValue(tenKeys + "\\v", &value, sizeof value, REG_BINARY), 0);
    EXPECT_EQ(writeRegistryValue(tenKeys + "\\k9\\v", &value, sizeof value, REG_BINARY), -1);
    const std::string longName(300 - std::string(kTestRoot).size() - 1, 'n');
    EXPECT_EQ(writeRegistryValue(std::string(kTestRoot) + "\\" + longName, &value, sizeof value,
                                 REG_BINARY),
              -1);
    // A stored value larger than the buffer fails the read.
    const std::int32_t wide = 70000;
    ASSERT_EQ(writeRegistryValue(std::string(kTestRoot) + "\\wide", &wide, sizeof wide, REG_BINARY),
              0);
    EXPECT_EQ(readRegistryValue(std::string(kTestRoot) + "\\wide", &value, sizeof value), -1);
    EXPECT_EQ(value, 1);
    // The Palm Desktop folder's value is read with all of its 512 bytes.
    const std::string folder(511, 'p');
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\U.S. Robotics\\Pilot Desktop\\Core", "Path",
                    REG_SZ, folder.c_str(), 512);
    EXPECT_EQ(palmDesktopFolder(), folder);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\U.S. Robotics");
}

}  // namespace
}  // namespace ferrovel
