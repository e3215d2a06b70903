// snowglobe-pack build: manifests with mistakes are refused with the file,
// line and setting and leave nothing behind; PNG transparency becomes a key
// colour with a matching mask mode; pictures are stored as the engine reads them.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "apps/pack/commands.h"
#include "tools/core/manifest.h"
#include "tools/core/util.h"
#include "tools/packlib/packlib.h"

namespace fs = std::filesystem;
using namespace sg::packtool;

namespace {

struct Rgba {
    std::uint8_t r, g, b, a;
};

class PackManifest : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pack-manifest-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }
    void write(const std::string& name, const sg::pack::Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void png(const std::string& name, int w, int h, const std::vector<Rgba>& px) {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(w);
        image.height = static_cast<png_uint_32>(h);
        image.format = PNG_FORMAT_RGBA;
        ASSERT_TRUE(png_image_write_to_file(&image, (dir / name).c_str(), 0, px.data(), 0, nullptr));
    }
    // The message build gives for this manifest (empty when it builds).
    std::string error_of(const std::string& manifest) {
        write("scene.toml", manifest);
        try {
            build_manifest(dir / "scene.toml");
        } catch (const Failure& e) {
            return e.what();
        }
        return "";
    }
    sg::pack::Package built(const std::string& manifest) {
        write("scene.toml", manifest);
        return build_manifest(dir / "scene.toml").package;
    }
};

sg::pack::Image solid(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    sg::pack::Image image;
    image.width = w;
    image.height = h;
    for (int i = 0; i < w * h; ++i) image.bgr.insert(image.bgr.end(), {b, g, r});
    return image;
}

const char* const HEAD = "title = \"t\"\n";

}  // namespace

