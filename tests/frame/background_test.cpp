// The five background modes, drawn at window creation into both full-screen
// surfaces: tiles and their counts, centring with truncating division,
// stretching, the desktop snapshot, refused pictures and unknown modes.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>

#include "frame/background.h"
#include "platform/headless/scripting.h"
#include "tests/support/shell_support.h"

namespace {

using namespace shell_test;
namespace hl = pf::headless;

// "未対応のファイル形式です。"
const std::string UNSUPPORTED_FILE =
    "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x8c\x60\x8e\xae\x82\xc5"
    "\x82\xb7\x81\x42";

using Check = std::function<void(const sg::SaverState&)>;

// Runs the saver for one tick and lets `check` look at its surfaces.
void with_background(const pack::Package& p, int width, int height, const Check& check,
                     bool preview = false) {
    Program prog;
    prog.package = pack::package_bytes(p);
    prog.width = width;
    prog.height = height;
    pf::HWND pane = nullptr;
    if (preview) {
        prog.beforeStart = [&] { pane = hl::create_foreign_window("pane", 0, 0, 100, 80); };
        prog.run("/a");
    }
    bool ran = false;
    prog.onTick = [&](int t) {
        if (t != 1) return;
        ran = true;
        check(*prog.saver);
        if (preview)
            pf::DestroyWindow(pane);
        else
            hl::inject_key(prog.window());
    };
    EXPECT_EQ(prog.run(preview ? "/p " + decimal(pane) : std::string("/s")), 0);
    EXPECT_TRUE(ran);
}

pack::Package scene(int mode) {
    pack::Package p = base_package();
    p.scene.backgroundMode = mode;
    return p;
}

// Both surfaces hold the same picture, drawn twice.
void expect_both(const sg::SaverState& saver, int x, int y, Bgr c) {
    EXPECT_EQ(pixel(saver.frame.backgroundSurface, x, y), c) << x << "," << y;
    EXPECT_EQ(pixel(saver.frame.workSurface, x, y), c) << x << "," << y;
}

Bgr coordinate(int x, int y) {
    return {std::uint8_t(x), std::uint8_t(y), 0x5A};
}

TEST(Background, BlackAndWhiteFillTheScreen) {
    with_background(scene(1), 200, 100, [](const sg::SaverState& saver) {
        EXPECT_EQ(sg::surface_width(&saver.frame.backgroundSurface), 200);
        EXPECT_EQ(sg::surface_height(&saver.frame.workSurface), 100);
        expect_both(saver, 0, 0, WHITE);
        expect_both(saver, 199, 99, WHITE);
        EXPECT_EQ(pixel(saver_pixels(saver), 150, 50), WHITE);
    });
    with_background(scene(0), 200, 100, [](const sg::SaverState& saver) {
        expect_both(saver, 0, 0, BLACK);
        expect_both(saver, 199, 99, BLACK);
    });
}

TEST(Background, TileGrid) {
    int columns = -1;
    int rows = -1;
    sg::background_tile_grid(640, 480, 640, 480, &columns, &rows);
    EXPECT_EQ(columns, 2);
    EXPECT_EQ(rows, 2);
    sg::background_tile_grid(600, 800, 64, 64, &columns, &rows);
    EXPECT_EQ(columns, 10);
    EXPECT_EQ(rows, 13);
    sg::background_tile_grid(640, 480, 700, 500, &columns, &rows);
    EXPECT_EQ(columns, 1);
    EXPECT_EQ(rows, 1);
    for (const auto& [tw, th] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-4, 10}}) {
        sg::background_tile_grid(640, 480, tw, th, &columns, &rows);
        EXPECT_EQ(columns, 0);
        EXPECT_EQ(rows, 0);
    }
}

TEST(Background, TilesRepeatFromTheTopLeft) {
    pack::Package p = scene(3);
    p.scene.tile = pack::bmp24(coordinates(64, 64));
    with_background(p, 600, 800, [](const sg::SaverState& saver) {
        for (const auto& [x, y] : {std::pair{0, 0}, std::pair{63, 63}, std::pair{64, 0},
                                   std::pair{130, 200}, std::pair{599, 799}, std::pair{576, 768}})
            expect_both(saver, x, y, coordinate(x % 64, y % 64));
        EXPECT_EQ(pixel(saver_pixels(saver), 599, 799), coordinate(599 % 64, 799 % 64));
    });
}

