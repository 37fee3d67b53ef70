#include "platform/Registry.h"

#include <optional>
#include <vector>

#include "platform/RegistryPath.h"

namespace ferrovel {
namespace {

// The keys opened on the way down; closed most recent first.
struct OpenKeys {
    std::vector<HKEY> keys;
    HKEY last() const { return keys.empty() ? HKEY_CURRENT_USER : keys.back(); }
    ~OpenKeys() {
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) RegCloseKey(*key);
    }
};

bool openKeys(const RegistryValuePath& path, bool create, OpenKeys& open) {
    for (const std::string& name : path.keys) {
        HKEY key = nullptr;
        const LONG result = create ? RegCreateKeyExA(open.last(), name.c_str(), 0,
                                                     const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                                                     KEY_ALL_ACCESS, nullptr, &key, nullptr)
                                   : RegOpenKeyExA(open.last(), name.c_str(), 0, KEY_READ, &key);
        if (result != ERROR_SUCCESS) return false;
        open.keys.push_back(key);
    }
    return true;
}

}  // namespace

std::int16_t readRegistryValue(const std::string& path, void* buffer, DWORD size) {
    const std::optional<RegistryValuePath> split = splitRegistryPath(path);
    if (!split) return -1;
    OpenKeys open;
    if (!openKeys(*split, false, open)) return -1;
    // Into a copy first, so that a failed read leaves the caller's default.
    std::vector<BYTE> bytes(size);
    DWORD got = size;
    if (RegQueryValueExA(open.last(), split->valueName.c_str(), nullptr, nullptr, bytes.data(),
                         &got) != ERROR_SUCCESS) {
        return -1;
    }
    CopyMemory(buffer, bytes.data(), got);
    return 0;
}

std::int16_t writeRegistryValue(const std::string& path, const void* data, DWORD size, DWORD type) {
    const std::optional<RegistryValuePath> split = splitRegistryPath(path);
    if (!split) return -1;
    OpenKeys open;
    if (!openKeys(*split, true, open)) return -1;
    const LONG result = RegSetValueExA(open.last(), split->valueName.c_str(), 0, type,
                                       static_cast<const BYTE*>(data), size);
    return result == ERROR_SUCCESS ? 0 : -1;
}

}  // namespace ferrovel
