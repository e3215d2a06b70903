// Draws the aquarium example's pictures and sound: a water tile, fish,
// bubbles, a crab and starfish as PNGs with transparency, and a short
// bubbling loop as a WAV. Deterministic, so every build packs the same bytes.
//
//   usage: aquarium-art OUTPUT_DIR
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgba {
    std::uint8_t r, g, b, a;
};

struct Canvas {
    int w, h;
    std::vector<Rgba> px;
    Canvas(int width, int height) : w(width), h(height), px(static_cast<std::size_t>(width) * height, Rgba{0, 0, 0, 0}) {}
    void set(int x, int y, Rgba c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[static_cast<std::size_t>(y) * w + x] = c;
    }
    // Filled ellipse centred at (cx, cy).
    void ellipse(double cx, double cy, double rx, double ry, Rgba c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                if (dx * dx + dy * dy <= 1.0) set(x, y, c);
            }
    }
    void triangle(double x0, double y0, double x1, double y1, double x2, double y2, Rgba c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double px0 = x + 0.5, py0 = y + 0.5;
                auto side = [&](double ax, double ay, double bx, double by) {
                    return (bx - ax) * (py0 - ay) - (by - ay) * (px0 - ax);
                };
                double a = side(x0, y0, x1, y1), b = side(x1, y1, x2, y2), d = side(x2, y2, x0, y0);
                if ((a >= 0 && b >= 0 && d >= 0) || (a <= 0 && b <= 0 && d <= 0)) set(x, y, c);
            }
    }
};

bool write_png(const std::string& path, const Canvas& c) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(c.w);
    image.height = static_cast<png_uint_32>(c.h);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, c.px.data(), 0, nullptr) != 0;
}

constexpr double PI = 3.14159265358979323846;

// Sandy-blue water with soft light bands; tiles seamlessly (periodic in 64).
Canvas water_tile() {
    Canvas c(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            double wave = std::sin(2 * PI * (x + 8 * std::sin(2 * PI * y / 64)) / 64) *
                          std::cos(2 * PI * (y + 6 * std::sin(2 * PI * x / 32)) / 64);
            int light = static_cast<int>(18 * wave);
            c.set(x, y, Rgba{static_cast<std::uint8_t>(10 + light / 2), static_cast<std::uint8_t>(60 + light),
                             static_cast<std::uint8_t>(110 + light), 255});
        }
    return c;
}

// A fish facing left; its tail beats over 8 frames. No pure black or white
// pixel is drawn, so the tool keys transparency with black.
Canvas fish(int frame, Rgba body, Rgba fin) {
    Canvas c(48, 24);
    double beat = std::sin(2 * PI * frame / 8);
    c.triangle(34, 12, 47, 3 + 4 * beat, 47, 21 + 4 * beat, fin);
    c.ellipse(20, 12, 16, 8, body);
    c.triangle(16, 5, 26, 5, 22, 0, fin);
    c.ellipse(10, 10, 2.6, 2.6, Rgba{240, 240, 230, 255});
    c.ellipse(9.5, 10, 1.3, 1.3, Rgba{20, 20, 40, 255});
    return c;
}

// A bubble: a thin ring with a highlight, wobbling over 4 frames. It has a
// dark outline, so the layer asks for a white key.
Canvas bubble(int frame) {
    Canvas c(16, 16);
    double r = 6.5 + 0.6 * std::sin(2 * PI * frame / 4);
    c.ellipse(8, 8, r, 13.0 - r, Rgba{0, 0, 0, 255});
    c.ellipse(8, 8, r - 1.2, 13.0 - r - 1.2, Rgba{150, 210, 240, 255});
    c.ellipse(8, 8, r - 2.2, 13.0 - r - 2.2, Rgba{90, 160, 210, 255});
    c.ellipse(6, 5.5, 1.5, 1.2, Rgba{230, 250, 254, 255});
    return c;
}