TEST(Background, TileLargerThanTheScreenIsCropped) {
    pack::Package p = scene(3);
    p.scene.tile = pack::bmp24(coordinates(250, 120));
    with_background(p, 200, 100, [](const sg::SaverState& saver) {
        expect_both(saver, 0, 0, coordinate(0, 0));
        expect_both(saver, 199, 99, coordinate(199, 99));
    });
}

TEST(Background, CentredPictureTruncatesTowardZero) {
    struct Case {
        int pictureWidth;
        int firstColumn;  // picture column at screen x 0
    };
    for (const Case c : {Case{641, 0}, Case{643, 1}, Case{640, 0}}) {
        pack::Package p = scene(4);
        p.scene.pictureFit = 0;
        p.scene.picture = pack::bmp24(coordinates(c.pictureWidth, 480));
        with_background(p, 640, 480, [&](const sg::SaverState& saver) {
            expect_both(saver, 0, 0, coordinate(c.firstColumn, 0));
            expect_both(saver, 639, 479, coordinate(c.firstColumn + 639, 479));
        });
    }
    // A small picture sits in the middle of black.
    pack::Package p = scene(4);
    p.scene.pictureFit = 0;
    p.scene.picture = pack::bmp24(coordinates(100, 51));
    with_background(p, 640, 480, [](const sg::SaverState& saver) {
        expect_both(saver, 270, 214, coordinate(0, 0));  // (640-100)/2, (480-51)/2 = 214
        expect_both(saver, 369, 264, coordinate(99, 50));
        expect_both(saver, 269, 214, BLACK);
        expect_both(saver, 270, 213, BLACK);
        expect_both(saver, 370, 264, BLACK);
        expect_both(saver, 0, 0, BLACK);
    });
}

TEST(Background, StretchedPictureCoversTheScreen) {
    pack::Image quad = solid(2, 2, {1, 2, 3});
    quad.set(1, 0, 10, 20, 30);
    quad.set(0, 1, 40, 50, 60);
    quad.set(1, 1, 70, 80, 90);
    pack::Package p = scene(4);
    p.scene.pictureFit = 1;
    p.scene.picture = pack::bmp24(quad);
    with_background(p, 300, 200, [](const sg::SaverState& saver) {
        expect_both(saver, 0, 0, (Bgr{1, 2, 3}));
        expect_both(saver, 299, 0, (Bgr{10, 20, 30}));
        expect_both(saver, 0, 199, (Bgr{40, 50, 60}));
        expect_both(saver, 299, 199, (Bgr{70, 80, 90}));
    });
}

TEST(Background, PictureFitOutsideTheTableStaysBlack) {
    pack::Package p = scene(4);
    p.scene.pictureFit = 2;
    p.scene.picture = pack::bmp24(solid(10, 10, WHITE));
    with_background(p, 100, 100, [](const sg::SaverState& saver) {
        expect_both(saver, 0, 0, BLACK);
        expect_both(saver, 50, 50, BLACK);
    });
    EXPECT_TRUE(hl::message_boxes().empty());
}

TEST(Background, RefusedPictureLeavesBlackWithTheLoadersMessage) {
    pack::Bytes bad = pack::bmp24(solid(10, 10, WHITE));
    bad[1] = 'A';  // "BA"
    pack::Package p = scene(4);
    p.scene.picture = bad;
    with_background(p, 100, 100, [](const sg::SaverState& saver) { expect_both(saver, 5, 5, BLACK); });
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].text, UNSUPPORTED_FILE);
    EXPECT_EQ(hl::message_boxes()[0].caption, "Error");

    pack::Package t = scene(3);
    t.scene.tile = bad;
    with_background(t, 100, 100, [](const sg::SaverState& saver) { expect_both(saver, 5, 5, BLACK); });
    EXPECT_EQ(hl::message_boxes().size(), 1u);
}

