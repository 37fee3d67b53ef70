// Labels in the handheld's character set against the program's UTF-8.
#include "database/TextEncoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "database/FileOpen.h"
#include "tests/TestSupport.h"

namespace ferrovel {
namespace {

TEST(TextEncoding, EveryHandheldByteConvertsAndComesBack) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    EXPECT_EQ(utf8ToHandheld(handheldToUtf8(all)), all);
    struct Case {
        const char* handheld;
        const char* utf8;
    };
    for (const Case& c :
         {Case{"\x80", "\xE2\x82\xAC"}, Case{"\x9F", "\xC5\xB8"}, Case{"\xFF", "\xC3\xBF"}}) {
        EXPECT_EQ(handheldToUtf8(c.handheld), c.utf8) << c.handheld;
        EXPECT_EQ(utf8ToHandheld(c.utf8), c.handheld) << c.handheld;
    }
}

TEST(TextEncoding, WhatTheHandheldLacksBecomesAQuestionMark) {
    struct Case {
        const char* utf8;
        const char* handheld;
    };
    for (const Case& c : {Case{"\xE5\x86\x99\xE7\x9C\x9F 1", "?? 1"},  // 写真 1
                          Case{"\xF0\x9F\x98\x80", "?"},               // beyond the 16-bit plane
                          Case{"\xC2\x80", "?"},                       // a C1 control 1252 lacks
                          Case{"a\xC3", "a?"},                         // cut short
                          Case{"\xC0\xAF", "??"},                      // overlong
                          Case{"\xED\xA0\x80", "???"},                 // a surrogate
                          Case{"\xA9x", "?x"}}) {                      // a stray continuation
        EXPECT_EQ(utf8ToHandheld(c.utf8), c.handheld) << c.utf8;
    }
}

// A UTF-8 path names the file of those characters, whatever code page the
// process runs under (the test programs run under Windows' Latin one).
TEST(FileOpen, AFileOfAnyNameIsCreatedUnderThatNameAndOpensAgain) {
    const std::string folder = testing::freshFolder("open");
    std::FILE* created = openFile(folder + "\u5199\u771F \u00E9.bin", "wb");
    ASSERT_NE(created, nullptr);
    std::fclose(created);
    std::FILE* opened = openFile(folder + "\u5199\u771F \u00E9.bin", "rb");
    EXPECT_NE(opened, nullptr);
    if (opened) std::fclose(opened);
    const auto entry = std::filesystem::directory_iterator(folder);
    ASSERT_NE(entry, std::filesystem::directory_iterator());
    EXPECT_TRUE(entry->path().filename().u8string() == u8"\u5199\u771F \u00E9.bin");
}

}  // namespace
}  // namespace ferrovel
