// The settings store against the real registry of the test's Windows. Key
// creation, the stored value's type and bytes and the defaults of missing
// values are seen end to end by the import dialog's tests, the path rules by
// the settings path tests; here what neither reaches.
#include "platform/Registry.h"

#include "install/PalmDesktop.h"
#include "tests/gui/AppDriver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace ferrovel {
namespace {

TEST(RegistryStore, AValueLargerThanTheBufferFailsTheReadAndThePalmPathIsReadWhole) {
    const std::string root = "Software\\FerrovelRegistryTest";
    RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
    const std::int32_t wide = 70000;
    ASSERT_EQ(writeRegistryValue(root + "\\wide", &wide, sizeof wide, REG_BINARY), 0);
    std::int16_t value = 1;
    EXPECT_EQ(readRegistryValue(root + "\\wide", &value, sizeof value), -1);
    EXPECT_EQ(value, 1);
    RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
    // The Palm Desktop folder's value is read with all of its 512 bytes.
    const std::string folder(511, 'p');
    gui::setPalmDesktopFolder(true, folder);
    EXPECT_EQ(palmDesktopFolder(), folder);
    gui::deletePalmDesktopKeys();
}

}  // namespace
}  // namespace ferrovel
