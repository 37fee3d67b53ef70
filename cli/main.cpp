#include <string>
#include <vector>

#include "cli/Imagedb.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return ferrovel::runImagedb(args, stdout, stderr);
}