TEST(Background, PictureOutsideThePackageIsRefusedNotRead) {
    for (const std::int32_t offset : {0x7FFFFFF0, -400, 340}) {
        pack::Package p = scene(4);
        p.scene.leftoverPictureOffset = offset;
        p.scene.leftoverPictureSize = 0x100000;  // far more than the package holds
        with_background(p, 100, 100, [](const sg::SaverState& saver) { expect_both(saver, 5, 5, BLACK); });
        ASSERT_EQ(hl::message_boxes().size(), 1u) << offset;
        EXPECT_EQ(hl::message_boxes()[0].caption, "Error");
    }
    // A picture that starts inside but runs past the end: only what exists is read.
    pack::Package p = scene(4);
    p.scene.pictureFit = 0;
    p.scene.picture = pack::bmp24(coordinates(40, 40));
    pack::Bytes bytes = pack::package_bytes(p);
    const std::int32_t sceneAt = pack::get32(bytes, 0);
    pack::put32(bytes, std::size_t(sceneAt) + offsetof(sg::SceneHeader, pictureSize), 0x7FFFFFFF);
    Program prog;
    prog.package = bytes;
    bool drawn = false;
    prog.onTick = [&](int t) {
        if (t != 1) return;
        // The picture's own header says how much of it there is: it is drawn.
        const sg::SaverState& saver = *prog.saver;
        expect_both(saver, 300, 220, coordinate(0, 0));  // (640 - 40) / 2, (480 - 40) / 2
        expect_both(saver, 339, 259, coordinate(39, 39));
        expect_both(saver, 299, 220, BLACK);
        drawn = true;
        hl::inject_key(prog.window());
    };
    EXPECT_EQ(prog.run("/s"), 0);
    EXPECT_TRUE(drawn);
    EXPECT_TRUE(hl::message_boxes().empty());
}

TEST(Background, DesktopIsCopiedUnscaled) {
    const auto paint_desktop = [] {
        pf::soft::Framebuffer* desk = hl::desktop_pixels();
        ASSERT_NE(desk, nullptr);
        for (int y = 0; y < desk->height; ++y)
            for (int x = 0; x < desk->width; ++x) {
                std::uint8_t* q =
                    &desk->pixels[std::size_t(desk->height - 1 - y) * desk->stride + x * 3];
                q[0] = std::uint8_t(x);
                q[1] = std::uint8_t(y);
                q[2] = 0x5A;
            }
    };
    for (const bool preview : {false, true}) {
        Program prog;
        prog.package = pack::package_bytes(scene(2));
        prog.width = 640;
        prog.height = 480;
        pf::HWND pane = nullptr;
        prog.beforeStart = [&] {
            paint_desktop();
            pane = hl::create_foreign_window("pane", 0, 0, 100, 80);
        };
        prog.run("/a");
        prog.onTick = [&](int t) {
            if (t != 1) return;
            const sg::SaverState& saver = *prog.saver;
            const int w = preview ? 320 : 640;
            const int h = preview ? 240 : 480;
            EXPECT_EQ(sg::surface_width(&saver.frame.backgroundSurface), w);
            expect_both(saver, 0, 0, coordinate(0, 0));
            expect_both(saver, w - 1, h - 1, coordinate(w - 1, h - 1));
            expect_both(saver, 200, 100, coordinate(200, 100));
            if (preview)
                pf::DestroyWindow(pane);
            else
                hl::inject_key(prog.window());
        };
        EXPECT_EQ(prog.run(preview ? "/p " + decimal(pane) : std::string("/s")), 0);
    }
}

TEST(Background, PreviewCentresOrStretchesAtTheLogicalSize) {
    pack::Package centred = scene(4);
    centred.scene.pictureFit = 0;
    centred.scene.picture = pack::bmp24(coordinates(640, 480));
    with_background(
        centred, 1024, 768,
        [](const sg::SaverState& saver) {
            EXPECT_EQ(sg::surface_width(&saver.frame.workSurface), 320);
            EXPECT_EQ(sg::surface_height(&saver.frame.workSurface), 240);
            expect_both(saver, 0, 0, coordinate(160, 120));  // the middle 320 x 240
            expect_both(saver, 319, 239, coordinate(479, 359));
        },
        true);

    pack::Image quad = solid(640, 480, {1, 2, 3});
    quad.set(639, 479, 70, 80, 90);
    for (int y = 240; y < 480; ++y)
        for (int x = 320; x < 640; ++x) quad.set(x, y, 70, 80, 90);
    pack::Package stretched = scene(4);
    stretched.scene.pictureFit = 1;
    stretched.scene.picture = pack::bmp24(quad);
    with_background(
        stretched, 1024, 768,
        [](const sg::SaverState& saver) {
            expect_both(saver, 0, 0, (Bgr{1, 2, 3}));
            expect_both(saver, 319, 239, (Bgr{70, 80, 90}));
        },
        true);
}

TEST(Background, UnknownModeLeavesTheSurfacesAsCreated) {
    for (const int mode : {5, -1, 1000}) {
        pack::Package p = scene(mode);
        with_background(p, 64, 48, [](const sg::SaverState& saver) {
            expect_both(saver, 0, 0, BLACK);
            expect_both(saver, 63, 47, BLACK);
        });
        EXPECT_TRUE(hl::message_boxes().empty());
    }
}

}  // namespace
