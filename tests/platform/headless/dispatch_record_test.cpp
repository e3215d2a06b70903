// The record of dispatched messages once lived in the shipped host and took
// four bytes a tick for as long as the Linux program ran. It is now the test
// library's alone (tests/linux/no-recorder.sh checks that no shipped program
// links it), and still must not grow with every timer message of a long run;
// the start of a run stays recorded in order.
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "platform/headless/scripting.h"
#include "shell/shell.h"
#include "tools/packlib/packlib.h"

namespace {

namespace hl = pf::headless;

TEST(RegressionDispatchRecord, StaysBoundedThroughALongRunAndKeepsItsStart) {
    hl::reset();
    sg::pack::Package scene;
    scene.scene.title = "long run";
    const sg::pack::Bytes package = sg::pack::package_bytes(scene);
    hl::set_package(package.data(), package.size());
    hl::set_screen_size(64, 48);
    constexpr int TICKS = 100000;
    hl::set_timer_limit(TICKS);

    // The program's own entry, which makes a saver of its own.
    ASSERT_EQ(sg::WinMain(nullptr, "/s"), 0);
    ASSERT_GE(hl::timer_messages_delivered(), TICKS);
    const std::vector<pf::UINT>& record = hl::dispatched_messages();
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record.front(), pf::WM_CREATE);
    EXPECT_LT(record.size(), static_cast<std::size_t>(TICKS));
    EXPECT_LE(record.capacity() * sizeof(pf::UINT), 512u * 1024u);
    hl::reset();
}

}  // namespace
