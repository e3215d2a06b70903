// A high-DPI screen: the scene runs at the screen's logical size and every
// frame is shown enlarged by the whole-number factor, pixel for pixel.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/headless/headless.h"
#include "platform/headless/scripting.h"
#include "shell/shell.h"
#include "tests/support/fixtures.h"
#include "tools/render/render.h"

namespace {

using Frames = std::vector<std::vector<std::uint8_t>>;

std::vector<std::uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Frames frames(const std::vector<std::uint8_t>& package, int width, int height, int scale,
              int ticks) {
    Frames out;
    sg::render::Options options;
    options.width = width;
    options.height = height;
    options.scale = scale;
    options.ticks = ticks;
    sg::render::run(package, options, [&](int, const pf::soft::Framebuffer& fb) {
        out.push_back(sg::render::top_down_rgb(fb));
    });
    return out;
}

// Each pixel of `small` (w x h, top-down RGB) as an s x s block at the top
// left of a W x H picture; the rest black.
std::vector<std::uint8_t> enlarged(const std::vector<std::uint8_t>& small, int w, int h, int s,
                                   int W, int H) {
    std::vector<std::uint8_t> big(std::size_t(W) * std::size_t(H) * 3, 0);
    for (int y = 0; y < h * s; ++y)
        for (int x = 0; x < w * s; ++x)
            for (int c = 0; c < 3; ++c)
                big[(std::size_t(y) * W + x) * 3 + c] =
                    small[(std::size_t(y / s) * w + x / s) * 3 + c];
    return big;
}

void expect_enlarged(const std::vector<std::uint8_t>& package, int W, int H, int s, int ticks) {
    const int w = W / s, h = H / s;
    const Frames big = frames(package, W, H, s, ticks);
    const Frames small = frames(package, w, h, 1, ticks);
    ASSERT_EQ(big.size(), std::size_t(ticks));
    ASSERT_EQ(small.size(), std::size_t(ticks));
    for (int t = 0; t < ticks; ++t)
        ASSERT_TRUE(big[t] == enlarged(small[t], w, h, s, W, H)) << "tick " << t + 1;
}

TEST(DisplayScale, TwiceOnA1024x768ScreenIsThe512x384SceneEnlarged) {
    expect_enlarged(read_file(SG_DEFAULT_PACKAGE_PATH), 1024, 768, 2, 100);
    expect_enlarged(read_file(SG_AQUARIUM_PACKAGE_PATH), 1024, 768, 2, 100);
}

// A screen that is no multiple of the factor: the strip left over is black,
// and sprites that leave the logical screen are cut at its edge.
TEST(DisplayScale, LeftoverStripsStayBlackAtThreeTimes) {
    const auto package = sg::test::build(sg::test::ready_package(1, 0));  // white
    expect_enlarged(package, 643, 482, 3, 30);
}

TEST(DisplayScale, FactorFromDotsPerInch) {
    const struct {
        int dpi, scale;
    } cases[] = {{96, 1}, {120, 1}, {143, 1}, {144, 2}, {192, 2}, {240, 3}, {288, 3}, {1, 1}};
    for (const auto& c : cases) {
        pf::headless::reset();
        pf::headless::set_screen_dpi(c.dpi);
        EXPECT_EQ(sg::display_scale(1024, 768), c.scale) << c.dpi << " dpi";
    }
    // Never larger than the screen itself.
    pf::headless::set_screen_dpi(96 * 8);
    EXPECT_EQ(sg::display_scale(5, 700), 5);
    pf::headless::reset();
}

// The mouse step that ends the saver is measured on the real screen.
TEST(DisplayScale, MouseStepStaysInScreenPixels) {
    const auto package = sg::test::build(sg::test::ready_package(0, 0));
    for (int step : {4, 5}) {
        pf::headless::reset();
        pf::headless::set_package(package.data(), package.size());
        pf::headless::set_screen_size(800, 600);
        pf::headless::set_screen_dpi(192);
        pf::headless::set_timer_limit(50);
        auto saver = std::make_unique<sg::SaverState>();
        int last = -1;
        pf::headless::set_idle_hook([&](int ticks) {
            if (ticks == last) return;
            last = ticks;
            // The first move only records where the cursor is.
            if (ticks == 1) pf::headless::inject_mouse_move(saver->saverWindow, 100, 100);
            if (ticks == 2) pf::headless::inject_mouse_move(saver->saverWindow, 100 + step, 100);
        });
        sg::run_program(*saver, nullptr, "/s");
        pf::headless::set_idle_hook(nullptr);
        EXPECT_EQ(saver->world.screenWidth, 400);
        EXPECT_EQ(pf::headless::timer_messages_delivered() < 10, step == 5) << "step " << step;
    }
}

}  // namespace

namespace {

// The desktop background is taken at the screen's real size and shrunk to
// the logical one: with 2 x 2 blocks of one colour, each block is a pixel.
TEST(DisplayScale, DesktopBackgroundIsShrunkToTheLogicalScreen) {
    const auto package = sg::test::build(sg::test::ready_package(2, 0));
    pf::headless::reset();
    pf::headless::set_package(package.data(), package.size());
    pf::headless::set_screen_size(640, 480);
    pf::headless::set_screen_dpi(192);
    pf::headless::set_timer_limit(3);
    pf::soft::Framebuffer* desktop = pf::headless::desktop_pixels();
    ASSERT_NE(desktop, nullptr);
    for (int y = 0; y < desktop->height; ++y) {
        for (int x = 0; x < desktop->width; ++x) {
            std::uint8_t* p = &desktop->pixels[std::size_t(desktop->height - 1 - y) * desktop->stride +
                                               std::size_t(x) * 3];
            p[0] = std::uint8_t(x / 2);
            p[1] = std::uint8_t(y / 2);
            p[2] = 0x33;
        }
    }
    auto saver = std::make_unique<sg::SaverState>();
    bool checked = false;
    pf::headless::set_idle_hook([&](int ticks) {
        if (ticks != 1 || checked) return;
        checked = true;
        pf::soft::DibView view{};
        ASSERT_TRUE(pf::soft::dib_view(saver->frame.backgroundSurface.memoryDC, &view));
        ASSERT_EQ(view.width, 320);
        ASSERT_EQ(view.height, 240);
        for (int y = 0; y < 240; y += 7) {
            for (int x = 0; x < 320; x += 5) {
                const std::uint8_t* p = view.bits + std::size_t(239 - y) * view.stride + std::size_t(x) * 3;
                ASSERT_EQ(p[0], x % 256) << x << "," << y;
                ASSERT_EQ(p[1], y % 256) << x << "," << y;
                ASSERT_EQ(p[2], 0x33);
            }
        }
    });
    sg::run_program(*saver, nullptr, "/s");
    pf::headless::set_idle_hook(nullptr);
    EXPECT_TRUE(checked);
}

}  // namespace
