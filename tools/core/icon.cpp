#include "tools/core/icon.h"

#include <algorithm>
#include <array>
#include <set>

#include "tools/core/container.h"
#include "tools/core/decoders.h"
#include "tools/core/images.h"

namespace sg::packtool {

namespace {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;
};

// The picture as straight RGBA, whatever it was stored as.
RgbaImage decode(const Bytes& picture, const std::string& what) {
    if (is_png(picture) || is_bmp32(picture)) {
        if (auto image = decode_picture(picture, what, "a PNG or BMP picture")) return std::move(*image);
    }
    auto bmp = pack::bmp_image(picture.data(), picture.size());
    if (!bmp) throw Failure(what + ": not a PNG or BMP picture that can be read");
    RgbaImage out;
    out.width = bmp->width;
    out.height = bmp->height;
    out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(out.width) * out.height; ++i) {
        out.rgba[i * 4] = bmp->bgr[i * 3 + 2];
        out.rgba[i * 4 + 1] = bmp->bgr[i * 3 + 1];
        out.rgba[i * 4 + 2] = bmp->bgr[i * 3];
        out.rgba[i * 4 + 3] = 255;
    }
    return out;
}

// Area-averaged fit into n x n, centred, the rest transparent. Colours are
// weighted by their alpha so transparent pixels do not darken the edges.
std::vector<Rgba> fit(const RgbaImage& src, int n) {
    std::vector<Rgba> out(static_cast<std::size_t>(n) * n);
    const double scale = static_cast<double>(n) / std::max(src.width, src.height);
    const double w = src.width * scale, h = src.height * scale;
    const double x0 = (n - w) / 2, y0 = (n - h) / 2;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            // The source rectangle this pixel covers.
            double sx0 = (x - x0) / scale, sx1 = (x + 1 - x0) / scale;
            double sy0 = (y - y0) / scale, sy1 = (y + 1 - y0) / scale;
            sx0 = std::max(sx0, 0.0), sy0 = std::max(sy0, 0.0);
            sx1 = std::min(sx1, static_cast<double>(src.width)), sy1 = std::min(sy1, static_cast<double>(src.height));
            if (sx1 <= sx0 || sy1 <= sy0) continue;
            Rgba sum;
            for (int sy = static_cast<int>(sy0); sy < sy1; ++sy)
                for (int sx = static_cast<int>(sx0); sx < sx1; ++sx) {
                    double cover = (std::min<double>(sx + 1, sx1) - std::max<double>(sx, sx0)) *
                                   (std::min<double>(sy + 1, sy1) - std::max<double>(sy, sy0));
                    const std::uint8_t* p = &src.rgba[(static_cast<std::size_t>(sy) * src.width + sx) * 4];
                    double a = p[3] / 255.0 * cover;
                    sum.r += p[0] * a, sum.g += p[1] * a, sum.b += p[2] * a, sum.a += a;
                }
            Rgba& o = out[static_cast<std::size_t>(y) * n + x];
            // Alpha is the cover over the whole pixel, so the picture's edges fade.
            const double pixelArea = 1.0 / (scale * scale);
            if (sum.a > 0) o = {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, std::min(255.0, 255.0 * sum.a / pixelArea)};
        }
    return out;
}

