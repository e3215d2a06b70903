// snowglobe-pack bind: a Windows program's KAVREN/103 resource is replaced by
// rebuilding its resource section (the result parsed again must be a
// consistent PE that holds the new package and everything else it held), and
// a Linux program gets its package appended with the trailer the engine reads.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "format/exe_package.h"
#include "tools/core/container.h"
#include "tools/core/pe.h"
#include "tools/core/util.h"

using namespace sg::packtool;

namespace {

Bytes fixture(const char* arch) {
#ifdef SG_PACK_FIXTURE_DIR
    std::string path = std::string(SG_PACK_FIXTURE_DIR) + "/pe-fixture-" + arch + ".exe";
    std::ifstream in(path, std::ios::binary);
    if (in) return Bytes(std::istreambuf_iterator<char>(in), {});
#endif
    (void)arch;
    return {};
}

Bytes pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + seed + (i >> 9));
    return b;
}

const pe::ResName KAVREN = pe::ResName::of("KAVREN");
const pe::ResName ID103 = pe::ResName::of(103);

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

// The other resources, which bind must leave as they were.
std::vector<pe::Resource> others(const Bytes& file) {
    auto list = pe::resources(file, pe::parse(file, "test"), "test");
    std::erase_if(list, [](const pe::Resource& r) { return r.type == KAVREN; });
    return list;
}

bool same(const std::vector<pe::Resource>& a, const std::vector<pe::Resource>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i].type == b[i].type) || !(a[i].name == b[i].name) || !(a[i].language == b[i].language) || a[i].data != b[i].data)
            return false;
    return true;
}

}  // namespace

class PackBindPe : public ::testing::TestWithParam<const char*> {};

TEST_P(PackBindPe, ResourceReplacedAndImageConsistent) {
    Bytes exe = fixture(GetParam());
    if (exe.empty()) GTEST_SKIP() << "no mingw-w64 build of the fixture program";
    ASSERT_TRUE(pe::layout_problems(exe).empty()) << joined(pe::layout_problems(exe));
    const auto kept = others(exe);
    ASSERT_EQ(kept.size(), 2u);  // the named RCDATA and the string table
    const std::size_t sections = pe::parse(exe, "test").sections.size();

    // Growing by far more than a section alignment, then shrinking again.
    for (std::size_t size : {std::size_t{300000}, std::size_t{5}, std::size_t{70001}}) {
        SCOPED_TRACE(size);
        Bytes package = pattern(size, static_cast<std::uint8_t>(size));
        Bytes bound = pe::replace_resource(exe, KAVREN, ID103, 1041, package, "test");
        EXPECT_TRUE(pe::layout_problems(bound).empty()) << joined(pe::layout_problems(bound));
        auto found = pe::find_resource(bound, KAVREN, ID103, 1041, "test");
        ASSERT_TRUE(found);
        EXPECT_TRUE(*found == package);
        EXPECT_TRUE(same(others(bound), kept));
        pe::Image image = pe::parse(bound, "test");
        EXPECT_EQ(image.sections.size(), sections);  // grown in place, nothing added
        for (const pe::Resource& r : pe::resources(bound, image, "test")) {
            if (r.type == KAVREN) {
                EXPECT_EQ(r.language.id, 1041u);
            }
        }
        EXPECT_EQ(source_from_bytes(bound, "bound").package, package);
        exe = bound;
    }
}

TEST_P(PackBindPe, ChecksumIsRecomputedWhenSet) {
    Bytes exe = fixture(GetParam());
    if (exe.empty()) GTEST_SKIP() << "no mingw-w64 build of the fixture program";
    pe::Image image = pe::parse(exe, "test");
    write_u32(&exe[image.optionalOffset + 64], 1);
    write_u32(&exe[image.optionalOffset + 64], pe::compute_checksum(exe, image.optionalOffset + 64));
    ASSERT_TRUE(pe::layout_problems(exe).empty());
    Bytes bound = pe::replace_resource(exe, KAVREN, ID103, 1041, pattern(12345, 1), "test");
    EXPECT_TRUE(pe::layout_problems(bound).empty()) << joined(pe::layout_problems(bound));
    EXPECT_NE(read_u32(&bound[image.optionalOffset + 64]), 0u);
}

