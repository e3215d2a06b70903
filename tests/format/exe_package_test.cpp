// The package trailer of an executable: appending, finding, stripping and
// replacing it, refusing damaged ones, and reading a package from a file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "format/exe_package.h"

namespace {

namespace ep = sg::format::exe_package;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(ExePackage, AppendLocateStripAndReplace) {
    const Bytes exe = bytes_of("\x7f" "ELF pretend program");
    const Bytes pkg = bytes_of("package bytes");
    auto bound = ep::append(exe, pkg);
    ASSERT_TRUE(bound);
    ASSERT_EQ(bound->size(), exe.size() + pkg.size() + 16);
    EXPECT_EQ(std::string(bound->end() - 16, bound->end() - 8), "SGKAVREN");
    EXPECT_EQ((*bound)[bound->size() - 8], pkg.size());
    ep::Location at = ep::locate(*bound);
    ASSERT_EQ(at.status, ep::Status::Found);
    EXPECT_EQ(at.offset, exe.size());
    EXPECT_EQ(Bytes(bound->begin() + at.offset, bound->begin() + at.offset + at.size), pkg);
    auto bare = ep::strip(*bound);
    ASSERT_TRUE(bare);
    EXPECT_EQ(Bytes(bare->begin(), bare->end()), exe);

    // Binding again replaces the package instead of stacking a second one.
    auto rebound = ep::append(*bound, bytes_of("new"));
    ASSERT_TRUE(rebound);
    EXPECT_EQ(rebound->size(), exe.size() + 3 + 16);
    EXPECT_EQ(ep::locate(*rebound).offset, exe.size());

    // An empty package is still a package.
    auto empty = ep::append(exe, Bytes{});
    ASSERT_TRUE(empty);
    EXPECT_EQ(ep::locate(*empty).status, ep::Status::Found);
    EXPECT_EQ(ep::locate(*empty).size, 0u);

    EXPECT_EQ(ep::locate(exe).status, ep::Status::None);
    EXPECT_EQ(ep::strip(exe)->size(), exe.size());
    EXPECT_EQ(ep::locate(Bytes{}).status, ep::Status::None);
}

TEST(ExePackage, DamagedTrailersAreRefused) {
    Bytes file = *ep::append(bytes_of("program"), bytes_of("pkg"));
    // Lengths that reach past the start of the file, up to ones that would wrap.
    for (std::uint64_t length : {std::uint64_t{11}, std::uint64_t{1} << 40, ~std::uint64_t{0}}) {
        Bytes bad = file;
        for (int i = 0; i < 8; ++i) bad[bad.size() - 8 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        EXPECT_EQ(ep::locate(bad).status, ep::Status::Damaged) << length;
        EXPECT_FALSE(ep::strip(bad)) << length;
        EXPECT_FALSE(ep::append(bad, bytes_of("x"))) << length;
    }
    // A length exactly up to the first byte is fine: the "executable" is empty.
    Bytes whole = *ep::append(Bytes{}, bytes_of("only"));
    EXPECT_EQ(ep::locate(whole).status, ep::Status::Found);
    // The trailer alone, cut short, is no trailer.
    Bytes cut(file.end() - 15, file.end());
    EXPECT_EQ(ep::locate(cut).status, ep::Status::None);
    Bytes magicOnly = bytes_of("SGKAVREN");
    magicOnly.resize(16, 0xFF);
    EXPECT_EQ(ep::locate(magicOnly).status, ep::Status::Damaged);
}

TEST(ExePackage, ReadsOnlyThePackageFromAFile) {
    const std::string path = ::testing::TempDir() + "exe_package_read_" + std::to_string(getpid());
    auto write = [&](const Bytes& b) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                    static_cast<std::streamsize>(b.size()));
    };
    Bytes pkg(5000);
    for (std::size_t i = 0; i < pkg.size(); ++i) pkg[i] = static_cast<std::uint8_t>(i * 7);
    write(*ep::append(Bytes(100000, 0xCC), pkg));
    Bytes got;
    std::string error;
    EXPECT_EQ(ep::read_package(path.c_str(), &got, &error), ep::Status::Found);
    EXPECT_EQ(got, pkg);

    Bytes damaged = *ep::append(Bytes(10, 1), pkg);
    damaged.erase(damaged.begin(), damaged.begin() + 20);  // the file lost its head
    write(damaged);
    EXPECT_EQ(ep::read_package(path.c_str(), &got, &error), ep::Status::Damaged);
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(error.empty());

    write(Bytes(3, 0));
    EXPECT_EQ(ep::read_package(path.c_str(), &got), ep::Status::None);
    std::remove(path.c_str());
    EXPECT_EQ(ep::read_package(path.c_str(), &got, &error), ep::Status::Damaged);
    EXPECT_EQ(ep::read_package(nullptr, &got), ep::Status::Damaged);
}

// The running program's copy: zero blocks are skipped rather than copied, so
// the bytes after a run of zeros, a zero run ending mid-block and a short
// last block must all come back exactly.
TEST(ExePackage, LoadsThePackageForTheProcessWithItsZerosIntact) {
    const std::string path = ::testing::TempDir() + "exe_package_load_" + std::to_string(getpid());
    auto write = [&](const Bytes& b) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                    static_cast<std::streamsize>(b.size()));
    };
    Bytes pkg(300000, 0);
    for (std::size_t i = 0; i < 70000; ++i) pkg[i] = static_cast<std::uint8_t>(i * 13 + 1);
    pkg[200000] = 0x5A;             // alone in an otherwise empty block
    pkg[pkg.size() - 1] = 0xA5;     // the last byte of a short last block
    write(*ep::append(Bytes(4097, 0xCC), pkg));
    const std::span<const std::uint8_t> got = ep::load_for_process(path.c_str());
    ASSERT_EQ(got.size(), pkg.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), pkg.begin()));

    write(Bytes(3, 0));
    EXPECT_TRUE(ep::load_for_process(path.c_str()).empty()) << "no trailer";
    Bytes damaged = *ep::append(Bytes(10, 1), pkg);
    damaged.erase(damaged.begin(), damaged.begin() + 20);
    write(damaged);
    EXPECT_TRUE(ep::load_for_process(path.c_str()).empty()) << "a trailer longer than the file";
    write(*ep::append(Bytes(10, 1), Bytes{}));
    EXPECT_TRUE(ep::load_for_process(path.c_str()).empty()) << "an empty package";
    std::remove(path.c_str());
    EXPECT_TRUE(ep::load_for_process(path.c_str()).empty()) << "no file";
    EXPECT_TRUE(ep::load_for_process(nullptr).empty());
}

}  // namespace