// The 16 colours of the standard 4-bit palette, and a 6 x 6 x 6 cube with 40
// greys for 8 bits: fixed palettes, so every icon looks the same on screens
// of the same depth.
std::vector<std::array<std::uint8_t, 3>> palette(int bits) {
    std::vector<std::array<std::uint8_t, 3>> p;
    if (bits == 4) {
        p = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
             {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
             {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        return p;
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                             static_cast<std::uint8_t>(b * 51)});
    for (int i = 0; i < 40; ++i) {
        auto v = static_cast<std::uint8_t>(6 + i * 249 / 39);
        p.push_back({v, v, v});
    }
    return p;
}

int nearest(const std::vector<std::array<std::uint8_t, 3>>& pal, const Rgba& c) {
    int best = 0;
    double bestD = 1e30;
    for (std::size_t i = 0; i < pal.size(); ++i) {
        double dr = c.r - pal[i][0], dg = c.g - pal[i][1], db = c.b - pal[i][2];
        double d = dr * dr * 0.3 + dg * dg * 0.59 + db * db * 0.11;
        if (d < bestD) bestD = d, best = static_cast<int>(i);
    }
    return best;
}

std::uint8_t byte_of(double v) { return static_cast<std::uint8_t>(std::clamp(v + 0.5, 0.0, 255.0)); }

// One RT_ICON image: header (height counts colour and mask rows), palette,
// colour rows and mask rows, both bottom-up and padded to 4 bytes.
Bytes icon_image(const std::vector<Rgba>& px, int n, int bits) {
    const auto pal = bits <= 8 ? palette(bits) : std::vector<std::array<std::uint8_t, 3>>{};
    const std::size_t rowBytes = (static_cast<std::size_t>(n) * bits + 31) / 32 * 4;
    const std::size_t maskRow = (static_cast<std::size_t>(n) + 31) / 32 * 4;
    const std::size_t paletteBytes = bits <= 8 ? (std::size_t{1} << bits) * 4 : 0;
    Bytes out(40 + paletteBytes + rowBytes * n + maskRow * n, 0);
    std::uint8_t* h = out.data();
    write_u32(h, 40);
    write_u32(h + 4, static_cast<std::uint32_t>(n));
    write_u32(h + 8, static_cast<std::uint32_t>(2 * n));
    write_u16(h + 12, 1);
    write_u16(h + 14, static_cast<std::uint32_t>(bits));
    write_u32(h + 20, static_cast<std::uint32_t>(rowBytes * n + maskRow * n));
    for (std::size_t i = 0; i < pal.size(); ++i) {
        out[40 + i * 4] = pal[i][2];
        out[40 + i * 4 + 1] = pal[i][1];
        out[40 + i * 4 + 2] = pal[i][0];
    }
    std::uint8_t* colour = out.data() + 40 + paletteBytes;
    std::uint8_t* mask = colour + rowBytes * n;
    for (int y = 0; y < n; ++y) {
        std::uint8_t* row = colour + rowBytes * static_cast<std::size_t>(n - 1 - y);
        std::uint8_t* mrow = mask + maskRow * static_cast<std::size_t>(n - 1 - y);
        for (int x = 0; x < n; ++x) {
            const Rgba& c = px[static_cast<std::size_t>(y) * n + x];
            const bool clear = c.a < 128;
            if (clear) mrow[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            if (bits == 32) {
                std::uint8_t* p = row + x * 4;
                p[0] = byte_of(c.b), p[1] = byte_of(c.g), p[2] = byte_of(c.r), p[3] = byte_of(c.a);
            } else if (!clear) {  // a clear pixel is colour 0 (black): the mask shows the desktop
                int index = nearest(pal, c);
                if (bits == 8) row[x] = static_cast<std::uint8_t>(index);
                else row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
            }
        }
    }
    return out;
}

}  // namespace

std::vector<Bytes> icon_images(const Bytes& picture, const std::string& what) {
    RgbaImage src = decode(picture, what);
    if (src.width < 1 || src.height < 1) throw Failure(what + ": the picture is empty");
    std::vector<Bytes> out;
    for (int n : {16, 32}) {
        std::vector<Rgba> px = fit(src, n);
        for (int bits : {4, 8, 32}) out.push_back(icon_image(px, n, bits));
    }
    return out;
}

void set_icon_group(std::vector<pe::Resource>& list, const std::vector<Bytes>& images) {
    const pe::ResName groupType = pe::ResName::of(RT_GROUP_ICON), iconType = pe::ResName::of(RT_ICON);
    const pe::ResName group = pe::ResName::of(ICON_GROUP_ID);
    auto members = [](const Bytes& dir) {
        std::set<std::uint32_t> ids;
        std::size_t count = dir.size() >= 6 ? read_u16(&dir[4]) : 0;
        for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= dir.size(); ++i) ids.insert(read_u16(&dir[6 + 14 * i + 12]));
        return ids;
    };
    std::uint32_t language = PACKAGE_LANGUAGE;
    std::set<std::uint32_t> old, kept;
    for (const pe::Resource& r : list) {
        if (!(r.type == groupType)) continue;
        auto ids = members(r.data);
        if (r.name == group) {
            if (r.language.isId) language = r.language.id;
            old.insert(ids.begin(), ids.end());
        } else {
            kept.insert(ids.begin(), ids.end());
        }
    }
    // Images that only the old group used go with it; another group's stay.
    std::erase_if(list, [&](const pe::Resource& r) {
        if (r.type == groupType) return r.name == group;
        return r.type == iconType && r.name.isId && old.count(r.name.id) && !kept.count(r.name.id);
    });
    std::set<std::uint32_t> used;
    for (const pe::Resource& r : list)
        if (r.type == iconType && r.name.isId) used.insert(r.name.id);

    Bytes dir(6 + 14 * images.size(), 0);
    write_u16(&dir[2], 1);
    write_u16(&dir[4], static_cast<std::uint32_t>(images.size()));
    std::uint32_t next = 1;
    for (std::size_t i = 0; i < images.size(); ++i) {
        while (used.count(next)) ++next;
        const Bytes& image = images[i];
        const std::uint32_t n = read_u32(&image[4]), bits = read_u16(&image[14]);
        std::uint8_t* e = &dir[6 + 14 * i];
        e[0] = static_cast<std::uint8_t>(n), e[1] = static_cast<std::uint8_t>(n);
        e[2] = bits == 4 ? 16 : 0;  // colours in the palette, 0 for 256 and more
        write_u16(e + 4, 1);
        write_u16(e + 6, bits);
        write_u32(e + 8, static_cast<std::uint32_t>(image.size()));
        write_u16(e + 12, next);
        pe::Resource r;
        r.type = iconType;
        r.name = pe::ResName::of(next);
        r.language = pe::ResName::of(language);
        r.data = image;
        list.push_back(std::move(r));
        used.insert(next);
    }
    pe::Resource g;
    g.type = groupType;
    g.name = group;
    g.language = pe::ResName::of(language);
    g.data = std::move(dir);
    list.push_back(std::move(g));
}

}  // namespace sg::packtool
