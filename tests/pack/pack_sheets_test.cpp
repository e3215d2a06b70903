// Pictures as artists bring them: sprite sheets, sprite editors' JSON,
// mirrored frames, every n-th frame of a long animation, and pictures
// resized to cover a size at build. Each form must give the very package
// the same frames prepared by hand give.
#include <gtest/gtest.h>

#include "tests/support/pack_files.h"
#include "tools/core/resize.h"
#include "tools/packlib/packlib.h"

using namespace packfiles;

namespace {

const Rgba R{255, 0, 0, 255}, G{0, 255, 0, 255}, B{0, 0, 255, 255}, W{255, 255, 255, 255}, CLEAR{0, 0, 0, 0};

// Cell n of the test sheet: 3 x 2 pixels, a colour per cell with one white
// pixel that shows which way the cell faces.
std::vector<Rgba> cell(int n) {
    std::vector<Rgba> px(6, n == 0 ? R : n == 1 ? G : B);
    px[0] = W;
    return px;
}

// Cells laid out row by row, `columns` across, the rest of the sheet clear.
Bytes sheet(int columns, int rows, int cells) {
    std::vector<Rgba> px(static_cast<std::size_t>(columns * 3 * rows * 2), CLEAR);
    for (int n = 0; n < cells; ++n)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                px[static_cast<std::size_t>((n / columns * 2 + y) * columns * 3 + n % columns * 3 + x)] =
                    cell(n)[static_cast<std::size_t>(y * 3 + x)];
    return png_rgba(columns * 3, rows * 2, px);
}

std::vector<Rgba> mirrored(std::vector<Rgba> px, int w, int h, bool horizontal) {
    auto out = px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[static_cast<std::size_t>(y * w + x)] =
                px[static_cast<std::size_t>(horizontal ? y * w + (w - 1 - x) : (h - 1 - y) * w + x)];
    return out;
}

const char* HEAD = "title = \"t\"\n[[layer]]\n";

class PackSheets : public SceneDir {
protected:
    void SetUp() override {
        SceneDir::SetUp();
        for (int n = 0; n < 3; ++n) write("c" + std::to_string(n) + ".png", png_rgba(3, 2, cell(n)));
    }
    Bytes bytes_of(const std::string& layer) { return sg::pack::package_bytes(build(HEAD + layer).package); }
    std::string refusal(const std::string& layer) { return error_of(HEAD + layer); }
};

}  // namespace

TEST_F(PackSheets, SheetsAndSpriteEditorJsonGiveThePackageOfFramesCutByHand) {
    std::filesystem::create_directories(dir / "art");
    write("art/sheet.png", sheet(2, 2, 3));
    // Array form, in a folder of its own: the sheet is found beside the JSON.
    write("art/walk.json",
          R"({"frames": [
               {"filename": "walk 0", "frame": {"x": 0, "y": 0, "w": 3, "h": 2}, "rotated": false, "trimmed": false, "duration": 100},
               {"filename": "walk 1", "frame": {"x": 3, "y": 0, "w": 3, "h": 2}, "duration": 200},
               {"filename": "walk 2", "frame": {"x": 0, "y": 2, "w": 3, "h": 2}, "duration": 300}],
              "meta": {"image": "sheet.png", "size": {"w": 6, "h": 4}}})");
    const Bytes byHand = bytes_of("frames = [{ file = \"c0.png\", duration_ms = 100 }, { file = \"c1.png\", duration_ms = 200 }, "
                                  "{ file = \"c2.png\", duration_ms = 300 }]\n");
    EXPECT_EQ(bytes_of("frames = \"art/walk.json\"\n"), byHand);
    const auto json = build(std::string(HEAD) + "frames = \"art/walk.json\"\n");
    const auto& set = *json.package.layers[0].set;
    EXPECT_EQ(set.frames[0].duration, 3);
    EXPECT_EQ(set.frames[1].duration, 6);
    EXPECT_EQ(set.frames[2].duration, 9);

    // Hash form, in the listed order (not sorted), with a trimmed frame
    // restored to its size: its cut-away column comes back transparent.
    write("hash.json", R"({"frames": {"z": {"frame": {"x": 0, "y": 0, "w": 3, "h": 2}},
                                       "a": {"frame": {"x": 4, "y": 0, "w": 2, "h": 2}, "trimmed": true,
                                             "spriteSourceSize": {"x": 1, "y": 0, "w": 2, "h": 2}, "sourceSize": {"w": 3, "h": 2}}},
                           "meta": {"image": "art/sheet.png"}})");
    auto trimmed = cell(1);
    trimmed[0] = trimmed[3] = CLEAR;
    write("c1t.png", png_rgba(3, 2, trimmed));
    EXPECT_EQ(bytes_of("frames = \"hash.json\"\nduration = 4\n"), bytes_of("frames = [\"c0.png\", \"c1t.png\"]\nduration = 4\n"));

    // A sheet: row by row, a last row not full, one duration for all.
    EXPECT_EQ(bytes_of("frames = { sheet = \"art/sheet.png\", columns = 2, rows = 2, count = 3, duration_ms = 100 }\n"),
              bytes_of("frames = [{ file = \"c0.png\", duration_ms = 100 }, { file = \"c1.png\", duration_ms = 100 }, "
                       "{ file = \"c2.png\", duration_ms = 100 }]\n"));
}