// A crab waving its claws over 6 frames, drawn opaque-edged on a keyed
// corner (transparent top-left pixel, top-left key).
Canvas crab(int frame) {
    Canvas c(48, 32);
    Rgba shell{200, 60, 30, 255}, dark{120, 30, 15, 255};
    double lift = 4 * std::sin(2 * PI * frame / 6);
    for (int leg = 0; leg < 3; ++leg) {
        c.triangle(14 - 3 * leg, 22, 6 - 3 * leg, 31, 9 - 3 * leg, 31, dark);
        c.triangle(34 + 3 * leg, 22, 42 + 3 * leg, 31, 39 + 3 * leg, 31, dark);
    }
    c.ellipse(24, 21, 14, 8, shell);
    c.ellipse(7, 8 - lift, 5, 4, shell);
    c.ellipse(41, 8 + lift, 5, 4, shell);
    c.triangle(10, 12 - lift, 14, 16, 16, 14, dark);
    c.triangle(38, 12 + lift, 34, 16, 32, 14, dark);
    c.ellipse(20, 14, 2, 2, Rgba{255, 255, 255, 255});
    c.ellipse(28, 14, 2, 2, Rgba{255, 255, 255, 255});
    c.ellipse(20, 14, 1, 1, Rgba{0, 0, 0, 255});
    c.ellipse(28, 14, 1, 1, Rgba{0, 0, 0, 255});
    return c;
}

// A starfish that glows and fades over 10 frames, then stays lit.
Canvas starfish(int frame) {
    Canvas c(24, 24);
    double glow = 0.5 + 0.5 * std::sin(PI * frame / 9);
    auto level = [&](int base) { return static_cast<std::uint8_t>(base * (0.55 + 0.45 * glow)); };
    Rgba arm{level(250), level(170), level(60), 255};
    for (int k = 0; k < 5; ++k) {
        double a = -PI / 2 + 2 * PI * k / 5, b = a + PI / 5, d = a - PI / 5;
        c.triangle(12 + 11 * std::cos(a), 12 + 11 * std::sin(a), 12 + 4 * std::cos(b), 12 + 4 * std::sin(b),
                   12 + 4 * std::cos(d), 12 + 4 * std::sin(d), arm);
    }
    c.ellipse(12, 12, 4.5, 4.5, arm);
    return c;
}

// 1.5 s of bubbling, 8-bit mono at 11,025 Hz: rising pops on a faint hiss.
bool write_wav(const std::string& path) {
    const int rate = 11025, samples = rate * 3 / 2;
    std::vector<std::uint8_t> pcm(static_cast<std::size_t>(samples), 128);
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    std::vector<double> mix(static_cast<std::size_t>(samples), 0.0);
    for (int pop = 0; pop < 9; ++pop) {
        int start = static_cast<int>(next() % static_cast<std::uint32_t>(samples - 1500));
        double f0 = 300 + next() % 500;
        for (int i = 0; i < 1200; ++i) {
            double t = static_cast<double>(i) / rate;
            double env = std::exp(-t * 40);
            mix[static_cast<std::size_t>(start + i)] += 0.5 * env * std::sin(2 * PI * f0 * t * (1 + 6 * t));
        }
    }
    for (int i = 0; i < samples; ++i) {
        double hiss = (static_cast<int>(next() % 200) - 100) / 4000.0;
        double v = std::max(-1.0, std::min(1.0, mix[static_cast<std::size_t>(i)] + hiss));
        pcm[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(128 + 100 * v);
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) std::fputc(static_cast<int>((v >> (8 * i)) & 0xff), f); };
    auto u16 = [&](std::uint32_t v) { for (int i = 0; i < 2; ++i) std::fputc(static_cast<int>((v >> (8 * i)) & 0xff), f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + static_cast<std::uint32_t>(samples));
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);      // PCM
    u16(1);      // mono
    u32(rate);
    u32(rate);   // bytes per second
    u16(1);      // block align
    u16(8);      // bits
    std::fwrite("data", 1, 4, f);
    u32(static_cast<std::uint32_t>(samples));
    std::fwrite(pcm.data(), 1, pcm.size(), f);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: aquarium-art OUTPUT_DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = write_png(dir + "/water.png", water_tile());
    for (int i = 0; i < 8; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/fish-orange-%d.png", i);
        ok = ok && write_png(dir + name, fish(i, Rgba{250, 140, 30, 255}, Rgba{230, 90, 20, 255}));
        std::snprintf(name, sizeof name, "/fish-blue-%d.png", i);
        ok = ok && write_png(dir + name, fish((i + 3) % 8, Rgba{60, 120, 230, 255}, Rgba{240, 220, 60, 255}));
    }
    for (int i = 0; i < 4; ++i) ok = ok && write_png(dir + "/bubble-" + std::to_string(i) + ".png", bubble(i));
    for (int i = 0; i < 6; ++i) ok = ok && write_png(dir + "/crab-" + std::to_string(i) + ".png", crab(i));
    for (int i = 0; i < 10; ++i) ok = ok && write_png(dir + "/starfish-" + std::to_string(i) + ".png", starfish(i));
    ok = ok && write_wav(dir + "/bubbles.wav");
    if (!ok) {
        std::fprintf(stderr, "aquarium-art: cannot write to %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
