// Writes the seed corpus of the fuzz targets: small valid databases and
// run-length streams made by our own fixture code. The pictures and bitmaps
// are the tests' picture table, made small at build time (picture_seeds).
//
// usage: make_corpus FOLDER   (writes FOLDER/database and FOLDER/runlength)
#include <filesystem>
#include <string>

#include "tests/fixtures/DatabaseBuilder.h"

using namespace ferrovel;
using fixtures::Bytes;

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string root = argv[1];
    for (const char* folder : {"/database", "/runlength"})
        std::filesystem::create_directories(root + folder);
    fixtures::writeFileBytes(root + "/database/empty.pdb", fixtures::buildDatabase("empty", {}));
    const auto value = [](int layer, int x, int y) { return std::uint32_t(x * 7 + y * 3 + layer); };
    for (std::uint16_t bits : {1, 2, 4, 8, 16}) {
        const int layers = bits == 16 ? 2 : 1;
        const auto records =
            fixtures::tiledImageRecords({"Seed", 170, 30, bits, layers, bits != 16, false, value});
        fixtures::writeFileBytes(root + "/database/small" + std::to_string(bits) + ".pdb",
                                 fixtures::buildDatabase("small", records));
    }
    fixtures::writeFileBytes(root + "/runlength/runs.bin",
                             Bytes{1, 2, 2, 2, 9, 9, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7});
    fixtures::writeFileBytes(root + "/runlength/zeros.bin", Bytes(300, 0));
    return 0;
}
