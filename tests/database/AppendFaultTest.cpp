#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "database/Append.h"
#include "database/WorkFile.h"
#include "tests/database/DatabaseTestSupport.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::readFileBytes;

constexpr int kTiles = 10;
constexpr std::int16_t kWidth = kTiles * 160 - 159, kHeight = 8;

// A clean append of ten 1-bit tiles in one row onto about 1 MB of records, so
// that each rewrite copies the database in sixteen or so chunks. The picture
// is 8 rows high, so preparing it costs next to nothing.
struct Scene {
    std::string path, work;
    Bytes initial;
    std::vector<Bytes> states;  // the database after j complete records, j = 0 .. kTiles
    int steps = 0;              // hook calls of the whole append
};

std::int16_t appendPicture(const Scene& s) {
    static const BgrImage picture = [] {
        BgrImage p{kWidth, kHeight, Bytes(std::size_t{kWidth} * kHeight * 3)};
        for (std::size_t i = 0; i < p.pixels.size(); ++i) {
            p.pixels[i] = static_cast<std::uint8_t>(i / 21 * 37);
        }
        return p;
    }();
    AppendOptions options;
    options.targetWidth = kWidth;
    options.targetHeight = kHeight;
    return appendImage(s.path, picture, options);
}

std::int16_t appendFromStart(const Scene& s, AppendFaultHook hook, void* context) {
    fixtures::writeFileBytes(s.path, s.initial);
    std::remove(s.work.c_str());
    setAppendFaultHook(hook, context);
    const std::int16_t status = appendPicture(s);
    setAppendFaultHook(nullptr, nullptr);
    return status;
}

// Counts the steps. A record's first step comes while no work file exists,
// when the database stands complete with the records before it.
bool recordStates(void* context, int) {
    Scene& s = *static_cast<Scene*>(context);
    ++s.steps;
    if (!std::filesystem::exists(s.work)) s.states.push_back(readFileBytes(s.path));
    return false;
}

const Scene& scene() {
    static const Scene built = [] {
        Scene s;
        s.path = testing::scratchPath("fault.pdb");
        s.work = workFilePath(s.path);
        s.initial = fixtures::buildDatabase(
            "Fault", std::vector<fixtures::FixtureRecord>(20, testing::makeRecord(16, 160, 160)));
        EXPECT_EQ(appendFromStart(s, recordStates, &s), 0);
        s.states.push_back(readFileBytes(s.path));
        return s;
    }();
    EXPECT_EQ(built.states.size(), kTiles + 1u);
    EXPECT_GE(built.steps, 200);
    return built;
}

// After step k went wrong the database holds a complete state, never one
// behind the states earlier steps left, and no work file is left over.
::testing::AssertionResult holdsACompleteState(const Scene& s, int k, std::set<int>& seen) {
    const auto at = std::find(s.states.begin(), s.states.end(), readFileBytes(s.path));
    const int state = static_cast<int>(at - s.states.begin());
    if (at == s.states.end() || state < *seen.rbegin() || std::filesystem::exists(s.work)) {
        return ::testing::AssertionFailure()
               << "step " << k << " leaves state " << state << " (" << kTiles + 1
               << ": none) after " << *seen.rbegin() << ", or a work file";
    }
    seen.insert(state);
    return ::testing::AssertionSuccess();
}

// Each step fails once in turn; over all of them every state turns up.
TEST(AppendFault, AFailedStepLeavesACompleteDatabase) {
    const Scene& s = scene();
    std::set<int> seen = {0};
    for (int k = 0; k <= s.steps; ++k) {
        const std::int16_t status = appendFromStart(
            s, [](void* context, int step) { return step == *static_cast<int*>(context); }, &k);
        const bool failed =
            status == kAppendWorkFileUnreadable || status == kAppendDatabaseUnwritable;
        ASSERT_TRUE(k < s.steps ? failed : status == 0) << "step " << k << ": " << status;
        ASSERT_TRUE(holdsACompleteState(s, k, seen));
    }
    EXPECT_EQ(seen.size(), kTiles + 1u);
}

#ifndef _WIN32
// _exit drops what the stdio buffers of the open files hold, as a kill would.
TEST(AppendFault, ADeathAtAnyStepIsRecovered) {
    const Scene& s = scene();
    std::set<int> seen = {0};
    for (int k = 0; k <= s.steps; ++k) {
        fixtures::writeFileBytes(s.path, s.initial);
        std::remove(s.work.c_str());
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const auto die = [](void* context, int step) {
                if (step == *static_cast<int*>(context)) _exit(3);
                return false;
            };
            setAppendFaultHook(die, &k);
            _exit(appendPicture(s) == 0 ? 0 : 4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), k < s.steps ? 3 : 0) << "step " << k;
        recoverDatabase(s.path);
        ASSERT_TRUE(holdsACompleteState(s, k, seen));
    }
    EXPECT_EQ(seen.size(), kTiles + 1u);
}
#endif

}  // namespace
}  // namespace ferrovel
