// The settings store: one registry value under the current user's hive,
// addressed by a backslash-separated path of at most 10 keys and a value name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace ferrovel {

inline constexpr const char* kSettingsKey = "Software\\Ferrovel\\ImageManager\\5.0";

// Reads the value's stored bytes into buffer (at most size bytes; the type is
// not checked): 0, or -1 with the buffer left as it was.
std::int16_t readRegistryValue(const std::string& path, void* buffer, DWORD size);

// Writes the value, creating missing keys: 0 or -1.
std::int16_t writeRegistryValue(const std::string& path, const void* data, DWORD size, DWORD type);

}  // namespace ferrovel
