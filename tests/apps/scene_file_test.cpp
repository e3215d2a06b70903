// The scene of a file given to the Linux program: a package as it is, the
// package resource of a Windows saver (read here without the tool's PE code,
// checked against it), the package appended to a bound Linux program, and
// refusals for files that cannot hold one.
#include <gtest/gtest.h>

#include <fstream>

#include "apps/linux/scene_file.h"
#include "format/exe_package.h"
#include "format/pe_resource.h"
#include "tests/support/fixtures.h"
#include "tools/core/pe.h"

using sg::app::scene_from_bytes;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

Bytes elf(std::size_t n) {
    Bytes b = pattern(n, 3);
    b[0] = 0x7f, b[1] = 'E', b[2] = 'L', b[3] = 'F';
    return b;
}

bool holds(const sg::app::SceneFile& s, const Bytes& package) {
    return s.ok && Bytes(s.package().begin(), s.package().end()) == package;
}

}  // namespace

TEST(SceneFile, PackageAndBoundLinuxProgram) {
    const Bytes package = sg::test::build(sg::test::ready_package());
    EXPECT_TRUE(holds(scene_from_bytes(package, "p"), package));
    const auto bound = sg::format::exe_package::append(elf(5000), package);
    ASSERT_TRUE(bound);
    EXPECT_TRUE(holds(scene_from_bytes(*bound, "b"), package));
    EXPECT_EQ(sg::app::package_code_page(package), 932u);
}

TEST(SceneFile, Refusals) {
    EXPECT_NE(scene_from_bytes(elf(5000), "bare").refusal.find("bare is a program without a scene"), std::string::npos);
    EXPECT_NE(scene_from_bytes({}, "e").refusal.find("e is empty"), std::string::npos);
    Bytes damaged = *sg::format::exe_package::append(elf(100), pattern(50, 1));
    damaged.erase(damaged.begin() + 4, damaged.begin() + 120);  // shorter than the trailer says
    EXPECT_NE(scene_from_bytes(damaged, "d").refusal.find("longer than the file"), std::string::npos);
    Bytes mz = pattern(300, 9);
    mz[0] = 'M', mz[1] = 'Z', mz[0x3C] = 0x40, mz[0x3D] = mz[0x3E] = mz[0x3F] = 0;
    mz[0x40] = 'P', mz[0x41] = 'E', mz[0x42] = mz[0x43] = 0;
    EXPECT_NE(scene_from_bytes(mz, "w").refusal.find("w is a damaged Windows program"), std::string::npos);
    EXPECT_FALSE(sg::app::read_scene_file("/").ok);
    EXPECT_FALSE(sg::app::read_scene_file("/nonexistent/scene.kavren").ok);
}

class SceneFilePe : public ::testing::TestWithParam<const char*> {};

// The mingw fixture programs, as built and bound by the tool: the lookup finds
// what the tool finds and writes, in both image formats, and nothing in a
// program without the resource.
TEST_P(SceneFilePe, FindsWhatBindWrote) {
    Bytes exe;
#ifdef SG_PACK_FIXTURE_DIR
    std::ifstream in(std::string(SG_PACK_FIXTURE_DIR) + "/pe-fixture-" + GetParam() + ".exe", std::ios::binary);
    exe.assign(std::istreambuf_iterator<char>(in), {});
#endif
    if (exe.empty()) GTEST_SKIP() << "no mingw-w64 build of the fixture program";
    namespace pe = sg::packtool::pe;
    using sg::format::pe_resource::Status;
    const pe::ResName kavren = pe::ResName::of("KAVREN");
    const auto tools = pe::find_resource(exe, kavren, pe::ResName::of(103), 1041, "t");
    ASSERT_TRUE(tools);
    EXPECT_TRUE(holds(scene_from_bytes(exe, "f"), *tools));
    const Bytes bare = pe::rebuild_resources(exe, [&](std::vector<pe::Resource>& list) {
        std::erase_if(list, [&](const pe::Resource& r) { return r.type == kavren; });
    }, "t");
    EXPECT_EQ(sg::format::pe_resource::find(bare, "KAVREN", 103, 1041).status, Status::Missing);

    const Bytes package = sg::test::build(sg::test::ready_package());
    const Bytes other = pattern(999, 5);
    Bytes bound = pe::replace_resource(bare, kavren, pe::ResName::of(103), 1033, other, "t");
    bound = pe::rebuild_resources(bound, [&](std::vector<pe::Resource>& list) {
        list.push_back({kavren, pe::ResName::of(103), pe::ResName::of(1041), 0, package});
    }, "t");
    EXPECT_TRUE(holds(scene_from_bytes(bound, "s"), package));  // Japanese preferred
    EXPECT_EQ(sg::format::pe_resource::find(bound, "KAVREN", 103, 2052).data.size(), other.size());
    // Cut before the package's end, the image never yields it.
    const auto whole = sg::format::pe_resource::find(bound, "KAVREN", 103, 1041);
    const std::size_t end = static_cast<std::size_t>(whole.data.data() - bound.data()) + whole.data.size();
    for (std::size_t cut = 0; cut < end; cut += end / 97 + 1) {
        const auto r = sg::format::pe_resource::find(std::span(bound).first(cut), "KAVREN", 103, 1041);
        EXPECT_NE(r.status, Status::Found) << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(Arches, SceneFilePe, ::testing::Values("i686", "x86_64"));
