// Writes the seed corpora of the fuzz targets, from the package writer:
//
//   make_seeds OUT_DIR ART_DIR
//
// ART_DIR holds the aquarium example's art and its scene.toml. OUT_DIR gets
// one directory per target (package, scene, animset, bmp, cmdline, manifest).
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/harness.h"
#include "fuzz/seed_scenes.h"
#include "tests/support/hostile.h"
#include "platform/headless/headless.h"
#include "scenes/default/default_scene.h"
#include "tools/core/manifest.h"

namespace fs = std::filesystem;
namespace pack = sg::pack;

namespace {

void write(const fs::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}
void write(const fs::path& path, const pack::Bytes& bytes) { write(path, bytes.data(), bytes.size()); }
void write(const fs::path& path, const std::string& text) { write(path, text.data(), text.size()); }

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Small manifests over the aquarium's files: every scene key, a layer with
// every layer key, the leftovers.
const char* const MANIFESTS[] = {
    "title = \"minimal\"\n",
    R"(title = "tiled, 8-bit"
background = "tiled"
tile = { file = "water.png", bits = 8 }
about = ["one", { text = "two", shown = false }, { bytes = "83588384" }]
)",
    R"(title_bytes = "83588384"
background = "picture"
picture = "water.png"
fit = "centred"
sound = "bubbles.wav"

[[layer]]
frames = [{ file = "crab-0.png", duration = 0 }, "crab-1.png"]
mask = "top-left"
instances = 50
direction = "up-right"
speed = 4
sway = { axis = "y", row = 4 }
entry = "right-or-bottom"
start = { corner = "bottom-right", x = -10, y = -10 }
keep_inside = true
random_start = false
reentry_cycles = 0
delay = "after-exit"
max_wait = 7
loops = false

[[layer]]
enabled = false
set_offset = 76
set_size = 100
)",
    R"(title = "leftovers"
background = "white"

[[layer]]
frames = ["bubble-0.png", "bubble-1.png"]
mask = "white"
sway = "none"
delay = "after-cycle"
max_wait = 3

