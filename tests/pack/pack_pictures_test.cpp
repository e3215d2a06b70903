// The pictures authors bring: animated GIFs as a layer's frames, JPEGs,
// 32-bit BMPs, pictures of many colours made 8-bit, and files that are no
// picture at all, each refused with what it looks like.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/pack_files.h"
#include "tools/core/decoders.h"
#include "tools/packlib/packlib.h"

using namespace packfiles;
using sg::packtool::Failure;

namespace {

using Bgr = std::array<std::uint8_t, 3>;

sg::pack::Image frame_image(const sg::pack::Package& p, int layer, int frame) {
    const auto& bmp = p.layers[static_cast<std::size_t>(layer)].set->frames[static_cast<std::size_t>(frame)].bmp;
    return *sg::pack::bmp_image(bmp.data(), bmp.size());
}

const GifColorType RED{255, 0, 0}, BLUE{0, 0, 255}, GREEN{0, 255, 0}, WHITE{255, 255, 255};

// Four frames that exercise every disposal: a red field with one transparent
// corner; a blue square cleared afterwards; a green dot undone afterwards; a
// last green dot with no delay.
Bytes walk_gif() {
    std::vector<std::uint8_t> field(16, 0);
    field[15] = 3;
    return gif(4, 4, {RED, BLUE, GREEN, WHITE},
               {{0, 0, 4, 4, field, 10, DISPOSE_DO_NOT, 3},
                {1, 1, 2, 2, {1, 1, 1, 1}, 20, DISPOSE_BACKGROUND, NO_TRANSPARENT_COLOR},
                {0, 0, 1, 1, {2}, 30, DISPOSE_PREVIOUS, NO_TRANSPARENT_COLOR},
                {3, 0, 1, 1, {2}, 0, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR}});
}

std::array<std::uint8_t, 4> at(const sg::packtool::RgbaImage& image, int x, int y) {
    const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

}  // namespace

class PackPictures : public SceneDir {};

TEST(PackGif, FramesAreCompositedByTheDisposalOfTheFrameBefore) {
    auto frames = sg::packtool::gif_decode(walk_gif(), "walk.gif", 20);
    ASSERT_EQ(frames.size(), 4u);
    using A = std::array<std::uint8_t, 4>;
    const A red{255, 0, 0, 255}, blue{0, 0, 255, 255}, green{0, 255, 0, 255};
    EXPECT_EQ(at(frames[0].image, 1, 1), red);
    EXPECT_EQ(at(frames[0].image, 3, 3)[3], 0);  // the transparent index shows nothing
    EXPECT_EQ(at(frames[1].image, 1, 1), blue);
    EXPECT_EQ(at(frames[1].image, 0, 0), red);
    // The blue square was cleared to transparent, then a green dot drawn.
    EXPECT_EQ(at(frames[2].image, 1, 1)[3], 0);
    EXPECT_EQ(at(frames[2].image, 0, 0), green);
    // The green dot was undone (restore to previous); the next dot stays.
    EXPECT_EQ(at(frames[3].image, 0, 0), red);
    EXPECT_EQ(at(frames[3].image, 3, 0), green);
    EXPECT_EQ(at(frames[3].image, 1, 1)[3], 0);
    EXPECT_EQ(frames[1].delayMs, 200);
}

TEST(PackGif, DelaysBecomeTicksOfThirtyThreeMilliseconds) {
    EXPECT_EQ(sg::packtool::ticks_of_ms(100), 3);
    EXPECT_EQ(sg::packtool::ticks_of_ms(200), 6);
    EXPECT_EQ(sg::packtool::ticks_of_ms(300), 9);
    EXPECT_EQ(sg::packtool::ticks_of_ms(49), 1);
    EXPECT_EQ(sg::packtool::ticks_of_ms(50), 2);  // 1.52 ticks
    EXPECT_EQ(sg::packtool::ticks_of_ms(0), 1);   // never a frame that is not shown
}

TEST_F(PackPictures, AnAnimatedGifIsALayersFramesWithItsDelaysAndTransparency) {
    write("walk.gif", walk_gif());
    auto built = build("title = \"t\"\n[[layer]]\nframes = \"walk.gif\"\n");
    const auto& set = *built.package.layers[0].set;
    ASSERT_EQ(set.frames.size(), 4u);
    EXPECT_EQ(set.frames[0].duration, 3);
    EXPECT_EQ(set.frames[1].duration, 6);
    EXPECT_EQ(set.frames[2].duration, 9);
    EXPECT_EQ(set.frames[3].duration, 1);
    // Black is in no frame, so it keys the transparent pixels.
    EXPECT_EQ(set.maskMode, 1);
    EXPECT_EQ(frame_image(built.package, 0, 0).at(3, 3), (Bgr{0, 0, 0}));
    EXPECT_EQ(frame_image(built.package, 0, 2).at(1, 1), (Bgr{0, 0, 0}));
    EXPECT_EQ(frame_image(built.package, 0, 2).at(0, 0), (Bgr{0, 255, 0}));
    EXPECT_EQ(frame_image(built.package, 0, 1).at(1, 1), (Bgr{255, 0, 0}));

    // duration_ms on listed frames rounds the same way.
    write("a.png", png_rgba(2, 2, fill(4, {9, 9, 9, 255})));
    built = build("title = \"t\"\n[[layer]]\nframes = [{ file = \"a.png\", duration_ms = 100 }, "
                  "{ file = \"a.png\", duration_ms = 10 }, { file = \"a.png\", duration = 4 }]\n");
    EXPECT_EQ(built.package.layers[0].set->frames[0].duration, 3);
    EXPECT_EQ(built.package.layers[0].set->frames[1].duration, 1);
    EXPECT_EQ(built.package.layers[0].set->frames[2].duration, 4);
}

TEST_F(PackPictures, GifRefusals) {
    write("a.png", png_rgba(2, 2, fill(4, {9, 9, 9, 255})));
    EXPECT_NE(error_of("title = \"t\"\n[[layer]]\nframes = [{ file = \"a.png\", duration = 2, duration_ms = 100 }]\n")
                  .find("scene.toml:3: layer[0].frames[0].duration_ms: give duration (ticks) or duration_ms, not both"),
              std::string::npos);
    // A string that names no GIF.
    EXPECT_NE(error_of("title = \"t\"\n[[layer]]\nframes = \"a.png\"\n")
                  .find("scene.toml:3: layer[0].frames: a.png looks like a PNG picture; frames as one path names an animated GIF"),
              std::string::npos);
    // More frames than a set holds.
    std::vector<GifPart> many(21, GifPart{0, 0, 1, 1, {0}, 10, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR});
    write("many.gif", gif(1, 1, {RED, BLUE}, many));
    EXPECT_NE(error_of("title = \"t\"\n[[layer]]\nframes = \"many.gif\"\n").find("many.gif holds 21 frames; a layer shows at most 20"),
              std::string::npos);
    // Cut short inside its pixels.
    Bytes cut = walk_gif();
    cut.resize(cut.size() / 2);
    write("cut.gif", cut);
    EXPECT_NE(error_of("title = \"t\"\n[[layer]]\nframes = \"cut.gif\"\n").find("cut.gif: damaged GIF"), std::string::npos);
    // A screen too large to hold.
    Bytes huge = gif(1, 1, {RED, BLUE}, {{0, 0, 1, 1, {0}, 10, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR}});
    huge[6] = 0xff, huge[7] = 0x7f;  // 32767 pixels across
    write("huge.gif", huge);
    EXPECT_NE(error_of("title = \"t\"\n[[layer]]\nframes = \"huge.gif\"\n").find("outside 1..8192"), std::string::npos);
}

TEST_F(PackPictures, JpegPicturesTilesAndFrames) {
    const Rgba colour{200, 100, 50, 255};
    write("photo.jpg", jpeg_rgb(16, 8, fill(128, colour)));
    auto near = [&](const Bgr& got) {
        return std::abs(got[2] - colour.r) <= 3 && std::abs(got[1] - colour.g) <= 3 && std::abs(got[0] - colour.b) <= 3;
    };
    auto built = build("title = \"t\"\nbackground = \"picture\"\npicture = \"photo.jpg\"\n");
    auto picture = sg::pack::bmp_image(built.package.scene.picture.data(), built.package.scene.picture.size());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 16);
    EXPECT_EQ(picture->height, 8);
    EXPECT_TRUE(near(picture->at(5, 5)));
    built = build("title = \"t\"\nbackground = \"tiled\"\ntile = \"photo.jpg\"\n[[layer]]\nframes = [\"photo.jpg\"]\n");
    EXPECT_TRUE(near(sg::pack::bmp_image(built.package.scene.tile.data(), built.package.scene.tile.size())->at(0, 0)));
    EXPECT_TRUE(near(frame_image(built.package, 0, 0).at(15, 7)));

