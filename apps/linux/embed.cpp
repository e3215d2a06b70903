// sg-embed: appends a scene package to a built engine executable.
//
//   sg-embed ENGINE PACKAGE OUT
//
// OUT = ENGINE without any package it already carries, then PACKAGE, then the
// 16-byte trailer the engine looks for at its end. OUT may be ENGINE itself.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "format/exe_package.h"

namespace {

std::optional<std::vector<std::uint8_t>> read_all(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "sg-embed: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: sg-embed ENGINE PACKAGE OUT\n");
        return 2;
    }
    auto engine = read_all(argv[1]);
    if (!engine) return fail(std::string("cannot read ") + argv[1]);
    auto package = read_all(argv[2]);
    if (!package) return fail(std::string("cannot read ") + argv[2]);
    if (package->empty()) return fail(std::string(argv[2]) + " is empty");
    auto joined = sg::format::exe_package::append(*engine, *package);
    if (!joined)
        return fail(std::string(argv[1]) +
                    " ends in a damaged package trailer; rebuild the engine first");

    std::filesystem::path out = argv[3];
    std::filesystem::path temp = out;
    temp += ".embed-tmp";
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(joined->data()), std::streamsize(joined->size()));
        if (!file.flush()) return fail("cannot write " + temp.string());
    }
    // The result must stay runnable: keep the engine's permission bits.
    struct stat info {};
    if (::stat(argv[1], &info) == 0) ::chmod(temp.c_str(), info.st_mode & 07777);
    std::error_code ec;
    std::filesystem::rename(temp, out, ec);
    if (ec) return fail("cannot replace " + out.string() + ": " + ec.message());
    return 0;
}
