// The tool's writes seen from outside: readers running beside an import see
// the old or the new database, whole; two imports at once both land; links
// and permissions survive; reading never touches a file that merely has the
// work file's name; and when the disk says no (full, read-only, a work file
// that cannot be removed) the user is told and the database stays as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

#include "database/WorkFile.h"
#include "tests/cli/ToolRun.h"
#include "tests/database/DatabaseTestSupport.h"
#include "tests/fixtures/DemoDatabase.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first.
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ferrovel {
namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;
using fixtures::readFileBytes;
using testing::run;

std::string demoCopy(const std::string& name) {
    return testing::writeScratchFile(name, fixtures::demoDatabase());
}

// The tool's count of images in the database, "Images: N\n", or its error.
std::string images(const std::string& path) {
    const testing::ToolRun r = run({"info", path});
    return r.status == kExitOk ? r.out.substr(r.out.find("Images:")) : r.err;
}

// The import must fail with the message and leave the database as it was.
void expectRefused(const std::string& database, const std::string& picture,
                   const std::string& message) {
    const testing::ToolRun r = run({"import", database, picture, "--format", "16"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(readFileBytes(database), fixtures::demoDatabase()) << "the database changed";
}

TEST(WritePath, AFileNamedLikeTheWorkFileSurvivesEveryRead) {
    const std::string database = demoCopy("a.pdb"), work = workFilePath(database);
    const std::string out = testing::scratchPath("a-out.bmp");
    const std::string missing = testing::scratchPath("notes.pdb");
    fixtures::writeFileBytes(work, {'n', 'o', 't', 'e', 's'});
    fixtures::writeFileBytes(workFilePath(missing), fixtures::demoDatabase());
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list", database},
                                                 {"info", database},
                                                 {"export", database, out, "--all", "numbered"},
                                                 {"info", missing}}) {
        run(args);
        EXPECT_EQ(readFileBytes(work), (Bytes{'n', 'o', 't', 'e', 's'})) << args[0];
        EXPECT_FALSE(fs::exists(missing)) << args[0] << " put a database in place";
        EXPECT_TRUE(fs::exists(workFilePath(missing))) << args[0];
    }
    EXPECT_EQ(readFileBytes(database), fixtures::demoDatabase());
}

// Another program running the tool: a forked child here, a process of the
// tool's own executable on Windows. Its exit status once it has ended;
// nothing while it runs, unless told to wait.
#ifdef _WIN32
using Child = std::intptr_t;

Child startImagedb(const std::vector<std::string>& args) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string tool = (fs::path(self).parent_path() / "imagedb.exe").string();
    std::vector<std::string> quoted(args.size());  // never reallocated: argv points into it
    std::vector<const char*> argv = {"imagedb"};
    for (std::size_t i = 0; i < args.size(); ++i)
        argv.push_back((quoted[i] = "\"" + args[i] + "\"").c_str());
    argv.push_back(nullptr);
    return _spawnv(_P_NOWAIT, tool.c_str(), argv.data());
}

std::optional<int> exitStatus(Child child, bool wait = true) {
    const auto process = reinterpret_cast<HANDLE>(child);
    DWORD status = 0;
    if (WaitForSingleObject(process, wait ? INFINITE : 0) == WAIT_TIMEOUT) return std::nullopt;
    return GetExitCodeProcess(process, &status) ? static_cast<int>(status) : -1;
}
#else
using Child = pid_t;

Child startImagedb(const std::vector<std::string>& args) {
    const pid_t child = fork();
    if (child == 0) _exit(runImagedb(args, std::fopen("/dev/null", "w"), stderr));
    return child;
}