[leftovers]
tile_offset = 10
tile_size = 20
sound_offset = 30
sound_size = 40
picture_offset = 50
picture_size = 60
directory_12 = [0, 1]
directory_13 = [132, 0]
pad_to = 9000
)",
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds OUT_DIR ART_DIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path art = argv[2];
    try {
        for (const char* dir : {"package", "scene", "animset", "bmp", "cmdline", "manifest", "differential", "files"})
            fs::create_directories(out / dir);

        // Hostile packages: every frame of every layer naming one picture
        // (24- and 8-bit), which an engine that decodes each use again pays
        // for in memory.
        for (int bits : {24, 8}) {
            const pack::Bytes aliased = sg::test::aliased_picture_package(96, bits, 4);
            const std::string name = "aliased" + std::to_string(bits) + ".kavren";
            write(out / "scene" / name, aliased);
            write(out / "package" / name, aliased);
            write(out / "differential" / name, aliased);
        }

        std::vector<std::pair<std::string, pack::Package>> scenes = sg::fuzz::edge_scenes();
        pack::Package compact = sg::scenes::default_scene();
        compact.padTo = 0;  // the padding is zeros nobody reads
        scenes.emplace_back("default", compact);
        scenes.emplace_back("full", sg::bench::full_scene());
        scenes.emplace_back("aquarium", sg::packtool::build_manifest(art / "scene.toml").package);

        int sets = 0, pictures = 0;
        for (const auto& [name, package] : scenes) {
            const pack::Bytes bytes = pack::package_bytes(package);
            write(out / "package" / (name + ".kavren"), bytes);
            // 500 sprites of 64 x 64 take seconds a run under the sanitizers:
            // the scene target would do little else.
            if (name != "full") write(out / "scene" / (name + ".kavren"), bytes);
            if (name != "full" && bytes.size() < 400000) write(out / "differential" / (name + ".kavren"), bytes);
            // Cut short: blocks, sets and pictures past the end.
            const pack::Bytes half(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2));
            write(out / "package" / (name + "-half.kavren"), half);
            if (bytes.size() < 200000) write(out / "scene" / (name + "-half.kavren"), half);

            // A few sets and frames of each scene: enough kinds, few repeats.
            int setsHere = 0, framesHere = 0;
            for (const pack::Layer& layer : package.layers) {
                if (!layer.set || setsHere++ >= 4) continue;
                write(out / "animset" / ("set-" + std::to_string(sets++)), pack::animset_bytes(*layer.set));
                for (const pack::Frame& frame : layer.set->frames)
                    if (framesHere++ < 4) write(out / "bmp" / ("frame-" + std::to_string(pictures++)), frame.bmp);
            }
            for (const pack::Bytes* picture : {&package.scene.picture, &package.scene.tile})
                if (!picture->empty() && picture->size() < 100000)
                    write(out / "bmp" / ("picture-" + std::to_string(pictures++)), *picture);
        }
        // Sets the engine refuses or reads oddly.
        pack::AnimSet odd = *sg::fuzz::small_scene().layers[0].set;
        odd.frameCountOverride = 21;
        write(out / "animset" / "too-many-frames", pack::animset_bytes(odd));
        odd.frameCountOverride = 0;
        write(out / "animset" / "no-frames", pack::animset_bytes(odd));
        odd.frameCountOverride.reset();
        odd.version = 2;
        write(out / "animset" / "version-2", pack::animset_bytes(odd));

        // Command lines; "/p" and "/c" with the handle the fuzz target's pane gets.
        pf::headless::reset();
        const auto pane = static_cast<long long>(
            reinterpret_cast<std::intptr_t>(pf::headless::create_foreign_window("pane", 0, 0, 200, 150)));
        const std::string handle = std::to_string(pane);
        const std::vector<std::string> lines = {
            "/s", "/S", "", "/c", "/C", "/a", "/p " + handle, "/P:" + handle, "/c " + handle,
            "/c:" + handle, "/p", "/p 7", "/p -" + handle, "/p 99999999999", "-s", "/x", "s", "/p\t " + handle};
        for (std::size_t i = 0; i < lines.size(); ++i) write(out / "cmdline" / ("line-" + std::to_string(i)), lines[i]);

        write(out / "manifest" / "aquarium.toml", read_text(art / "scene.toml"));
        int m = 0;
        for (const char* text : MANIFESTS) write(out / "manifest" / ("small-" + std::to_string(m++) + ".toml"), std::string(text));
        // Each small manifest must build: a seed that fails at once explores nothing.
        for (const char* text : MANIFESTS) sg::packtool::build_manifest_text(text, "seed.toml", art);

        // Manifests naming each file of fuzz/files.cpp's hostile folder where
        // a picture, a tile, frames, an animated GIF, a sound and a block go.
        int f = 0;
        for (const char* name : {"ok.png", "big.png", "wide.bmp", "wide.gif", "wide.jpg", "huge.png", "pipe.png",
                                 "null.png", "zero.png", "alias.png", "loop-a.png", "dangling.png", "dir.png",
                                 "../secret.wav", "/dev/zero"}) {
            const std::string n = name;
            for (const std::string& text :
                 {"title = \"t\"\nbackground = \"picture\"\npicture = { file = \"" + n + "\", bits = 8 }\n",
                  "title = \"t\"\nbackground = \"tiled\"\ntile = \"" + n + "\"\n",
                  "title = \"t\"\n[[layer]]\nframes = [\"ok.png\", \"" + n + "\"]\nmask = \"top-left\"\n",
                  "title = \"t\"\n[[layer]]\nframes = \"" + n + "\"\n",
                  "title = \"t\"\n[leftovers]\noptional_block_2 = \"" + n + "\"\n"})
                write(out / "files" / ("named-" + std::to_string(f++) + ".toml"), text);
        }
        for (const char* name : {"ok.wav", "long.wav", "out.wav", "pipe.png"})
            write(out / "files" / ("sound-" + std::to_string(f++) + ".toml"),
                  "title = \"t\"\nsound = \"" + std::string(name) + "\"\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
