// The reference pictures of the end-to-end comparisons: runs the engine
// headlessly on a package ("/s" on a screen of WIDTH x HEIGHT) for TICKS
// ticks and writes the saver window's last picture as a binary PPM, the
// format a screenshot of the real saver is converted to for comparison.
//
//   render_ref PACKAGE WIDTH HEIGHT TICKS OUT.ppm
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/render/render.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: render_ref PACKAGE WIDTH HEIGHT TICKS OUT.ppm\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "render_ref: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::vector<std::uint8_t> package{std::istreambuf_iterator<char>(in),
                                            std::istreambuf_iterator<char>()};
    sg::render::Options options;
    options.width = std::atoi(argv[2]);
    options.height = std::atoi(argv[3]);
    options.ticks = std::atoi(argv[4]);
    options.every = options.ticks;
    if (options.width <= 0 || options.height <= 0 || options.ticks <= 0) {
        std::fprintf(stderr, "render_ref: WIDTH, HEIGHT and TICKS must be positive\n");
        return 2;
    }

    std::vector<std::uint8_t> rgb;
    int width = 0, height = 0;
    const sg::render::Outcome outcome =
        sg::render::run(package, options, [&](int, const pf::soft::Framebuffer& pixels) {
            rgb = sg::render::top_down_rgb(pixels);
            width = pixels.width;
            height = pixels.height;
        });
    for (const auto& m : outcome.messages)
        std::fprintf(stderr, "render_ref: the engine showed a message (%s): %s\n",
                     m.caption.c_str(), m.text.c_str());
    if (!outcome.windowCreated || rgb.empty() || !outcome.messages.empty()) {
        std::fprintf(stderr, "render_ref: no picture of %s (window %s, %d ticks run)\n", argv[1],
                     outcome.windowCreated ? "created" : "not created", outcome.ticksRun);
        return 1;
    }

    std::ofstream out(argv[5], std::ios::binary | std::ios::trunc);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "render_ref: cannot write %s\n", argv[5]);
        return 1;
    }
    return 0;
}