    // CMYK with the Adobe marker stores ink inverted (255: none): no cyan,
    // full magenta and yellow, no black is red.
    write("print.jpg", jpeg_rgb(8, 8, fill(64, {255, 0, 0, 255}), 100, true));
    built = build("title = \"t\"\nbackground = \"picture\"\npicture = \"print.jpg\"\n");
    const Bgr red = sg::pack::bmp_image(built.package.scene.picture.data(), built.package.scene.picture.size())->at(3, 3);
    EXPECT_GE(red[2], 250);
    EXPECT_LE(red[1], 5);
    EXPECT_LE(red[0], 5);

    Bytes cut = jpeg_rgb(64, 64, fill(64 * 64, colour), 90);
    cut.resize(cut.size() / 2);
    write("cut.jpg", cut);
    EXPECT_NE(error_of("title = \"t\"\nbackground = \"picture\"\npicture = \"cut.jpg\"\n")
                  .find("scene.toml:3: picture: cut.jpg: damaged JPEG"),
              std::string::npos);
}

TEST_F(PackPictures, ThirtyTwoBitBmpsConvertLikePngs) {
    std::vector<Rgba> px = {{0, 0, 0, 0}, {10, 20, 30, 255}, {40, 50, 60, 255}, {70, 80, 90, 255}};
    // BI_RGB with alpha: the transparent pixel becomes the key colour.
    write("alpha.bmp", bmp32(2, 2, px));
    auto built = build("title = \"t\"\n[[layer]]\nframes = [\"alpha.bmp\"]\n");
    EXPECT_EQ(built.package.layers[0].set->maskMode, 1);
    auto image = frame_image(built.package, 0, 0);
    EXPECT_EQ(image.at(0, 0), (Bgr{0, 0, 0}));
    EXPECT_EQ(image.at(1, 0), (Bgr{30, 20, 10}));
    EXPECT_EQ(image.at(1, 1), (Bgr{90, 80, 70}));

    // BI_RGB whose alpha bytes are all 0 kept no alpha: an opaque picture.
    std::vector<Rgba> flat = px;
    for (Rgba& p : flat) p.a = 0;
    flat[0] = {1, 2, 3, 0};
    write("flat.bmp", bmp32(2, 2, flat));
    built = build("title = \"t\"\n[[layer]]\nframes = [\"flat.bmp\"]\n");
    EXPECT_EQ(built.package.layers[0].set->maskMode, 0);
    EXPECT_EQ(frame_image(built.package, 0, 0).at(0, 0), (Bgr{3, 2, 1}));
    EXPECT_TRUE(built.notes.empty());

    // BI_BITFIELDS with a 124-byte header and the channels in another order.
    write("fields.bmp", bmp32(2, 2, px, 3, {0x000000ffu, 0x0000ff00u, 0x00ff0000u, 0xff000000u}));
    built = build("title = \"t\"\nbackground = \"tiled\"\ntile = \"fields.bmp\"\n[[layer]]\nframes = [\"fields.bmp\"]\n");
    image = frame_image(built.package, 0, 0);
    EXPECT_EQ(image.at(1, 0), (Bgr{30, 20, 10}));
    EXPECT_EQ(image.at(0, 1), (Bgr{60, 50, 40}));
    auto tile = sg::pack::bmp_image(built.package.scene.tile.data(), built.package.scene.tile.size());
    EXPECT_EQ(sg::pack::bmp_header(built.package.scene.tile.data(), built.package.scene.tile.size()).bitCount, 24);
    EXPECT_EQ(tile->at(0, 0), (Bgr{0, 0, 0}));  // transparent on a background: black
    EXPECT_EQ(tile->at(1, 1), (Bgr{90, 80, 70}));

    // Five-bit channels scale to the full range.
    write("565.bmp", bmp32(1, 1, {{31, 63, 31, 255}}, 3, {0xf800u, 0x07e0u, 0x001fu, 0}));
    built = build("title = \"t\"\n[[layer]]\nframes = [\"565.bmp\"]\n");
    EXPECT_EQ(frame_image(built.package, 0, 0).at(0, 0), (Bgr{255, 255, 255}));

    Bytes cut = bmp32(4, 4, fill(16, {1, 2, 3, 255}));
    cut.resize(cut.size() - 8);
    write("cut.bmp", cut);
    EXPECT_NE(error_of("title = \"t\"\n[[layer]]\nframes = [\"cut.bmp\"]\n").find("cut.bmp: 32-bit BMP cut short"), std::string::npos);
    Bytes scattered = bmp32(1, 1, {{1, 2, 3, 255}}, 3, {0x00ff00ffu, 0x0000ff00u, 0u, 0u});
    write("scattered.bmp", scattered);
    EXPECT_NE(error_of("title = \"t\"\n[[layer]]\nframes = [\"scattered.bmp\"]\n").find("scattered bits"), std::string::npos);
}

