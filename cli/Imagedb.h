// The imagedb command-line tool: the program's database jobs in batch.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ferrovel {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // something went wrong; the reason is on stderr
inline constexpr int kExitUsage = 2;   // the command line was wrong

// Runs one imagedb command line (without the program name), writing results
// to out and errors to err and reading a bitmap given as "-" from in;
// returns the exit status.
int runImagedb(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
               std::FILE* in = stdin);

}  // namespace ferrovel
