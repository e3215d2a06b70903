// KERNEL calls the saver relies on, as every backend must answer them: the
// in-memory host natively, the real system under wine (tests/wine runs this
// program there too).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace {

// Names no other test program in the same wine prefix uses at the same time.
std::string guard_name(const char* stem) {
    return std::string("sg-kernel-test-") + stem + "-" +
           std::to_string(reinterpret_cast<std::uintptr_t>(&guard_name) & 0xFFFFF);
}

TEST(Kernel, AGuardNameIsTakenWhileAHandleIsOpenAndNamesAreCaseSensitive) {
    const std::string name = guard_name("scene");
    pf::HANDLE a = pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(pf::GetLastError(), 0u);
    pf::HANDLE b = pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_ALREADY_EXISTS);
    EXPECT_NE(a, b);

    const std::string upper = guard_name("Scene");
    pf::HANDLE c = pf::CreateSemaphoreA(nullptr, 0, 1, upper.c_str());
    EXPECT_EQ(pf::GetLastError(), 0u) << "names are case-sensitive";

    EXPECT_TRUE(pf::CloseHandle(a));
    pf::HANDLE d = pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_ALREADY_EXISTS) << "b still holds the name";
    EXPECT_TRUE(pf::CloseHandle(b));
    EXPECT_TRUE(pf::CloseHandle(d));
    pf::HANDLE e = pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
    EXPECT_EQ(pf::GetLastError(), 0u) << "the last handle closed frees the name";
    pf::CloseHandle(e);
    pf::CloseHandle(c);

    EXPECT_EQ(pf::CreateSemaphoreA(nullptr, 0, 0, guard_name("bad").c_str()), nullptr)
        << "a maximum of 0 is refused";
}

TEST(Kernel, GlobalBlocksStartZeroedLockToOneAddressAndCountLocks) {
    pf::HGLOBAL h = pf::GlobalAlloc(pf::GMEM_MOVEABLE | pf::GMEM_ZEROINIT, 4096);
    ASSERT_NE(h, nullptr);
    auto* p = static_cast<std::uint8_t*>(pf::GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(pf::GlobalHandle(p), h);
    EXPECT_EQ(pf::GlobalLock(h), p);
    EXPECT_TRUE(pf::GlobalUnlock(h)) << "still locked once";
    EXPECT_FALSE(pf::GlobalUnlock(h));
    EXPECT_EQ(pf::GetLastError(), 0u) << "unlocked";
    EXPECT_EQ(pf::GlobalFree(h), nullptr);
    EXPECT_EQ(pf::GlobalAlloc(pf::GMEM_MOVEABLE, ~std::size_t{0}), nullptr);
}

}  // namespace
