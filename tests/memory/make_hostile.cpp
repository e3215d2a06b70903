// make_hostile KIND OUT: writes one of the hostile packages of
// tests/support/hostile.h (aliased24, aliased8) for the memory tests.
#include <cstdio>
#include <cstring>

#include "tests/support/hostile.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_hostile aliased24|aliased8 OUT\n");
        return 2;
    }
    const int bits = std::strcmp(argv[1], "aliased8") == 0 ? 8 : 24;
    const auto bytes = sg::test::aliased_picture_package(1000, bits, 50);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return 1;
    return std::fclose(out) == 0 ? 0 : 1;
}