TEST_F(PackSheets, FlipEqualsFramesMirroredByHand) {
    for (int n = 0; n < 3; ++n) {
        write("h" + std::to_string(n) + ".png", png_rgba(3, 2, mirrored(cell(n), 3, 2, true)));
        write("v" + std::to_string(n) + ".png", png_rgba(3, 2, mirrored(cell(n), 3, 2, false)));
    }
    EXPECT_EQ(bytes_of("frames = [\"c0.png\", \"c1.png\"]\nflip = \"horizontal\"\n"), bytes_of("frames = [\"h0.png\", \"h1.png\"]\n"));
    write("sheet.png", sheet(3, 1, 3));
    EXPECT_EQ(bytes_of("frames = { sheet = \"sheet.png\", columns = 3, rows = 1 }\nflip = \"vertical\"\n"),
              bytes_of("frames = [\"v0.png\", \"v1.png\", \"v2.png\"]\n"));
}

TEST_F(PackSheets, LongAnimationsAreRefusedWithTheCountUntilEveryNthFrameIsTaken) {
    std::vector<GifPart> many(21, GifPart{0, 0, 1, 1, {0}, 10, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR});
    many[2].indices = {1};
    write("many.gif", gif(1, 1, {{255, 0, 0}, {0, 0, 255}}, many));
    EXPECT_NE(refusal("frames = \"many.gif\"\n")
                  .find("layer[0].frames: many.gif holds 21 frames; a layer shows at most 20: add every = 2 (one frame in 2, 11 frames"),
              std::string::npos);
    const auto built = build(std::string(HEAD) + "frames = \"many.gif\"\nevery = 2\n");
    const auto& set = *built.package.layers[0].set;
    ASSERT_EQ(set.frames.size(), 11u);
    EXPECT_EQ(set.frames[0].duration, 6);   // two frames of 100 ms
    EXPECT_EQ(set.frames[10].duration, 3);  // the last one alone
    const auto second = sg::pack::bmp_image(set.frames[1].bmp.data(), set.frames[1].bmp.size());
    EXPECT_EQ(second->at(0, 0), (std::array<std::uint8_t, 3>{255, 0, 0}));  // source frame 2, blue
    EXPECT_NE(refusal("frames = \"many.gif\"\nevery = 1\n").find("layer[0].every: keeps 21 of the 21 frames of many.gif; at most 20 fit: use every = 2"),
              std::string::npos);

    // A sheet likewise; its cells all last as long.
    write("sheet.png", sheet(3, 1, 3));
    const auto sheetBuilt = build(std::string(HEAD) + "frames = { sheet = \"sheet.png\", columns = 3, rows = 1, duration = 5 }\nevery = 2\n");
    const auto& cut = *sheetBuilt.package.layers[0].set;
    ASSERT_EQ(cut.frames.size(), 2u);
    EXPECT_EQ(cut.frames[0].duration, 10);
    EXPECT_EQ(cut.frames[1].duration, 5);
    EXPECT_NE(refusal("frames = [\"c0.png\"]\nevery = 2\n").find("layer[0].every: is for frames given as one file"), std::string::npos);
}

