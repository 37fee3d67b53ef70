// The tool run in-process, as its tests and the write path's tests run it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Imagedb.h"
#include "tests/TestSupport.h"

namespace ferrovel::testing {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

inline std::string readAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

// Runs the tool in-process: input is what standard input holds, and a
// failing output is a file open for reading only, which takes no write. The
// streams are files of this process's scratch folder: the Windows C
// library's tmpfile names collide between test processes running at once.
inline ToolRun run(const std::vector<std::string>& args, const std::string& input = "",
                   bool failingOutput = false) {
    std::FILE* in =
        std::fopen(writeScratchFile("run-in", {input.begin(), input.end()}).c_str(), "rb");
    std::FILE* err = std::fopen(scratchPath("run-err").c_str(), "w+b");
    std::FILE* out = failingOutput ? std::fopen(writeScratchFile("run-read-only", {}).c_str(), "rb")
                                   : std::fopen(scratchPath("run-out").c_str(), "w+b");
    if (!in || !out || !err) return {};
    ToolRun r{runImagedb(args, out, err, in), failingOutput ? "" : readAll(out), readAll(err)};
    for (std::FILE* file : {in, out, err}) std::fclose(file);
    return r;
}

}  // namespace ferrovel::testing
