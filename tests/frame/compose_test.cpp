// Frame composition through the whole program: the dirty-rectangle lists
// after each tick, what reaches the window, the first full present, the
// stretched preview, vanishing sprites and sprites off the edges.
#include <gtest/gtest.h>

#include <memory>

#include "frame/compose.h"
#include "platform/headless/scripting.h"
#include "scene/mask.h"
#include "tests/support/shell_support.h"

namespace {

using namespace shell_test;
namespace hl = pf::headless;

constexpr Bgr SPRITE{0x11, 0x22, 0x33};
constexpr Bgr OTHER{0x44, 0x55, 0x66};

bool same(const sg::DirtyRect& r, int x, int y, int w, int h) {
    return r.x == x && r.y == y && r.width == w && r.height == h;
}

Program white_program(pack::Package p) {
    p.scene.backgroundMode = 1;
    Program prog;
    prog.package = pack::package_bytes(p);
    return prog;
}

TEST(Compose, ListsFollowAMovingSprite) {
    pack::Package p = base_package();
    p.layers[0] = moving_sprite(solid(4, 3, SPRITE), 10, 20, 0);
    Program prog = white_program(p);
    int checkedTicks = 0;
    prog.onTick = [&](int t) {
        sg::SaverState& saver = *prog.saver;
        if (t == 0) return;
        if (t == 4) {
            hl::inject_key(prog.window());
            return;
        }
        const int x = 10 + (t - 1);  // drawn where the previous tick moved it
        ASSERT_EQ(saver.frame.restoreCount, 1) << t;
        EXPECT_TRUE(same(saver.frame.restoreList[0], x, 20, 4, 3)) << t;
        EXPECT_EQ(saver.frame.presentCount, 0) << "moved on after presenting";
        ASSERT_EQ(saver.frame.previousPresentCount, 1);
        EXPECT_TRUE(same(saver.frame.previousPresentList[0], x, 20, 4, 3));
        EXPECT_EQ(saver.frame.firstPresentDone, 1);
        EXPECT_EQ(saver.world.layerTable[0].x[0], x + 1);

        const auto& fb = saver_pixels(saver);
        EXPECT_EQ(pixel(fb, x, 20), SPRITE);
        EXPECT_EQ(pixel(fb, x + 3, 22), SPRITE);
        EXPECT_EQ(pixel(fb, x + 4, 20), WHITE);
        EXPECT_EQ(pixel(fb, x - 1, 20), WHITE) << "last tick's place is background again";
        EXPECT_EQ(pixel(fb, x, 23), WHITE);
        EXPECT_TRUE(window_equals_work_surface(saver)) << t;
        ++checkedTicks;
    };
    EXPECT_EQ(prog.run("/s"), 0);
    EXPECT_EQ(checkedTicks, 3);
}

TEST(Compose, FirstPresentCopiesTheWholePictureOnce) {
    Program prog = white_program(base_package());
    bool firstSeen = false;
    bool laterUntouched = false;
    prog.onTick = [&](int t) {
        sg::SaverState& saver = *prog.saver;
        auto& fb = const_cast<pf::soft::Framebuffer&>(saver_pixels(saver));
        if (t == 1) {
            firstSeen = pixel(fb, 0, 0) == WHITE && pixel(fb, 639, 479) == WHITE &&
                        pixel(fb, 320, 240) == WHITE;
            EXPECT_EQ(saver.frame.firstPresentDone, 1);
            EXPECT_EQ(saver.frame.restoreCount, 0);
            EXPECT_EQ(saver.frame.previousPresentCount, 0);
            // Mark the window; a later full copy would paint over the mark.
            const std::size_t at = std::size_t(fb.height - 1 - 100) * fb.stride + 100 * 3;
            fb.pixels[at] = 0;
        }
        if (t == 3) {
            laterUntouched = pixel(fb, 100, 100) == Bgr{0, 255, 255};
            hl::inject_key(prog.window());
        }
    };
    EXPECT_EQ(prog.run("/s"), 0);
    EXPECT_TRUE(firstSeen);
    EXPECT_TRUE(laterUntouched) << "without sprites nothing is copied after the first present";
}

TEST(Compose, HigherLayersAndSlotsPaintOver) {
    pack::Package p = base_package();
    p.layers[0] = still_sprite(solid(8, 8, SPRITE), 0, 0);
    p.layers[2] = still_sprite(solid(8, 8, OTHER), 4, 4);
    p.layers[0].settings.instanceCount = 2;  // both slots at the same place
    Program prog = white_program(p);
    prog.onTick = [&](int t) {
        sg::SaverState& saver = *prog.saver;
        if (t != 1) return;
        ASSERT_EQ(saver.frame.previousPresentCount, 3);
        EXPECT_TRUE(same(saver.frame.restoreList[0], 0, 0, 8, 8));
        EXPECT_TRUE(same(saver.frame.restoreList[1], 0, 0, 8, 8));
        EXPECT_TRUE(same(saver.frame.restoreList[2], 4, 4, 8, 8));
        const auto& fb = saver_pixels(saver);
        EXPECT_EQ(pixel(fb, 1, 1), SPRITE);
        EXPECT_EQ(pixel(fb, 5, 5), OTHER);
        EXPECT_EQ(pixel(fb, 11, 11), OTHER);
        hl::inject_key(prog.window());
    };
    EXPECT_EQ(prog.run("/s"), 0);
}

TEST(Compose, KeyColourShowsTheBackgroundUnlessOpaque) {
    pack::Image frame = solid(4, 4, SPRITE);
    frame.set(0, 0, 0x00, 0xFF, 0x00);  // the key colour of mask mode 0
    pack::Package p = base_package();
    p.layers[0] = still_sprite(frame, 10, 10, 0);
    p.layers[1] = still_sprite(frame, 30, 10, 3);
    Program prog = white_program(p);
    prog.onTick = [&](int t) {
        sg::SaverState& saver = *prog.saver;
        if (t != 1) return;
        const auto& fb = saver_pixels(saver);
        EXPECT_EQ(pixel(fb, 10, 10), WHITE);
        EXPECT_EQ(pixel(fb, 11, 10), SPRITE);
        EXPECT_EQ(pixel(fb, 30, 10), (Bgr{0x00, 0xFF, 0x00}));
        EXPECT_EQ(pixel(fb, 31, 10), SPRITE);
        hl::inject_key(prog.window());
    };
    EXPECT_EQ(prog.run("/s"), 0);
}

TEST(Compose, ASpriteThatStartsWaitingVanishesWithoutATrace) {
    pack::Package p = base_package();
    p.layers[0] = moving_sprite(solid(6, 6, SPRITE), 100, 50, 1);
    Program prog = white_program(p);
    bool visibleBefore = false;
    bool goneAfter = false;
    prog.onTick = [&](int t) {
        sg::SaverState& saver = *prog.saver;
        sg::LayerRecord& layer = saver.world.layerTable[0];
        if (t == 2) {
            visibleBefore = pixel(saver_pixels(saver), 102, 50) == SPRITE;
            // Its wait begins now: the next tick neither draws nor moves it.
            layer.waitAfterExit = 1;
            layer.exitWaits[0] = 10;
        }
        if (t == 3) {
            EXPECT_EQ(saver.frame.restoreCount, 0);
            EXPECT_EQ(saver.frame.previousPresentCount, 0);
            EXPECT_EQ(layer.x[0], 104) << "a waiting sprite does not move";
            goneAfter = true;
            for (int y = 48; y < 58; ++y)
                for (int x = 98; x < 112; ++x)
                    goneAfter = goneAfter && pixel(saver_pixels(saver), x, y) == WHITE;
            EXPECT_TRUE(window_equals_work_surface(saver));
        }
        if (t == 4) {
            // Still hidden: the window keeps the clean background.
            EXPECT_EQ(pixel(saver_pixels(saver), 104, 50), WHITE);
            hl::inject_key(prog.window());
        }
    };
    EXPECT_EQ(prog.run("/s"), 0);
    EXPECT_TRUE(visibleBefore);
    EXPECT_TRUE(goneAfter);
}

TEST(Compose, SpritesOffTheEdgesAreClipped) {
    pack::Package p = base_package();
    p.layers[0] = moving_sprite(solid(8, 8, SPRITE), -3, 476, 0);  // bottom left corner
    p.layers[1] = still_sprite(solid(8, 8, OTHER), 636, -5);       // top right corner
    Program prog = white_program(p);
    prog.onTick = [&](int t) {
        sg::SaverState& saver = *prog.saver;
        const auto& fb = saver_pixels(saver);
        if (t == 1) {
            EXPECT_TRUE(same(saver.frame.previousPresentList[0], -3, 476, 8, 8));
            EXPECT_TRUE(same(saver.frame.previousPresentList[1], 636, -5, 8, 8));
            EXPECT_EQ(pixel(fb, 0, 476), SPRITE);
            EXPECT_EQ(pixel(fb, 4, 479), SPRITE);
            EXPECT_EQ(pixel(fb, 5, 476), WHITE);
            EXPECT_EQ(pixel(fb, 0, 475), WHITE);
            EXPECT_EQ(pixel(fb, 636, 0), OTHER);
            EXPECT_EQ(pixel(fb, 639, 2), OTHER);
            EXPECT_EQ(pixel(fb, 639, 3), WHITE);
            EXPECT_EQ(pixel(fb, 635, 0), WHITE);
        }
        if (t == 2) {
            EXPECT_EQ(pixel(fb, 5, 476), SPRITE);
            EXPECT_TRUE(window_equals_work_surface(saver));
            hl::inject_key(prog.window());
        }
    };
    EXPECT_EQ(prog.run("/s"), 0);
}

TEST(Compose, PreviewStretchesTheWholePictureEveryTick) {
    pack::Package p = base_package();
    p.layers[0] = moving_sprite(solid(4, 4, SPRITE), 10, 10, 0);
    Program prog = white_program(p);
    pf::HWND pane = nullptr;
    prog.beforeStart = [&] { pane = hl::create_foreign_window("pane", 0, 0, 640, 480); };
    prog.run("/a");
    int checked = 0;
    prog.onTick = [&](int t) {
        sg::SaverState& saver = *prog.saver;
        if (t == 0) return;
        const auto& fb = saver_pixels(saver);
        ASSERT_EQ(fb.width, 640);
        ASSERT_EQ(fb.height, 480);
        const int x = 2 * (10 + t - 1);  // logical 320 x 240 doubled
        EXPECT_EQ(pixel(fb, x, 20), SPRITE) << t;
        EXPECT_EQ(pixel(fb, x + 7, 27), SPRITE) << t;
        EXPECT_EQ(pixel(fb, x + 8, 20), WHITE) << t;
        EXPECT_EQ(pixel(fb, x - 1, 20), WHITE) << t;
        EXPECT_EQ(pixel(fb, 639, 479), WHITE);
        EXPECT_EQ(saver.frame.presentCount, 0);
        EXPECT_EQ(saver.frame.previousPresentCount, 0) << "the preview keeps no previous list";
        EXPECT_EQ(saver.frame.restoreCount, 1);
        if (++checked == 3) pf::DestroyWindow(pane);
    };
    EXPECT_EQ(prog.run("/p " + decimal(pane)), 0);
    EXPECT_EQ(checked, 3);
}

// The frame alone, from a world built by hand: it draws exactly the draw
// list (keyed or opaque), lists every entry's rectangle even when the entry
// has no bitmap yet, and on the next pass restores those rectangles from the
// background. The window here is the desktop (GetDC of no window).
TEST(Compose, DrawsTheDrawListAndRestoresItNextPass) {
    hl::reset();
    hl::set_screen_size(32, 16);
    const auto frame = std::make_unique<sg::Frame>();
    const auto world = std::make_unique<sg::World>();
    for (sg::Surface* s : {&frame->backgroundSurface, &frame->workSurface}) {
        ASSERT_EQ(sg::surface_create(s, 32, 16, 24), 1);
        pf::BitBlt(s->memoryDC, 0, 0, 32, 16, nullptr, 0, 0, pf::WHITENESS);
    }
    pack::Image image = solid(4, 4, SPRITE);
    image.set(0, 0, 0x00, 0xFF, 0x00);  // the key of mask mode 0
    const pack::Bytes bmp = pack::bmp24(image);
    sg::Surface picture{}, mask{}, cutout{}, none{};
    sg::surface_reset(&picture);  // as the loader's callers do: release then frees it
    ASSERT_EQ(sg::surface_load_bmp(&picture, bmp.data(), int(bmp.size())), 1);
    sg::mask_build(&mask, 0, &picture);
    sg::cutout_build(&cutout, 0, &picture);
    world->drawList[0] = sg::SpriteDraw{0, 0, 2, 3, 4, 4, 0, &picture, &mask, &cutout};
    world->drawList[1] = sg::SpriteDraw{1, 0, 20, 5, 4, 4, 3, &picture, &mask, &cutout};
    world->drawList[2] = sg::SpriteDraw{2, 0, 10, 10, 4, 4, 0, &none, &none, &none};
    world->drawList[3] = sg::SpriteDraw{3, 0, 0, 0, 4, 4, 3, &picture, &mask, &cutout};  // past the count
    world->drawCount = 3;
    const sg::PresentGeometry geometry{32, 16, 0, 0};

    sg::frame_compose(*frame, *world, nullptr, geometry);
    const sg::Surface& work = frame->workSurface;
    EXPECT_EQ(pixel(work, 2, 3), WHITE) << "keyed";
    EXPECT_EQ(pixel(work, 3, 3), SPRITE);
    EXPECT_EQ(pixel(work, 5, 6), SPRITE);
    EXPECT_EQ(pixel(work, 20, 5), (Bgr{0x00, 0xFF, 0x00})) << "opaque";
    EXPECT_EQ(pixel(work, 23, 8), SPRITE);
    EXPECT_EQ(pixel(work, 10, 10), WHITE) << "no bitmap, nothing drawn";
    EXPECT_EQ(pixel(work, 1, 1), WHITE) << "only drawCount entries are drawn";
    ASSERT_EQ(frame->restoreCount, 3);
    EXPECT_TRUE(same(frame->restoreList[0], 2, 3, 4, 4));
    EXPECT_TRUE(same(frame->restoreList[1], 20, 5, 4, 4));
    EXPECT_TRUE(same(frame->restoreList[2], 10, 10, 4, 4));
    EXPECT_EQ(frame->previousPresentCount, 3);
    const pf::soft::Framebuffer& shown = *hl::desktop_pixels();
    EXPECT_EQ(pixel(shown, 3, 3), SPRITE) << "the first present shows the whole picture";
    EXPECT_EQ(pixel(shown, 31, 15), WHITE);

    world->drawCount = 0;
    sg::frame_compose(*frame, *world, nullptr, geometry);
    EXPECT_EQ(pixel(work, 3, 3), WHITE);
    EXPECT_EQ(pixel(work, 23, 8), WHITE);
    EXPECT_EQ(frame->restoreCount, 0);
    EXPECT_EQ(frame->previousPresentCount, 0);
    EXPECT_EQ(pixel(shown, 3, 3), WHITE) << "last pass's rectangles are presented again";
    EXPECT_EQ(pixel(shown, 21, 6), WHITE);

    for (sg::Surface* s : {&picture, &mask, &cutout, &frame->backgroundSurface, &frame->workSurface})
        sg::surface_release(s);
}

TEST(Compose, ListsDropWhatDoesNotFit) {
    const auto frame = std::make_unique<sg::Frame>();
    for (int i = 0; i < sg::DIRTY_CAPACITY + 20; ++i) {
        sg::restore_list_add(*frame, i, 1, 2, 3);
        sg::present_list_add(*frame, i, 4, 5, 6);
    }
    EXPECT_EQ(frame->restoreCount, sg::DIRTY_CAPACITY);
    EXPECT_EQ(frame->presentCount, sg::DIRTY_CAPACITY);
    EXPECT_TRUE(same(frame->restoreList[sg::DIRTY_CAPACITY - 1], sg::DIRTY_CAPACITY - 1, 1, 2, 3));
    EXPECT_TRUE(same(frame->presentList[sg::DIRTY_CAPACITY - 1], sg::DIRTY_CAPACITY - 1, 4, 5, 6));
    EXPECT_EQ(frame->previousPresentCount, 0);
    EXPECT_TRUE(same(frame->previousPresentList[0], 0, 0, 0, 0));

    sg::restore_list_clear(*frame);
    EXPECT_EQ(frame->restoreCount, 0);
    EXPECT_TRUE(same(frame->restoreList[7], 0, 0, 0, 0));
    EXPECT_EQ(frame->presentCount, sg::DIRTY_CAPACITY) << "the other list is left alone";
    sg::present_list_clear(*frame);
    EXPECT_EQ(frame->presentCount, 0);
    EXPECT_TRUE(same(frame->presentList[0], 0, 0, 0, 0));
}

// A count that is out of range (a stray write, a corrupt value) must never
// walk a list past its end: restoring and presenting take at most the
// capacity, and nothing at all for a negative count.
TEST(Compose, StrayCountsStayInsideTheLists) {
    hl::reset();
    const auto frame = std::make_unique<sg::Frame>();
    ASSERT_EQ(sg::surface_create(&frame->workSurface, 8, 8, 24), 1);
    ASSERT_EQ(sg::surface_create(&frame->backgroundSurface, 8, 8, 24), 1);
    const sg::PresentGeometry geometry{8, 8, 0, 0};
    for (const std::int32_t count : {sg::DIRTY_CAPACITY + 1, 0x7FFFFFFF, -1, -0x7FFFFFFF}) {
        frame->restoreCount = count;
        frame->presentCount = count;
        frame->previousPresentCount = count;
        sg::background_restore(*frame, &frame->workSurface, &frame->backgroundSurface);
        sg::frame_present(*frame, nullptr, geometry);
        EXPECT_GE(frame->previousPresentCount, 0) << count;
        EXPECT_LE(frame->previousPresentCount, sg::DIRTY_CAPACITY) << count;
        EXPECT_EQ(frame->presentCount, 0) << count;
    }
    sg::surface_release(&frame->workSurface);
    sg::surface_release(&frame->backgroundSurface);
}

}  // namespace
