// bind's check of the engine it starts from: a complete ELF or PE file of
// ours. Cut-off files (at every length), headers that point past the end,
// foreign programs and savers without the package resource are refused with
// a reason; a bound program (package appended) is still accepted.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "format/exe_package.h"
#include "tools/core/container.h"
#include "tools/core/engine_check.h"
#include "tools/core/pe.h"

using namespace sg::packtool;

namespace {

Bytes slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? Bytes(std::istreambuf_iterator<char>(in), {}) : Bytes{};
}

// A minimal 64-bit executable: header, one loadable segment holding the
// payload, and two section headers (null and the payload's).
Bytes tiny_elf(const std::string& payload) {
    const std::size_t shoff = 120 + payload.size();
    Bytes f(shoff + 128, 0);
    std::copy(payload.begin(), payload.end(), f.begin() + 120);
    std::memcpy(f.data(), "\x7f" "ELF", 4);
    f[4] = 2, f[5] = 1, f[6] = 1;
    write_u16(&f[16], 3);    // shared object (a PIE)
    write_u16(&f[18], 62);   // x86_64
    write_u64(&f[32], 64);   // phoff
    write_u64(&f[40], shoff);
    write_u16(&f[54], 56), write_u16(&f[56], 1);
    write_u16(&f[58], 64), write_u16(&f[60], 2);
    write_u32(&f[64], 1);                 // PT_LOAD
    write_u64(&f[64 + 8], 0);             // offset
    write_u64(&f[64 + 32], 120 + payload.size());  // file size
    std::uint8_t* s = &f[shoff + 64];
    write_u32(s + 4, 1);  // PROGBITS
    write_u64(s + 24, 120);
    write_u64(s + 32, payload.size());
    return f;
}

const std::string OURS = std::string("code ") + std::string(sg::format::exe_package::TRAILER_MAGIC, 8) + " more code";

std::string refusal(const Bytes& file) {
    try {
        check_engine(file, "engine");
    } catch (const Failure& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(PackEngineCheck, SmallProgramOfOursIsAcceptedAndEveryCutIsRefused) {
    const Bytes elf = tiny_elf(OURS);
    EXPECT_TRUE(elf_problems(elf).empty());
    EXPECT_TRUE(elf_is_ours(elf));
    EXPECT_EQ(refusal(elf), "");
    for (std::size_t n = 0; n < elf.size(); ++n) {
        Bytes cut(elf.begin(), elf.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(refusal(cut), "") << "cut at " << n;
    }
}

TEST(PackEngineCheck, HeadersPointingPastTheEndAreNamed) {
    const Bytes elf = tiny_elf(OURS);
    Bytes b = elf;
    write_u64(&b[40], b.size() - 10);  // section headers run off the end
    EXPECT_NE(refusal(b).find("section headers lie past the end"), std::string::npos) << refusal(b);
    b = elf;
    write_u64(&b[64 + 32], 1u << 30);  // a segment larger than the file
    EXPECT_NE(refusal(b).find("segment 0 lies past the end"), std::string::npos) << refusal(b);
    b = elf;
    write_u64(&b[120 + OURS.size() + 64 + 24], ~std::uint64_t{0} - 4);  // a section whose end wraps
    EXPECT_NE(refusal(b).find("section 1 lies past the end"), std::string::npos) << refusal(b);
    b = elf;
    write_u16(&b[56], 0);
    EXPECT_NE(refusal(b).find("no program headers"), std::string::npos) << refusal(b);
    b = elf;
    write_u16(&b[16], 1);  // an object file
    EXPECT_NE(refusal(b).find("not an executable"), std::string::npos) << refusal(b);
    b = elf;
    b[5] = 2;  // big-endian
    EXPECT_NE(refusal(b).find("little-endian"), std::string::npos) << refusal(b);
}

TEST(PackEngineCheck, ForeignProgramsAreRefused) {
    EXPECT_NE(refusal(tiny_elf("just some other program's code")).find("not a snowglobe program"), std::string::npos);
    Bytes foreign = slurp("/bin/true");
    if (!foreign.empty()) {
        EXPECT_NE(refusal(foreign).find("not a snowglobe program"), std::string::npos);
    }
    EXPECT_NE(refusal(Bytes{'h', 'i'}).find("neither a Windows executable"), std::string::npos);
    // This test program reads bound packages (it links the code): ours.
    EXPECT_EQ(refusal(slurp("/proc/self/exe")), "");
}

TEST(PackEngineCheck, BoundProgramIsCheckedWithoutItsPackage) {
    const Bytes elf = tiny_elf(OURS);
    const Bytes package(5000, 0x5a);
    auto bound = sg::format::exe_package::append(elf, package);
    ASSERT_TRUE(bound);
    EXPECT_EQ(refusal(*bound), "");
    // The program cut, then a package appended: still refused.
    Bytes cut(elf.begin(), elf.end() - 40);
    auto boundCut = sg::format::exe_package::append(cut, package);
    ASSERT_TRUE(boundCut);
    EXPECT_NE(refusal(*boundCut), "");
    // A trailer claiming more than the file: the program's end is unknown.
    Bytes damaged = *bound;
    write_u64(&damaged[damaged.size() - 8], damaged.size() * 2);
    EXPECT_NE(refusal(damaged).find("trailer is damaged"), std::string::npos);
}

TEST(PackEngineCheck, WindowsSaversNeedTheirWholeFileAndTheResource) {
#ifdef SG_PACK_FIXTURE_DIR
    const Bytes exe = slurp(std::string(SG_PACK_FIXTURE_DIR) + "/pe-fixture-x86_64.exe");
#else
    const Bytes exe;
#endif
    if (exe.empty()) GTEST_SKIP() << "no mingw-w64 build of the fixture program";
    EXPECT_EQ(refusal(exe), "");
    // Cut anywhere, even in the symbol table after the sections.
    for (std::size_t n : {std::size_t{100}, std::size_t{1024}, exe.size() / 2, exe.size() - 1}) {
        Bytes cut(exe.begin(), exe.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(refusal(cut), "") << "cut at " << n;
    }
    Bytes without = pe::rebuild_resources(
        exe, [](std::vector<pe::Resource>& list) {
            std::erase_if(list, [](const pe::Resource& r) { return r.type == pe::ResName::of("KAVREN"); });
        },
        "fixture");
    EXPECT_NE(refusal(without).find("no KAVREN/103 resource"), std::string::npos) << refusal(without);
}
