// The headless renderer: the saver's own composition, handed out as pictures
// (what snowglobe-pack render and the end-to-end comparisons read).
#include <gtest/gtest.h>

#include "tests/support/shell_support.h"
#include "tools/render/render.h"

namespace {

using namespace shell_test;

constexpr Bgr SPRITE{0x11, 0x22, 0x33};

pack::Bytes render_scene() {
    pack::Package p = base_package();
    p.scene.backgroundMode = 1;
    p.layers[0] = moving_sprite(solid(4, 4, SPRITE), 10, 10, 1);  // 2 pixels a tick
    return pack::package_bytes(p);
}

TEST(Renderer, HandsOutTheWindowEveryFewTicks) {
    const pack::Bytes bytes = render_scene();
    std::vector<int> ticks;
    sg::render::Options options;
    options.width = 200;
    options.height = 100;
    options.ticks = 7;
    options.every = 3;
    const auto outcome =
        sg::render::run(bytes, options, [&](int tick, const pf::soft::Framebuffer& fb) {
            ticks.push_back(tick);
            ASSERT_EQ(fb.width, 200);
            ASSERT_EQ(fb.height, 100);
            const int x = 10 + 2 * (tick - 1);
            EXPECT_EQ(pixel(fb, x, 10), SPRITE) << tick;
            EXPECT_EQ(pixel(fb, x - 1, 10), WHITE) << tick;
            EXPECT_EQ(pixel(fb, x + 4, 13), WHITE) << tick;
        });
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_TRUE(outcome.windowCreated);
    EXPECT_EQ(outcome.ticksRun, 7);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_EQ(ticks, (std::vector<int>{3, 6}));
}

TEST(Renderer, PreviewIsStretchedOntoThePane) {
    sg::render::Options options;
    options.width = 640;
    options.height = 480;
    options.preview = true;
    options.ticks = 2;
    int calls = 0;
    const auto outcome =
        sg::render::run(render_scene(), options, [&](int tick, const pf::soft::Framebuffer& fb) {
            ++calls;
            ASSERT_EQ(fb.width, 640);
            const int x = 2 * (10 + 2 * (tick - 1));
            EXPECT_EQ(pixel(fb, x, 20), SPRITE);
            EXPECT_EQ(pixel(fb, x + 7, 27), SPRITE);
            EXPECT_EQ(pixel(fb, x + 8, 27), WHITE);
        });
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.ticksRun, 2);
    EXPECT_EQ(calls, 2);
}

TEST(Renderer, ARefusedPackageMakesNoWindow) {
    pack::Bytes bytes = render_scene();
    bytes.resize(100);
    int calls = 0;
    const auto outcome =
        sg::render::run(bytes, {}, [&](int, const pf::soft::Framebuffer&) { ++calls; });
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_FALSE(outcome.windowCreated);
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0].text, "err");
    EXPECT_EQ(outcome.messages[0].caption, "hres");
}

}  // namespace