TEST_F(PackManifest, MistakesNameFileLineAndSettingAndWriteNothing) {
    write("frame.bmp", sg::pack::bmp24(solid(4, 4, 1, 2, 3)));
    sg::pack::Palette8 palette;
    palette.entries.push_back({1, 2, 3, 0});
    write("eight.bmp", sg::pack::bmp8(4, 4, std::vector<std::uint8_t>(16, 0), palette));
    sg::pack::Bytes oneBit = sg::pack::bmp24(solid(4, 4, 1, 2, 3));
    oneBit[28] = 1;
    write("onebit.bmp", oneBit);
    sg::pack::Bytes rle = sg::pack::bmp24(solid(4, 4, 1, 2, 3));
    rle[30] = 1;
    write("rle.bmp", rle);
    png("clear.png", 1, 1, {Rgba{0, 0, 0, 0}});

    struct Case {
        std::string manifest;
        std::vector<std::string> expected;
    } cases[] = {
        {"titel = \"x\"\n", {"scene.toml:1: titel: unknown setting", "allowed here: title"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"frame.bmp\"]\nspeeed = 2\n", {"scene.toml:4: layer[0].speeed: unknown setting"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"frame.bmp\"]\ninstances = \"ten\"\n",
         {"scene.toml:4: layer[0].instances: must be an integer", "not a string"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"frame.bmp\"]\ninstances = 51\n",
         {"scene.toml:4: layer[0].instances: 51 is out of range; allowed: 0..50"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"frame.bmp\"]\nsway = { axis = \"x\", row = 5 }\n",
         {"scene.toml:4: layer[0].sway.row: 5 is out of range"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"frame.bmp\"]\ndirection = \"sideways\"\n",
         {"scene.toml:4: layer[0].direction: \"sideways\" is not a direction", "\"down-right\""}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"frame.bmp\"]\nmax_wait = -1\n", {"scene.toml:4: layer[0].max_wait: -1 is out of range"}},
        // Raw codes: exactly { code = N }, and no key colour out of a mask code.
        {std::string(HEAD) + "[[layer]]\nframes = [\"frame.bmp\"]\nspeed = { cod = 9 }\n", {"scene.toml:4: layer[0].speed.cod: unknown setting"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"frame.bmp\"]\nspeed = {}\n", {"scene.toml:4: layer[0].speed: { code = N } needs its code"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"clear.png\"]\nmask = { code = 7 }\n",
         {"scene.toml:3: layer[0].frames[0]: clear.png: has transparent pixels, but mask code 7 keys no colour"}},
        {std::string(HEAD) + "\n[[layer]]\nframes = [\"missing.png\"]\n",
         {"scene.toml:4: layer[0].frames[0]:", "missing.png: cannot open"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"onebit.bmp\"]\n", {"scene.toml:3: layer[0].frames[0]: onebit.bmp:", "1 bits per pixel"}},
        {std::string(HEAD) + "[[layer]]\nframes = [\"rle.bmp\"]\n", {"scene.toml:3: layer[0].frames[0]: rle.bmp:", "compressed"}},
        {std::string(HEAD) + "background = \"picture\"\n", {"scene.toml:2: picture: is missing"}},
        {std::string(HEAD) + "background = \"tiled\"\npicture = \"frame.bmp\"\n", {"scene.toml:3: picture: is only used with background = \"picture\""}},
        {std::string(HEAD) + "[[layer]]\ninstances = 3\n", {"scene.toml:2: layer[0]: an enabled layer needs frames"}},
        {std::string(HEAD) + "about = [1]\n", {"scene.toml:2: about[0]: must be a string"}},
        {std::string(HEAD) + "sound = \"frame.bmp\"\n", {"scene.toml:2: sound: frame.bmp is not a WAV file"}},
        {"title = \"" + std::string(300, 'a') + "\"\n", {"scene.toml:1: title: is 300 bytes in code page 932; at most 299 fit"}},
        {std::string(HEAD) + "[[layer]\n", {"scene.toml:2:"}},
        {"background = \"white\"\n", {"title: is missing"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest);
        std::string message = error_of(c.manifest);
        for (const std::string& e : c.expected) EXPECT_NE(message.find(e), std::string::npos) << message;
        // The command leaves no output and no temporary file behind.
        testing::internal::CaptureStderr();
        int status = cmd_build({(dir / "scene.toml").string(), "-o", (dir / "out.kavren").string()});
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 1);
        for (const auto& entry : fs::directory_iterator(dir)) {
            std::string name = entry.path().filename().string();
            EXPECT_TRUE(name.find("out.kavren") == std::string::npos) << name;
        }
    }
    // An 8-bit BMP frame is no mistake: the saver expands it to 24 bits.
    fs::path manifest = dir / "scene.toml";
    {
        std::ofstream out(manifest);
        out << HEAD << "[[layer]]\nframes = [\"frame.bmp\", \"eight.bmp\"]\n";
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(cmd_build({manifest.string(), "-o", (dir / "eight.kavren").string()}), 0);
    testing::internal::GetCapturedStderr();
}

TEST_F(PackManifest, DisabledLayersKeepAnyNumbersEnabledOnesDoNot) {
    std::string layer = "[[layer]]\nenabled = false\nspeed = 99\ndirection = 42\nset_offset = 1234\nset_size = 7\n";
    sg::pack::Package p = built(std::string(HEAD) + layer);
    EXPECT_EQ(p.layers[0].settings.speedClass, 99);
    EXPECT_EQ(p.layers[0].settings.directionCode, 42);
    EXPECT_TRUE(p.layers[0].keepSetFields);
    EXPECT_EQ(p.layers[0].settings.setOffset, 1234);
    EXPECT_NE(error_of(std::string(HEAD) + "[[layer]]\nframes = []\n").find("is empty"), std::string::npos);
}

TEST_F(PackManifest, SettingsInWordsBecomeTheirCodes) {
    write("f.bmp", sg::pack::bmp24(solid(2, 2, 9, 9, 9), 2));
    sg::pack::Package p = built(std::string(HEAD) +
                                "background = \"white\"\n[[layer]]\nenabled = false\n[[layer]]\n"
                                "frames = [\"f.bmp\", { file = \"f.bmp\", duration = 7 }]\nduration = 3\n"
                                "direction = \"down-left\"\nentry = \"right-or-bottom\"\nstart = { corner = \"bottom-right\", x = -32, y = 10 }\n"
                                "sway = \"none\"\ndelay = \"after-exit\"\nmax_wait = 30\nkeep_inside = true\nloops = false\nmask = \"opaque\"\n");
    EXPECT_EQ(p.scene.backgroundMode, 1);
    EXPECT_EQ(p.layers[0].settings.enabled, 0);
    const sg::pack::LayerSettings& s = p.layers[1].settings;
    EXPECT_EQ(s.enabled, 1);
    EXPECT_EQ(s.directionCode, 6);
    EXPECT_EQ(s.entryEdge, 8);
    EXPECT_EQ(s.placement, 0);  // a start position without placement means fixed
    EXPECT_EQ(s.startCorner, 3);
    EXPECT_EQ(s.startX, -32);
    EXPECT_EQ(s.swayAxis, 2);
    EXPECT_EQ(s.delayMode, 2);
    EXPECT_EQ(s.maxWait, 30);
    EXPECT_EQ(s.keepInside, 1);
    EXPECT_EQ(s.loops, 0);
    EXPECT_EQ(s.instanceCount, 10);
    ASSERT_TRUE(p.layers[1].set);
    EXPECT_EQ(p.layers[1].set->maskMode, 3);
    ASSERT_EQ(p.layers[1].set->frames.size(), 2u);
    EXPECT_EQ(p.layers[1].set->frames[0].duration, 3);
    EXPECT_EQ(p.layers[1].set->frames[1].duration, 7);
    // A BMP the engine takes is stored byte for byte, trailing bytes included.
    EXPECT_EQ(p.layers[1].set->frames[0].bmp, sg::pack::bmp24(solid(2, 2, 9, 9, 9), 2));
}

TEST_F(PackManifest, TransparencyPicksAnUnusedKeyAndMaskMode) {
    const Rgba clear{0, 0, 0, 0}, red{200, 0, 0, 255}, black{0, 0, 0, 255}, white{255, 255, 255, 255};
    auto keyed = [&](std::vector<Rgba> px) {
        png("f.png", 2, 2, px);
        sg::pack::Package p = built(std::string(HEAD) + "[[layer]]\nframes = [\"f.png\"]\n");
        const sg::pack::AnimSet& set = *p.layers[0].set;
        auto image = sg::pack::bmp_image(set.frames[0].bmp.data(), set.frames[0].bmp.size());
        return std::make_pair(set.maskMode, *image);
    };
    // No black in sight: black is the key (mode 1); the transparent pixel turns black.
    auto [mode1, image1] = keyed({red, clear, red, red});
    EXPECT_EQ(mode1, 1);
    EXPECT_EQ(image1.at(1, 0), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(image1.at(0, 0), (std::array<std::uint8_t, 3>{0, 0, 200}));
    // Black is drawn: white is the key (mode 2).
    auto [mode2, image2] = keyed({black, clear, red, red});
    EXPECT_EQ(mode2, 2);
    EXPECT_EQ(image2.at(1, 0), (std::array<std::uint8_t, 3>{255, 255, 255}));
    // Both drawn: the top-left pixel carries a colour the frame does not use (mode 0).
    auto [mode0, image0] = keyed({clear, black, white, clear});
    EXPECT_EQ(mode0, 0);
    EXPECT_EQ(image0.at(0, 0), image0.at(1, 1));
    EXPECT_NE(image0.at(0, 0), image0.at(1, 0));
    EXPECT_NE(image0.at(0, 0), image0.at(0, 1));
    // ...which cannot work when the top-left pixel is visible.
    png("f.png", 2, 2, {black, clear, white, red});
    EXPECT_NE(error_of(std::string(HEAD) + "[[layer]]\nframes = [\"f.png\"]\n").find("no key colour fits"), std::string::npos);
    // An explicit key colour that visible pixels use would punch holes.
    png("f.png", 2, 2, {black, clear, red, red});
    EXPECT_NE(error_of(std::string(HEAD) + "[[layer]]\nframes = [\"f.png\"]\nmask = \"black\"\n").find("pure black"), std::string::npos);
}

TEST_F(PackManifest, BackgroundsPngToBmpAndEightBitOnRequest) {
    png("few.png", 3, 2, {{1, 2, 3, 255}, {4, 5, 6, 255}, {1, 2, 3, 255}, {7, 8, 9, 255}, {1, 2, 3, 255}, {4, 5, 6, 255}});
    sg::pack::Package p = built(std::string(HEAD) + "background = \"picture\"\nfit = \"centred\"\npicture = { file = \"few.png\", bits = 8 }\n");
    sg::pack::BmpHeader h = sg::pack::bmp_header(p.scene.picture.data(), p.scene.picture.size());
    EXPECT_EQ(h.bitCount, 8);
    EXPECT_EQ(h.colorsUsed, 3u);
    EXPECT_EQ(p.scene.pictureFit, 0);
    auto image = sg::pack::bmp_image(p.scene.picture.data(), p.scene.picture.size());
    EXPECT_EQ(image->at(2, 1), (std::array<std::uint8_t, 3>{6, 5, 4}));

    std::vector<Rgba> many;
    for (int i = 0; i < 300; ++i) many.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 256), 0, 255});
    png("many.png", 300, 1, many);
    // More than 256 colours are reduced (pack_pictures_test checks how well).
    p = built(std::string(HEAD) + "background = \"tiled\"\ntile = { file = \"many.png\", bits = 8 }\n");
    EXPECT_EQ(sg::pack::bmp_header(p.scene.tile.data(), p.scene.tile.size()).bitCount, 8);
    p = built(std::string(HEAD) + "background = \"tiled\"\ntile = \"many.png\"\n");
    EXPECT_EQ(sg::pack::bmp_header(p.scene.tile.data(), p.scene.tile.size()).bitCount, 24);
}

TEST_F(PackManifest, TextsAreStoredAsShiftJis) {
    sg::pack::Package p = built("title = \"雪\"\nabout = [\"a\", { text = \"b\", shown = false }, { bytes = \"8140\" }]\n");
    EXPECT_EQ(p.scene.title, "\x90\xe1");  // 雪
    EXPECT_EQ(p.info.lines[0], "a");
    EXPECT_EQ(p.info.lineShown[0], 1);
    EXPECT_EQ(p.info.lineShown[1], 0);
    EXPECT_EQ(p.info.lines[2], "\x81\x40");
    EXPECT_EQ(p.info.lineShown[3], 0);
    EXPECT_NE(error_of("title = \"\xf0\x9f\x98\x80\"\n").find("title: \"\xf0\x9f\x98\x80\" (U+1F600, character 1) is not in code page 932 (Japanese, Shift-JIS); no code page"), std::string::npos);
}
