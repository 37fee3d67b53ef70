#include "install/UserList.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "tests/TestSupport.h"

namespace ferrovel {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Users in the layout the searches assume: number, name, folder.
Bytes userList(const std::vector<std::tuple<std::int32_t, std::string, std::string>>& users) {
    Bytes file = {0xFF, 0xFE, 0x00, 0x10};  // whatever precedes the users is skipped
    for (const auto& [number, name, folder] : users) {
        for (int shift = 0; shift < 32; shift += 8)
            file.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(number) >> shift));
        file.push_back(static_cast<std::uint8_t>(name.size()));
        file.insert(file.end(), name.begin(), name.end());
        file.push_back(static_cast<std::uint8_t>(folder.size()));
        file.insert(file.end(), folder.begin(), folder.end());
    }
    return file;
}

const Bytes kUsers = userList({{22, "Carol", "carol2"},
                               {7, "Alice Smith", "alice"},
                               {21, "Carol", "carol1"},
                               {0x01020304, "Alice Renamed", "alice"},
                               {-5, "Bob", "bob"}});

TEST(UserList, NamesComeFromTheLastMatchOfTheFolderAndNumbersFromTheFirstOfTheName) {
    // Case matters, and a folder that matches no user is its own name; of
    // two users of a name the first counts.
    std::string found;
    for (const char* folder : {"alice", "carol1", "BOB"})
        found += lookUpUserName(kUsers, folder) + "; ";
    for (const char* name : {"Carol", "Alice Renamed", "Bob", "Nobody"})
        found += ::testing::PrintToString(findUserNumber(kUsers, name)) + "; ";
    EXPECT_EQ(found, "Alice Renamed; Carol; BOB; (22); (16909060); (-5); (nullopt); ");
    EXPECT_EQ(installMarkPath(-5),
              "Software\\U.S. Robotics\\Pilot Desktop\\HotSync Manager\\Install-5");
}

TEST(UserList, RunsStopBelow32FieldsBeforeTheirEarliestPlaceMatchNothingAndNoReadGoesPastTheEnd) {
    // Files and the name they give for folder "ff".
    const std::pair<std::string, std::string> names[] = {
        {"\0\0\0\0xy\037Name\002ff"s, "Name"},
        {"QLonger\002ff"s, "Longer"},    // never byte 0
        {"\0\0\0\0\0\002ff"s, ""},       // a name of length 0
        {"\0\0\0\0A\002ff"s, "A"},       // the folder ends the file
        {"\002ff\0\0\0\0\0"s, "ff"},     // a length byte at the start
        {"\0\0\0\0\0\0\0\002"s, "ff"}};  // and at the end
    for (const auto& [file, name] : names) EXPECT_EQ(lookUpUserName(bytesOf(file), "ff"), name);
    EXPECT_EQ(findUserNumber(bytesOf("\001\0\0\0\003Bob"s), "Bob"), 1);
    EXPECT_EQ(findUserNumber(bytesOf("\0\0\0\003Bob"s), "Bob"), std::nullopt);
    EXPECT_EQ(findUserNumber(bytesOf("\0\0\0\0\0\0\0\003"s), "Bob"), std::nullopt);
    // A length of 32 or more is text and joins the run; lengths compare by their low 8 bits.
    const Bytes longName = userList({{9, std::string(300, 'L'), std::string(256, 'f')}});
    EXPECT_EQ(findUserNumber(longName, std::string(300, 'L')), 9);
    EXPECT_EQ(lookUpUserName(longName, std::string(256, 'f')), "," + std::string(300, 'L'));
    // Empty, truncated and random files give the right answer or none; under
    // the sanitizers this also shows that no byte outside the buffer is read.
    EXPECT_EQ(findUserNumber({}, ""), std::nullopt);
    for (std::size_t size = 0; size <= kUsers.size(); ++size) {
        const Bytes cut(kUsers.begin(), kUsers.begin() + static_cast<std::ptrdiff_t>(size));
        const std::string name = lookUpUserName(cut, "bob");
        EXPECT_TRUE(name == "bob" || name == "Bob") << size << ": " << name;
        EXPECT_EQ(findUserNumber(cut, "Carol").value_or(22), 22) << size;
    }
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        Bytes noise(random() % 64);
        for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(random() % 4);
        lookUpUserName(noise, "\x02\x02"s);
        findUserNumber(noise, "\x01"s);
    }
}

TEST(UserList, TheFileIsReadWholeUpToItsCap) {
    Bytes bytes = {1};
    EXPECT_EQ(readUserList(testing::scratchPath("no-users.dat"), bytes), kUserListUnreadable);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(readUserList(testing::scratchPath(""), bytes), kUserListUnreadable);  // a folder
    Bytes big(2 * 65536 + 3);  // over the reading chunks
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    const std::string path = testing::writeScratchFile("big-users.dat", big);
    EXPECT_EQ(readUserList(path, bytes, big.size()), 0);
    EXPECT_EQ(bytes, big);
    EXPECT_EQ(readUserList(path, bytes, big.size() - 1), kUserListUnreadable);
    EXPECT_TRUE(bytes.empty());
}

TEST(InstallTarget, BaseNamesAreCleanedIntoTheFirstInstallFolderOfTheName) {
    EXPECT_EQ(databaseBaseName(R"(C:\My Files\My Paint (2).pdb)"), "My Paint (2)");
    EXPECT_EQ(databaseBaseName(R"(C:\a.b\archive.tar.PDB)"), "archive.tar");
    EXPECT_EQ(databaseBaseName("C:noext"), "noext");
    EXPECT_EQ(cleanInstallBaseName("abcXYZ019"), "abcXYZ019");
    EXPECT_EQ(cleanInstallBaseName("\"\"two.\"\""), "_two__");  // one quote at each end
    EXPECT_EQ(cleanInstallBaseName("caf\xC3\xA9 \xE5\x86\x99\x01"), "caf____");  // é, 写
    const std::string longName(60, 'n'), longFolder = R"(C:\Palm\)" + std::string(70, 'u');
    const std::vector<PalmUser> users = {{"Carol", R"(C:\Palm\carol1\Install)"},
                                         {"Carol", R"(C:\Palm\carol2\Install)"},
                                         {longName, longFolder}};
    EXPECT_EQ(buildInstallTarget(users, "Carol", "My Paint (2)"),
              R"(C:\Palm\carol1\Install\My_Paint__2_.pdb)");
    EXPECT_EQ(buildInstallTarget(users, "Carol", ""), R"(C:\Palm\carol1\Install)");
    EXPECT_EQ(buildInstallTarget(users, "carol", "db"), R"(carol\db.pdb)");  // no such user
    // Names and folders past 49 characters are kept whole.
    EXPECT_EQ(buildInstallTarget(users, longName, "db"), longFolder + R"(\db.pdb)");
}

}  // namespace
}  // namespace ferrovel
