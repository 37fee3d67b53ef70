// Reading a signed 16-bit decimal the way "%hd" reads one: leading white
// space, an optional sign, at least one digit; the value wraps to 16 bits.
// Labels and the import dialog's size boxes are read this way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ferrovel {

// Reads the number at text[at...]; on success at moves past it. False, with
// at and value unchanged, when no digit follows the blanks and the sign.
inline bool scanShortDecimal(const std::string& text, std::size_t& at, std::int16_t& value) {
    std::size_t p = at;
    while (p < text.size() && (text[p] == ' ' || (text[p] >= '\t' && text[p] <= '\r'))) ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    const std::size_t digits = p;
    std::uint32_t magnitude = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        magnitude = magnitude * 10u + static_cast<std::uint32_t>(text[p++] - '0');
    }
    if (p == digits) return false;
    at = p;
    const std::uint32_t bits = negative ? 0u - magnitude : magnitude;
    value = static_cast<std::int16_t>(static_cast<std::uint16_t>(bits & 0xFFFFu));
    return true;
}

}  // namespace ferrovel