TEST_F(PackPictures, ManyColoursWithBitsEightAreReducedWithDithering) {
    // A smooth gradient of 4096 colours.
    std::vector<Rgba> px;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) px.push_back({static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4), 128, 255});
    write("sky.png", png_rgba(64, 64, px));
    auto built = build("title = \"t\"\nbackground = \"picture\"\npicture = { file = \"sky.png\", bits = 8 }\n");
    const Bytes& bmp = built.package.scene.picture;
    EXPECT_EQ(sg::pack::bmp_header(bmp.data(), bmp.size()).bitCount, 8);
    ASSERT_EQ(built.notes.size(), 1u);
    EXPECT_NE(built.notes[0].find("picture: sky.png has 4096 colours; reduced to 256 with dithering"), std::string::npos)
        << built.notes[0];
    // Close to the picture everywhere, and on average over 8 x 8 blocks
    // (which dithering keeps and plain rounding to a palette does not).
    auto image = sg::pack::bmp_image(bmp.data(), bmp.size());
    double error = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Bgr got = image->at(x, y);
            error += std::abs(got[2] - x * 4) + std::abs(got[1] - y * 4) + std::abs(got[0] - 128);
        }
    EXPECT_LT(error / (64 * 64 * 3), 4.0);
    for (int by = 0; by < 64; by += 8)
        for (int bx = 0; bx < 64; bx += 8) {
            double red = 0, want = 0;
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x) red += image->at(x, y)[2], want += x * 4;
            EXPECT_NEAR(red / 64, want / 64, 2.0) << bx << "," << by;
        }
}

