#include "platform/RegistryPath.h"

namespace ferrovel {

std::optional<RegistryValuePath> splitRegistryPath(const std::string& path) {
    if (path.size() > kMaxRegistryPathChars) return std::nullopt;
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    // The value name is the component that ends the path; a trailing
    // separator leaves none.
    if (components.empty() || path.back() == '\\') return std::nullopt;
    RegistryValuePath split;
    split.valueName = components.back();
    components.pop_back();
    if (components.size() > kMaxRegistryKeys) return std::nullopt;
    split.keys = std::move(components);
    return split;
}

}  // namespace ferrovel
