#include "database/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ferrovel {
namespace {

constexpr char32_t kNoCharacter = 0xFFFFFFFF;

// The characters of the bytes 0x80 to 0x9F; the rest of the set is Latin-1.
constexpr std::array<char32_t, 32> kHighCharacters = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t characterOf(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighCharacters[byte - 0x80u] : char32_t{byte};
}

// The handheld byte of a character, or '?' when the set lacks it.
char byteOf(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    const auto found = std::find(kHighCharacters.begin(), kHighCharacters.end(), c);
    if (found == kHighCharacters.end()) return '?';
    return static_cast<char>(0x80 + (found - kHighCharacters.begin()));
}

void appendUtf8(std::string& out, char32_t c) {
    const int continuation = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    constexpr char32_t kLeadMarks[] = {0x00, 0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(kLeadMarks[continuation] | c >> (6 * continuation)));
    for (int shift = 6 * (continuation - 1); shift >= 0; shift -= 6)
        out.push_back(static_cast<char>(0x80 | (c >> shift & 0x3F)));
}

// The character whose UTF-8 sequence starts at text[at], moving at past it;
// kNoCharacter, and one byte further, for anything malformed (a stray or
// missing continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
char32_t nextCharacter(std::string_view text, std::size_t& at) {
    const unsigned char lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + static_cast<std::size_t>(length - 1) > text.size()) return kNoCharacter;
    char32_t c = lead & (0x7Fu >> length);
    for (int i = 1; i < length; ++i) {
        const unsigned char next =
            static_cast<unsigned char>(text[at + static_cast<std::size_t>(i - 1)]);
        if ((next & 0xC0) != 0x80) return kNoCharacter;
        c = c << 6 | (next & 0x3Fu);
    }
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kShortest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kNoCharacter;
    at += static_cast<std::size_t>(length - 1);
    return c;
}

}  // namespace

std::string handheldToUtf8(std::string_view handheld) {
    std::string out;
    out.reserve(handheld.size());
    for (char byte : handheld) appendUtf8(out, characterOf(static_cast<unsigned char>(byte)));
    return out;
}

std::string utf8ToHandheld(std::string_view utf8) {
    std::string out;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const char32_t c = nextCharacter(utf8, at);
        out.push_back(c == kNoCharacter ? '?' : byteOf(c));
    }
    return out;
}

#ifdef _WIN32
std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int chars = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(chars, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), chars);
    return out;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}
#endif

}  // namespace ferrovel
