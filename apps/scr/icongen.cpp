// Draws the program icon, a small snow globe, and writes it as a .ico file:
// one 32 x 32 image with 16 colours (4 bits per pixel) and a transparency
// mask. Runs on the build machine; the resource compiler then embeds the file.
//
//   icongen OUT.ico
#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "format/bytes.h"

namespace {

constexpr int SIZE = 32;

// Palette entries as B, G, R.
enum Colour : std::uint8_t {
    Outside = 0,  // black under the mask: shows the desktop
    NightLow,
    NightHigh,
    Rim,
    Snow,
    SnowShade,
    PineDark,
    Pine,
    WoodDark,
    Wood,
    Gold,
    Lamp,
    Wall,
    Roof,
    Flake,
    Shine,
};

constexpr std::array<std::array<std::uint8_t, 3>, 16> PALETTE = {{
    {0x00, 0x00, 0x00},
    {0x58, 0x1c, 0x10},  // night, lower sky
    {0x30, 0x10, 0x08},  // night, upper sky
    {0xd8, 0xb8, 0x90},  // glass rim
    {0xff, 0xff, 0xff},  // snow
    {0xe0, 0xc8, 0xb8},  // snow in shadow
    {0x18, 0x48, 0x10},  // pine, shaded side
    {0x30, 0x88, 0x28},  // pine
    {0x10, 0x28, 0x48},  // base, dark
    {0x28, 0x58, 0x90},  // base
    {0x30, 0xb8, 0xe8},  // gold band
    {0x70, 0xe8, 0xff},  // lit window
    {0x38, 0x48, 0xa8},  // house wall
    {0x40, 0x38, 0x50},  // roof
    {0xf0, 0xe8, 0xe0},  // falling flake
    {0xff, 0xf0, 0xe0},  // reflection on the glass
}};

struct Picture {
    std::array<std::array<std::uint8_t, SIZE>, SIZE> colour{};  // [y][x], top row first
    std::array<std::array<bool, SIZE>, SIZE> opaque{};

    void set(int x, int y, std::uint8_t c) {
        if (x < 0 || y < 0 || x >= SIZE || y >= SIZE) return;
        colour[y][x] = c;
        opaque[y][x] = true;
    }
};

// Twice the squared distance unit keeps the centre on a pixel corner
// (15.5, 12.5) without floating point.
int dist2(int x, int y) {
    const int dx = 2 * x + 1 - 32;
    const int dy = 2 * y + 1 - 25;
    return dx * dx + dy * dy;
}

Picture draw() {
    Picture p;
    const int r2 = 25 * 25;        // glass, radius 12.5
    const int inner2 = 23 * 23;    // inside the rim

    // Glass: sky, darker towards the top, a bright rim.
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < SIZE; ++x) {
            const int d = dist2(x, y);
            if (d > r2) continue;
            if (d > inner2) p.set(x, y, Rim);
            else p.set(x, y, y < 9 ? NightHigh : NightLow);
        }

    // Snow ground inside the glass: a gentle mound, shaded on the right.
    for (int y = 17; y < 25; ++y)
        for (int x = 0; x < SIZE; ++x) {
            if (dist2(x, y) > inner2) continue;
            const int ground = 19 - (x > 6 && x < 20 ? 1 : 0) - (x > 9 && x < 16 ? 1 : 0);
            if (y >= ground) p.set(x, y, x > 22 ? SnowShade : Snow);
        }

    // A pine tree on the left: three tiers and a trunk.
    const int tiers[][3] = {{7, 0, 1}, {9, 0, 2}, {11, 1, 3}, {13, 1, 4}, {15, 2, 5}, {16, 2, 5}};
    for (const auto& t : tiers) {
        const int y = t[0], half = t[2];
        for (int x = 10 - half; x <= 10 + half; ++x) p.set(x, y, x > 10 ? PineDark : Pine);
        for (int x = 10 - half + 1; x <= 10 + half - 1; ++x) p.set(x, y - 1, x > 10 ? PineDark : Pine);
    }
    p.set(10, 5, Pine);
    p.set(9, 10, Snow);
    p.set(12, 12, Snow);
    p.set(8, 14, Snow);
    p.set(10, 17, WoodDark);