TEST_P(PackBindPe, SectionsThatCannotMoveGetANewResourceSection) {
    Bytes exe = fixture(GetParam());
    if (exe.empty()) GTEST_SKIP() << "no mingw-w64 build of the fixture program";
    pe::Image image = pe::parse(exe, "test");
    // Make every section after the resources look like ordinary data.
    bool after = false;
    for (std::size_t i = 0; i < image.sections.size(); ++i) {
        std::uint8_t* header = &exe[image.sectionTableOffset + 40 * i];
        if (after) {
            std::memcpy(header, ".keep\0\0\0", 8);
            write_u32(header + 36, read_u32(header + 36) & ~0x02000000u);
        }
        if (image.sections[i].name == ".rsrc") after = true;
    }
    if (image.sections.back().name == ".rsrc") GTEST_SKIP() << "the resources are already last";
    Bytes package = pattern(50000, 7);
    Bytes bound = pe::replace_resource(exe, KAVREN, ID103, 1041, package, "test");
    EXPECT_TRUE(pe::layout_problems(bound).empty()) << joined(pe::layout_problems(bound));
    pe::Image now = pe::parse(bound, "test");
    EXPECT_EQ(now.sections.size(), image.sections.size() + 1);
    EXPECT_EQ(now.sections.back().name, ".rsrc");
    EXPECT_TRUE(*pe::find_resource(bound, KAVREN, ID103, 1041, "test") == package);
}

INSTANTIATE_TEST_SUITE_P(Arch, PackBindPe, ::testing::Values("i686", "x86_64"));

TEST(PackBind, DamagedExecutablesAreRefusedNotRead) {
    Bytes exe = fixture("x86_64");
    if (exe.empty()) GTEST_SKIP() << "no mingw-w64 build of the fixture program";
    pe::Image image = pe::parse(exe, "test");
    // Cut inside the section table, inside the resources, and a directory that loops.
    for (std::size_t cut : {image.sectionTableOffset + 20, exe.size() / 2 + 7}) {
        Bytes broken(exe.begin(), exe.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_THROW(pe::replace_resource(broken, KAVREN, ID103, 1041, pattern(10, 1), "test"), Failure);
    }
    Bytes looping = exe;
    std::uint32_t root = image.directories[pe::DIR_RESOURCE].rva;
    for (const pe::Section& s : image.sections)
        if (root >= s.virtualAddress && root < s.virtualAddress + s.rawSize) {
            std::size_t at = s.rawPointer + (root - s.virtualAddress);
            write_u32(&looping[at + 16 + 4], 0x80000000u);  // the first type's directory is the root again
        }
    EXPECT_THROW(pe::find_resource(looping, KAVREN, ID103, 1041, "test"), Failure);
    Bytes notPe = {'M', 'Z', 0, 0};
    EXPECT_FALSE(pe::looks_like_pe(notPe));
}

TEST(PackBind, LinuxProgramCarriesOneAppendedPackage) {
    std::ifstream self("/proc/self/exe", std::ios::binary);
    Bytes program(std::istreambuf_iterator<char>(self), {});
    ASSERT_TRUE(is_elf(program));
    Bytes first = pattern(1000, 1), second = pattern(3000, 2);
    auto once = sg::format::exe_package::append(program, first);
    ASSERT_TRUE(once);
    auto twice = sg::format::exe_package::append(*once, second);
    ASSERT_TRUE(twice);
    // The earlier package is dropped, not stacked.
    EXPECT_EQ(twice->size(), program.size() + second.size() + sg::format::exe_package::TRAILER_BYTES);
    Source s = source_from_bytes(*twice, "bound");
    EXPECT_EQ(s.kind, FileKind::LinuxExe);
    EXPECT_TRUE(s.package == second);
    EXPECT_THROW(source_from_bytes(program, "bare"), Failure);
}