std::optional<int> exitStatus(Child child, bool wait = true) {
    int status = 0;
    const pid_t ended = waitpid(child, &status, wait ? 0 : WNOHANG);
    if (ended == 0) return std::nullopt;
    return ended == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

TEST(WritePath, ReadersBesideAnImportSeeTheOldOrTheNewDatabaseWhole) {
    const std::string database = demoCopy("busy.pdb");
    const Bytes old = readFileBytes(database);
    const Child writer = startImagedb(
        {"import", database, testing::gradientBitmap("busy.bmp", 1600, 1600),  // 100 tiles
         "--format", "16", "--no-dither"});
    std::set<Bytes> seen;
    std::set<std::string> infos;
    std::optional<int> status;
    while (!(status = exitStatus(writer, false))) {
        seen.insert(readFileBytes(database));
        infos.insert(images(database));
    }
    EXPECT_EQ(status, 0);
    const Bytes now = readFileBytes(database);
    EXPECT_EQ(images(database), "Images: 7\n");
    for (const Bytes& snapshot : seen) EXPECT_TRUE(snapshot == old || snapshot == now);
    for (const std::string& info : infos)
        EXPECT_TRUE(info == "Images: 6\n" || info == "Images: 7\n");
    EXPECT_GE(seen.size() + infos.size(), 2u) << "the readers never ran during the import";
}

TEST(WritePath, TwoImportsAtOnceBothLand) {
    for (int round = 0; round < 3; ++round) {
        const std::string database = demoCopy("twice.pdb");
        const std::string first = testing::gradientBitmap("first.bmp", 480, 320),
                          second = testing::gradientBitmap("second.bmp", 800, 320);
        const Child a = startImagedb({"import", database, first});
        const Child b = startImagedb({"import", database, second});
        EXPECT_EQ(exitStatus(a), 0);
        EXPECT_EQ(exitStatus(b), 0);
        EXPECT_EQ(images(database), "Images: 8\n") << "round " << round;
        EXPECT_FALSE(fs::exists(workFilePath(database)));
    }
}

#ifndef _WIN32
TEST(WritePath, LinksAndPermissionsSurviveAnImport) {
    const std::string folder = testing::freshFolder("links");
    const std::string real = folder + "real.pdb", link = folder + "link.pdb";
    fixtures::writeFileBytes(real, fixtures::demoDatabase());
    const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(real, ownerOnly);
    fs::create_symlink("real.pdb", link);
    const std::string picture = testing::gradientBitmap("linked.bmp", 40, 40);
    ASSERT_EQ(run({"import", link, picture}).status, kExitOk);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(images(real), "Images: 7\n");
    EXPECT_EQ(fs::status(real).permissions(), ownerOnly);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2)
        << "a work or lock file was left";

    // A second name of the same file keeps what it held; the named path is changed atomically.
    const std::string second = folder + "second.pdb";
    fs::create_hard_link(real, second);
    const Bytes before = readFileBytes(second);
    ASSERT_EQ(run({"import", real, picture}).status, kExitOk);
    EXPECT_EQ(images(real), "Images: 8\n");
    EXPECT_EQ(readFileBytes(second), before);
}

// A small file system of its own, so that the disk really fills or refuses writes.
TEST(WritePath, AFullOrReadOnlyDiskFailsTheImportAndKeepsTheDatabase) {
    const std::string folder = testing::freshFolder("small-fs"), database = folder + "pictures.pdb";
    if (std::system(("mount -t tmpfs -o size=400k tmpfs '" + folder + "' 2>/dev/null").c_str()))
        GTEST_SKIP() << "cannot mount a small file system here";
    fixtures::writeFileBytes(database, fixtures::demoDatabase());  // about 210 KB
    // The rewrite needs a second copy of the database: it cannot fit.
    expectRefused(database, testing::gradientBitmap("full.bmp", 320, 320),
                  "Could not open target database file for write.");
    EXPECT_FALSE(fs::exists(workFilePath(database))) << "a work file was left behind";
    const bool readOnly = std::system(("mount -o remount,ro '" + folder + "'").c_str()) == 0;
    if (readOnly)
        expectRefused(database, testing::gradientBitmap("read-only.bmp", 40, 40),
                      "Could not open temporary work file.");
    std::system(("umount '" + folder + "'").c_str());
    EXPECT_TRUE(readOnly);
}
#endif

TEST(WritePath, AWorkFileThatCannotBeRemovedStopsTheAppendBeforeAnythingIsWritten) {
    const std::string database = demoCopy("stuck.pdb");
    // A folder in the work file's place: neither deleted nor replaced by a rename.
    fs::create_directories(workFilePath(database) + "/inside");
    expectRefused(database, testing::gradientBitmap("stuck.bmp", 40, 40),
                  "Could not open temporary work file.");
    fs::remove_all(workFilePath(database));
}

}  // namespace
}  // namespace ferrovel
