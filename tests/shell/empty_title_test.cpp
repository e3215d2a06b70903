// A scene whose title is empty: the title names the window class, and a
// class without a name is refused, so the saver ends at once with no window
// (status 0), on every backend as on Windows.
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "platform/headless/scripting.h"
#include "tests/support/fixtures.h"
#include "tools/render/render.h"

namespace {

TEST(EmptyTitle, TheSaverEndsAtOnceWithoutAWindow) {
    sg::pack::Package p = sg::test::ready_package(0, 0);
    p.scene.title = "";
    const auto bytes = sg::test::build(p);
    for (bool preview : {false, true}) {
        sg::render::Options options;
        options.preview = preview;
        options.ticks = 5;
        const sg::render::Outcome outcome = sg::render::run(bytes, options, nullptr);
        EXPECT_EQ(outcome.exitStatus, 0) << "preview " << preview;
        EXPECT_FALSE(outcome.windowCreated) << "preview " << preview;
        EXPECT_EQ(outcome.ticksRun, 0);
        EXPECT_TRUE(pf::headless::live_guards().empty()) << "the guard outlived the saver";
    }
}

TEST(EmptyTitle, AClassWithoutANameIsRefused) {
    pf::headless::reset();
    pf::WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = [](pf::HWND w, pf::UINT m, pf::WPARAM wp, pf::LPARAM lp) {
        return pf::DefWindowProcA(w, m, wp, lp);
    };
    windowClass.lpszClassName = "";
    EXPECT_EQ(pf::RegisterClassA(&windowClass), 0);
    EXPECT_EQ(pf::CreateWindowExA(0, "", "", pf::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr),
              nullptr);
}

}  // namespace
