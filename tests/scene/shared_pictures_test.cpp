// Frames and layers that use the same picture bytes share one decoded
// picture, mask and cut-out: the same pixels, a fraction of the objects.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/diagnostics.h"
#include "shell/shell.h"
#include "tests/support/fixtures.h"
#include "tests/support/hostile.h"
#include "tools/render/render.h"

namespace {

struct RunFigures {
    int ticks = 0;
    int mostObjects = 0;
    std::vector<std::uint8_t> lastFrame;
};

RunFigures run(const std::vector<std::uint8_t>& package, int width, int height, int ticks) {
    RunFigures figures;
    sg::render::Options options;
    options.width = width;
    options.height = height;
    options.ticks = ticks;
    options.inspect = [&](int, const sg::SaverState&) {
        figures.mostObjects = std::max(figures.mostObjects, pf::diagnostics::gdi_objects_alive());
    };
    const auto outcome = sg::render::run(package, options, [&](int, const pf::soft::Framebuffer& fb) {
        figures.lastFrame = fb.pixels;
    });
    figures.ticks = outcome.ticksRun;
    return figures;
}

// 200 frames over ten layers, all naming one picture: three surfaces for the
// picture (plus the screen's two and the window's own) instead of 600.
TEST(SharedPictures, AliasedFramesAndLayersDecodeOnce) {
    for (int bits : {24, 8}) {
        SCOPED_TRACE(bits);
        const auto package = sg::test::aliased_picture_package(64, bits, 3);
        const RunFigures figures = run(package, 320, 240, 5);
        EXPECT_EQ(figures.ticks, 5);
        EXPECT_LE(figures.mostObjects, 3 * 2 + 2 * 2 + 4) << "objects while running";
        EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), 0) << "teardown released a shared surface twice or not at all";
    }
}

// Sharing changes nothing on screen: a scene whose layers have equal but
// separate copies of a picture looks the same as one whose layers share them.
TEST(SharedPictures, SharedAndSeparateCopiesDrawTheSame) {
    sg::pack::Package separate = sg::test::ready_package(0, 0);
    const sg::pack::AnimSet set = sg::test::animset(3, 24, 16, 2, 0);
    for (int k = 0; k < 4; ++k) separate.layers.at(std::size_t(k)) = sg::test::enabled_layer(set, 5);
    const RunFigures a = run(sg::test::build(separate), 200, 150, 40);

    // The same layers, but layers 1..3 read layer 0's set bytes.
    sg::pack::Package shared = separate;
    sg::pack::Layout layout;
    sg::pack::package_bytes(shared, &layout);
    for (int k = 1; k < 4; ++k) {
        sg::pack::Layer& layer = shared.layers.at(std::size_t(k));
        layer.set.reset();
        layer.keepSetFields = true;
        layer.settings.setSize = layout.sizes[1] - 76;
    }
    sg::pack::package_bytes(shared, &layout);
    for (int k = 1; k < 4; ++k)
        shared.layers.at(std::size_t(k)).settings.setOffset = layout.offsets[1] + 76 - layout.offsets[1 + k];
    const RunFigures b = run(sg::test::build(shared), 200, 150, 40);

    ASSERT_FALSE(a.lastFrame.empty());
    EXPECT_EQ(a.lastFrame, b.lastFrame);
    EXPECT_LT(b.mostObjects, a.mostObjects);
}

}  // namespace