TEST_F(PackPictures, FilesThatAreNoPictureSayWhatTheyLookLike) {
    write("walk.gif", walk_gif());
    write("photo.webp", std::string("RIFF\x20\0\0\0WEBPVP8 \x10\0\0\0", 20) + std::string(16, 'x'));
    write("notes.txt", "these are my notes\n");
    write("icon.svg", "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n");
    write("empty.png", "");
    const std::string layer = "title = \"t\"\n[[layer]]\nframes = [\"";
    std::string e = error_of(layer + "walk.gif\"]\n");
    EXPECT_NE(e.find("scene.toml:3: layer[0].frames[0]: walk.gif looks like a GIF picture"), std::string::npos) << e;
    EXPECT_NE(e.find("frames = \"walk.gif\""), std::string::npos) << e;
    e = error_of(layer + "photo.webp\"]\n");
    EXPECT_NE(e.find("photo.webp looks like a WebP picture"), std::string::npos) << e;
    e = error_of("title = \"t\"\nbackground = \"picture\"\npicture = \"notes.txt\"\n");
    EXPECT_NE(e.find("scene.toml:3: picture: notes.txt looks like a text file"), std::string::npos) << e;
    EXPECT_NE(e.find("give a PNG, a JPEG, or an uncompressed"), std::string::npos) << e;
    e = error_of("title = \"t\"\nbackground = \"tiled\"\ntile = \"icon.svg\"\n");
    EXPECT_NE(e.find("icon.svg looks like an SVG drawing"), std::string::npos) << e;
    e = error_of(layer + "empty.png\"]\n");
    EXPECT_NE(e.find("empty.png looks like an empty file"), std::string::npos) << e;
    EXPECT_EQ(e.find("does not start with BM"), std::string::npos) << e;
}

// Every picture reader, given its file cut at every length or with bytes
// flipped, either reads a picture or refuses with a message.
TEST(PackDecoders, CutAndDamagedFilesAreRefusedCleanly) {
    std::vector<Rgba> px;
    for (int i = 0; i < 64; ++i) px.push_back({static_cast<std::uint8_t>(i * 4), 7, static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i < 8 ? 0 : 255)});
    const Bytes files[] = {walk_gif(), jpeg_rgb(8, 8, px, 80), bmp32(8, 8, px), bmp32(8, 8, px, 3), png_rgba(8, 8, px)};
    auto attempt = [](const Bytes& bytes) {
        try {
            if (sg::packtool::is_gif(bytes)) {
                sg::packtool::gif_decode(bytes, "f", 20);
            } else {
                auto image = sg::packtool::decode_picture(bytes, "f", "a picture");
                if (image) {
                    EXPECT_EQ(image->rgba.size(), static_cast<std::size_t>(image->width) * image->height * 4);
                }
            }
        } catch (const Failure& e) {
            EXPECT_EQ(std::string(e.what()).rfind("f", 0), 0u) << e.what();
        }
    };
    for (const Bytes& file : files) {
        for (std::size_t n = 0; n < file.size(); ++n) attempt(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)));
        for (std::size_t i = 0; i < file.size(); ++i) {
            Bytes bad = file;
            bad[i] ^= 0xa5;
            attempt(bad);
        }
    }
}