TEST_F(PackSheets, ResizeCoversTheSizeAndCropsAroundTheCentre) {
    // Wide onto square: the middle two columns, in order, pixel for pixel.
    write("wide.png", png_rgba(4, 2, {R, G, B, W, R, G, B, W}));
    auto picture = [&](const std::string& manifest) {
        const auto built = build("title = \"t\"\nbackground = \"picture\"\n" + manifest);
        return *sg::pack::bmp_image(built.package.scene.picture.data(), built.package.scene.picture.size());
    };
    auto image = picture("picture = { file = \"wide.png\", resize = \"2x2\" }\n");
    ASSERT_EQ(image.width, 2);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.at(0, 1), (std::array<std::uint8_t, 3>{0, 255, 0}));
    EXPECT_EQ(image.at(1, 0), (std::array<std::uint8_t, 3>{255, 0, 0}));
    // Tall onto wide, and "screen".
    write("tall.png", png_rgba(2, 4, fill(8, G)));
    EXPECT_EQ(picture("picture = { file = \"tall.png\", resize = \"4x1\" }\n").width, 4);
    image = picture("picture = { file = \"tall.png\", resize = \"screen\" }\n");
    EXPECT_EQ(image.width * 10000 + image.height, 1366 * 10000 + 768);

    // Halving single-pixel stripes averages them: no row is dropped (the
    // edge rows lean to the clamped edge's colour).
    std::vector<Rgba> stripes;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) stripes.push_back(y % 2 ? W : Rgba{0, 0, 0, 255});
    write("stripes.png", png_rgba(8, 8, stripes));
    image = picture("picture = { file = \"stripes.png\", resize = \"4x4\" }\n");
    for (int y = 1; y < 3; ++y) EXPECT_NEAR(image.at(1, y)[1], 128, 4) << "row " << y;

    // Frames too, before the key colour is chosen.
    const auto framed = build(std::string(HEAD) + "frames = [\"c0.png\"]\nresize = \"6x4\"\n");
    const auto& set = *framed.package.layers[0].set;
    EXPECT_EQ(sg::pack::bmp_image(set.frames[0].bmp.data(), set.frames[0].bmp.size())->width, 6);
}

TEST_F(PackSheets, Refusals) {
    write("odd.png", png_rgba(7, 2, fill(14, R)));
    write("sheet.png", sheet(2, 1, 2));
    const std::pair<std::string, std::string> cases[] = {
        {"frames = { sheet = \"odd.png\", columns = 2, rows = 1 }\n",
         "layer[0].frames.columns: odd.png is 7 x 2 pixels: 7 does not divide into 2 equal cells across"},
        {"frames = { sheet = \"sheet.png\", columns = 2 }\n", "layer[0].frames.rows: is missing"},
        {"frames = { sheet = \"sheet.png\", columns = 2, rows = 1, count = 3 }\n", "count: 3 is out of range; allowed: 1..2"},
        {"frames = \"gone.json\"\n", "gone.json"},
        {"frames = \"nosheet.json\"\n", "nosheet.json: meta.image names the sheet \"missing.png\", which is not there"},
        {"frames = \"outside.json\"\n", "outside.json: frame 1 (\"b\"): the rectangle 3 x 2 at 4, 0 reaches outside the sheet sheet.png (6 x 2)"},
        {"frames = \"rotated.json\"\n", "rotated.json: frame 0: is stored rotated in the sheet; export the sheet with rotation turned off"},
        {"frames = \"broken.json\"\n", "broken.json: line 2: expected ']' (not readable as JSON)"},
        {"frames = [\"c0.png\"]\nflip = \"sideways\"\n", "flip: \"sideways\" is not allowed"},
        {"enabled = false\nflip = \"horizontal\"\n", "layer[0].flip: is only for a layer with frames"},
        {"frames = [\"c0.png\"]\nresize = \"0x0\"\n", "layer[0].resize: 0 x 0 is outside 1..8192 pixels on a side"},
        {"frames = [\"c0.png\"]\nresize = \"9000x100\"\n", "9000 x 100 is outside 1..8192"},
        {"frames = [\"c0.png\"]\nresize = \"big\"\n", "\"big\" is not a size"},
    };
    write("nosheet.json", R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 3, "h": 2}}], "meta": {"image": "missing.png"}})");
    write("outside.json", R"({"frames": {"a": {"frame": {"x": 0, "y": 0, "w": 3, "h": 2}}, "b": {"frame": {"x": 4, "y": 0, "w": 3, "h": 2}}},
                             "meta": {"image": "sheet.png"}})");
    write("rotated.json", R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 2, "h": 3}, "rotated": true}], "meta": {"image": "sheet.png"}})");
    write("broken.json", "{\"frames\": [\n\"meta\": 1}");
    for (const auto& [layer, message] : cases) EXPECT_NE(refusal(layer).find(message), std::string::npos) << layer << refusal(layer);
    EXPECT_NE(error_of("title = \"t\"\nbackground = \"picture\"\npicture = { file = \"odd.png\", resize = \"1x0\" }\n")
                  .find("picture.resize: 1 x 0 is outside"),
              std::string::npos);
}