    // A cottage on the right with a lit window.
    for (int y = 14; y <= 18; ++y)
        for (int x = 17; x <= 22; ++x) p.set(x, y, Wall);
    for (int i = 0; i < 4; ++i)
        for (int x = 16 + i; x <= 23 - i; ++x) p.set(x, 13 - i, i == 0 ? Snow : Roof);
    p.set(19, 15, Lamp);
    p.set(20, 15, Lamp);
    p.set(19, 16, Lamp);
    p.set(20, 16, Lamp);

    // Falling flakes and a reflection on the upper left of the glass.
    const int flakes[][2] = {{7, 4}, {14, 3}, {21, 5}, {25, 9}, {5, 9}, {16, 8}, {24, 14}, {13, 11}};
    for (const auto& f : flakes) p.set(f[0], f[1], Flake);
    const int shine[][2] = {{6, 5}, {5, 6}, {5, 7}, {7, 3}, {8, 2}};
    for (const auto& s : shine) p.set(s[0], s[1], Shine);

    // The base: a gold band over a wooden stand that widens downwards.
    for (int y = 24; y < SIZE; ++y) {
        const int half = 8 + (y - 24) / 2;
        for (int x = 16 - half; x < 16 + half; ++x) {
            std::uint8_t c = Wood;
            if (y == 25) c = Gold;
            else if (y == SIZE - 1 || x == 16 - half || x == 16 + half - 1) c = WoodDark;
            p.set(x, y, c);
        }
    }
    return p;
}

void put16(std::vector<std::uint8_t>& out, unsigned v) { sg::format::append_u16(out, static_cast<std::uint16_t>(v)); }
void put32(std::vector<std::uint8_t>& out, unsigned v) { sg::format::append_u32(out, v); }

std::vector<std::uint8_t> ico_bytes(const Picture& p) {
    constexpr unsigned xorBytes = SIZE * SIZE / 2;  // 16-byte rows, already 4-aligned
    constexpr unsigned andBytes = SIZE * 4;         // 1 bit per pixel, 4-byte rows
    constexpr unsigned imageBytes = 40 + 16 * 4 + xorBytes + andBytes;

    std::vector<std::uint8_t> out;
    // ICONDIR: reserved, type 1 (icon), one image.
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    // ICONDIRENTRY: 32 x 32, 16 colours, planes 1, 4 bits, size, offset 22.
    out.insert(out.end(), {SIZE, SIZE, 16, 0});
    put16(out, 1);
    put16(out, 4);
    put32(out, imageBytes);
    put32(out, 22);
    // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    put32(out, 40);
    put32(out, SIZE);
    put32(out, SIZE * 2);
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    put32(out, xorBytes + andBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 16);
    put32(out, 0);
    for (const auto& c : PALETTE) out.insert(out.end(), {c[0], c[1], c[2], 0});
    // Colour rows bottom-up, the left pixel in the high nibble.
    for (int y = SIZE - 1; y >= 0; --y)
        for (int x = 0; x < SIZE; x += 2)
            out.push_back(static_cast<std::uint8_t>(p.colour[y][x] << 4 | p.colour[y][x + 1]));
    // Mask rows bottom-up: a set bit lets the desktop through.
    for (int y = SIZE - 1; y >= 0; --y)
        for (int byte = 0; byte < 4; ++byte) {
            std::uint8_t bits = 0;
            for (int b = 0; b < 8; ++b)
                if (!p.opaque[y][byte * 8 + b]) bits |= static_cast<std::uint8_t>(0x80 >> b);
            out.push_back(bits);
        }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icongen OUT.ico\n");
        return 2;
    }
    const std::vector<std::uint8_t> bytes = ico_bytes(draw());
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "icongen: cannot write %s\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
