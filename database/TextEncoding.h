// The character sets the program meets. Its own text, file names included,
// is UTF-8 on every platform; the labels inside a database are in the
// handheld's Latin character set, Windows code page 1252. Text crosses from
// one to the other only through these functions.
#pragma once

#include <string>
#include <string_view>

namespace ferrovel {

// Handheld bytes as UTF-8. The five bytes that code page 1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters
// of the same number, as Windows maps them, so that every label converts
// and converts back unchanged.
std::string handheldToUtf8(std::string_view handheld);

// UTF-8 in the handheld's character set, one byte a character: a character
// the set lacks, and a byte that is no part of a well-formed UTF-8
// sequence, becomes "?".
std::string utf8ToHandheld(std::string_view utf8);

#ifdef _WIN32
// UTF-8 as the UTF-16 of the Windows wide-character calls, and back.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);
#endif

}  // namespace ferrovel
