#include <string>
#include <vector>

#include "cli/Imagedb.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first.
#include <shellapi.h>

#include "database/TextEncoding.h"
#endif

namespace {

// The arguments in UTF-8, which every file name of the program is in. On
// Windows they come from the wide-character command line, as the narrow
// one holds only what the ANSI code page can say.
std::vector<std::string> arguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) args.push_back(ferrovel::toUtf8(wide[i]));
    LocalFree(wide);
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    return ferrovel::runImagedb(arguments(argc, argv), stdout, stderr, stdin);
}
