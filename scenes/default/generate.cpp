// scenegen: writes the default scene package at build time.
//
//   scenegen OUT.kavren [--picture PICTURE.bmp] [--frames DIR]
//
// --picture also writes the background picture alone and --frames every
// animation frame as DIR/layerK-NN.bmp, for looking at the art and for tests
// that compare a screen with the picture.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scenes/default/art.h"
#include "scenes/default/default_scene.h"

namespace {

void write_file(const std::filesystem::path& path, const sg::pack::Bytes& bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    // Written beside the target and renamed, so a failed run never leaves a
    // half-written package for the next build step to embed.
    std::filesystem::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) throw std::runtime_error("cannot write " + temp.string());
    }
    std::filesystem::rename(temp, path);
}

int usage() {
    std::fprintf(stderr, "usage: scenegen OUT.kavren [--picture PICTURE.bmp] [--frames DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string out, picture, frames;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--picture" && i + 1 < args.size()) {
            picture = args[++i];
        } else if (args[i] == "--frames" && i + 1 < args.size()) {
            frames = args[++i];
        } else if (out.empty() && !args[i].empty() && args[i][0] != '-') {
            out = args[i];
        } else {
            return usage();
        }
    }
    if (out.empty()) return usage();
    try {
        sg::pack::Layout layout;
        sg::pack::Bytes package = sg::pack::package_bytes(sg::scenes::default_scene(), &layout);
        write_file(out, package);
        if (!picture.empty()) write_file(picture, sg::pack::bmp24(sg::scenes::night_picture()));
        if (!frames.empty()) {
            for (int layer = 0; layer < 4; ++layer) {
                auto images = sg::scenes::flake_frames(layer);
                for (std::size_t n = 0; n < images.size(); ++n) {
                    char name[32];
                    std::snprintf(name, sizeof name, "layer%d-%02zu.bmp", layer, n);
                    write_file(std::filesystem::path(frames) / name, sg::pack::bmp24(images[n]));
                }
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "scenegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
