#include "tools/core/manifest_pictures.h"

#include <optional>
#include <vector>

#include "tools/core/decoders.h"
#include "tools/core/images.h"
#include "tools/core/scene_budget.h"
#include "tools/core/sheets.h"

namespace sg::packtool::manifest {

namespace {

// Which pixels of a converted picture were transparent: one bit each, kept
// instead of the decoded picture until the key colour is chosen.
struct Coverage {
    int width = 0;
    std::vector<bool> clear;
    bool any = false;
    bool transparent(int x, int y) const { return clear[static_cast<std::size_t>(y) * width + x]; }
    bool anyTransparent() const { return any; }
};

// One frame as the author gave it.
struct FrameSource {
    std::string file;
    std::string setting;
    int line = 0;
    std::int32_t duration = 2;
    Bytes raw;                     // BMP bytes kept as they are
    std::optional<Coverage> decoded;  // or a PNG, JPEG, GIF frame or 32-bit BMP, converted
    Image pixels;                  // what the frame shows, for choosing a key colour
};

std::uint32_t colour_key(const std::uint8_t* bgr) { return bgr[0] | (bgr[1] << 8) | (bgr[2] << 16); }

// One bit for each of the 2^24 colours: 2 MiB whatever the picture's size,
// and a lookup that costs the same for every pixel.
class ColourSet {
public:
    ColourSet() : bits_(COLOURS / 64, 0) {}
    void insert(std::uint32_t c) { bits_[c >> 6] |= std::uint64_t{1} << (c & 63); }
    bool count(std::uint32_t c) const { return (bits_[(c & 0xffffff) >> 6] >> (c & 63)) & 1; }
    // The lowest colour not in the set, if any.
    std::optional<std::uint32_t> first_free() const {
        for (std::size_t w = 0; w < bits_.size(); ++w)
            if (bits_[w] != ~std::uint64_t{0})
                for (std::uint32_t b = 0; b < 64; ++b)
                    if (!((bits_[w] >> b) & 1)) return static_cast<std::uint32_t>(w * 64 + b);
        return std::nullopt;
    }
    static constexpr std::uint32_t COLOURS = 1u << 24;

private:
    std::vector<std::uint64_t> bits_;
};

// Colours of a frame's visible pixels.
ColourSet visible_colours(const FrameSource& f) {
    ColourSet used;
    for (int y = 0; y < f.pixels.height; ++y)
        for (int x = 0; x < f.pixels.width; ++x)
            if (!f.decoded || !f.decoded->transparent(x, y))
                used.insert(colour_key(&f.pixels.bgr[(static_cast<std::size_t>(y) * f.pixels.width + x) * 3]));
    return used;
}

std::optional<std::uint32_t> unused_colour(const ColourSet& used) {
    // Colours no artist picks on purpose first, then a walk that strides
    // across the colour cube (its 2^21 steps are the colours it can reach),
    // then every colour in order: a frame that shows all 2^24 has none free.
    for (std::uint32_t candidate : {0xff00ffu, 0x00ff00u, 0xffff00u, 0x00ffffu})
        if (!used.count(candidate)) return candidate;
    std::uint32_t v = 0x010203;
    for (std::uint32_t step = 0; step < ColourSet::COLOURS / 8; ++step, v += 0x010101 * 7 + 1)
        if (!used.count(v & 0xffffff)) return v & 0xffffff;
    return used.first_free();
}

// The decoded picture's colours and transparency; the picture itself is freed.
void convert(FrameSource& f, RgbaImage image) {
    const std::size_t n = static_cast<std::size_t>(image.width) * image.height;
    f.pixels.width = image.width;
    f.pixels.height = image.height;
    f.pixels.bgr.resize(n * 3);
    Coverage coverage;
    coverage.width = image.width;
    coverage.clear.resize(n);
    for (std::size_t p = 0; p < n; ++p) {
        for (int ch = 0; ch < 3; ++ch) f.pixels.bgr[3 * p + ch] = image.rgba[4 * p + 2 - ch];
        const bool clear = image.rgba[4 * p + 3] < 128;
        coverage.clear[p] = clear;
        coverage.any = coverage.any || clear;
    }
    f.decoded = std::move(coverage);
}

FrameSource from_cut(CutFrame cut) {
    FrameSource f;
    f.file = std::move(cut.file);
    f.setting = std::move(cut.setting);
    f.line = cut.line;
    f.duration = cut.duration;
    convert(f, std::move(cut.image));
    return f;
}

// One entry of frames = [ ... ]: a path or { file, duration }.
FrameSource listed_frame(Ctx& c, const Table& layer, const toml::node& item, std::size_t i, std::int32_t defaultDuration) {
    FrameSource f;
    f.setting = layer.where("frames") + "[" + std::to_string(i) + "]";
    f.line = line_of(item);
    f.duration = defaultDuration;
    if (item.is_string()) {
        f.file = item.as_string()->get();
    } else if (item.is_table()) {
        Table t{c, *item.as_table(), f.setting, f.line};
        t.allow({"file", "duration", "duration_ms"});
        auto file = t.string("file");
        if (!file) t.wrong("file", "is missing: give the frame's picture");
        f.file = *file;
        if (auto d = duration_of(t)) f.duration = *d;
    } else {
        fail(c, f.line, f.setting, "must be a path or { file = \"...\", duration = N }, not " + kind_of(item));
    }
    Bytes raw = load(c, f.line, f.setting, f.file);
    expect_picture_room(c, f.line, f.setting, f.file, raw, 3);
    std::optional<RgbaImage> decoded;
    try {
        decoded = decode_picture(raw, f.file, "a PNG, a JPEG, or an uncompressed 24- or 32-bit BMP");
    } catch (const Failure& e) {
        fail(c, f.line, f.setting, e.what());
    }
    if (decoded) {
        Bytes().swap(raw);
        convert(f, std::move(*decoded));
        decoded.reset();
        charge(c, f.line, f.setting, f.file, bmp24_bytes(f.pixels.width, f.pixels.height));
    } else {
        pack::Problems problems;
        pack::bmp_check(raw.data(), raw.size(), true, 0, problems);
        if (pack::has_errors(problems))
            fail(c, f.line, f.setting,
                 f.file + ": " + problem_text(problems) + "; frames must be PNG, JPEG, or uncompressed 24- or 32-bit BMP");
        charge(c, f.line, f.setting, f.file, raw.size());
        f.pixels = *pack::bmp_image(raw.data(), raw.size());
        f.raw = std::move(raw);
    }
    return f;
}

// frames = "walk.gif": every frame of an animated GIF, with its own delays.
std::vector<FrameSource> gif_frames(Ctx& c, const Table& layer, const std::string& file, std::int32_t defaultDuration) {
    const int line = line_of(*layer.node("frames"));
    const std::string setting = layer.where("frames");
    Bytes raw = load(c, line, setting, file);
    if (looks_like_json(raw)) {
        std::vector<FrameSource> frames;
        for (CutFrame& f : json_frames(c, layer, file, raw, defaultDuration)) frames.push_back(from_cut(std::move(f)));
        return frames;
    }
    if (!is_gif(raw))
        fail(c, line, setting, file + " looks like " + describe_file(raw) +
                                   "; frames as one path names an animated GIF or a sprite editor's JSON (write frames = [\"" +
                                   file + "\"] for a single picture)");
    expect_picture_room(c, line, setting, file, raw, 3);
    const std::optional<int> every = every_of(layer, true);
    std::vector<GifFrame> decoded;
    try {
        decoded = gif_decode(raw, file, MAX_GIF_FRAMES);
    } catch (const Failure& e) {
        fail(c, line, setting, e.what());
    }
    const std::size_t kept = frames_kept(layer, file, decoded.size(), every);
    std::vector<FrameSource> frames;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        FrameSource f;
        f.file = file + " frame " + std::to_string(i);
        f.setting = setting + " (GIF frame " + std::to_string(i) + ")";
        f.line = line;
        f.duration = ticks_of_ms(decoded[i].delayMs);
        convert(f, std::move(decoded[i].image));
        charge(c, line, f.setting, file, bmp24_bytes(f.pixels.width, f.pixels.height));
        frames.push_back(std::move(f));
    }
    keep_every(frames, kept, every.value_or(1));
    return frames;
}

}  // namespace

// A duration in ticks, or in milliseconds rounded to the nearest tick.
std::optional<std::int32_t> duration_of(const Table& t) {
    const std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    if (t.node("duration") && t.node("duration_ms")) t.wrong("duration_ms", "give duration (ticks) or duration_ms, not both");
    if (auto ms = t.integer("duration_ms", 0, hi, "0 and up (milliseconds, rounded to ticks of 33 ms, at least 1)"))
        return ticks_of_ms(*ms);
    if (auto d = t.code("duration")) return *d;
    if (auto d = t.integer("duration", 0, hi, "0 and up (ticks of 33 ms)")) return static_cast<std::int32_t>(*d);
    return std::nullopt;
}

// A background picture: PNG converted, BMP kept as it is when the engine takes it.
Bytes background_picture(Ctx& c, const Table& scene, std::string_view key) {
    const toml::node* n = scene.node(key);
    std::string setting = scene.where(key);
    std::string file;
    int bits = 0;
    std::optional<PictureSize> resize;
    if (n->is_string()) {
        file = n->as_string()->get();
    } else if (n->is_table()) {
        Table t{c, *n->as_table(), setting, line_of(*n)};
        t.allow({"file", "bits", "resize"});
        auto f = t.string("file");
        if (!f) t.wrong("file", "is missing: give the picture's path");
        file = *f;
        bits = static_cast<int>(t.integer("bits", 8, 24, "8 or 24").value_or(0));
        if (bits != 0 && bits != 8 && bits != 24) t.wrong("bits", std::to_string(bits) + " is out of range; allowed: 8 or 24");
        resize = resize_of(t);
    } else {
        scene.wrong(key, "must be a path, or a table { file = \"...\", bits = 8 }, not " + kind_of(*n));
    }
    const int line = line_of(*n);
    Bytes raw = load(c, line, setting, file);
    expect_picture_room(c, line, setting, file, raw, bits == 8 ? 1 : 3);
    Image image;
    std::optional<RgbaImage> decoded;
    try {
        decoded = decode_picture(raw, file, "a PNG, a JPEG, or an uncompressed 8-, 24- or 32-bit BMP");
    } catch (const Failure& e) {
        fail(c, line, setting, e.what());
    }
    if (decoded) {
        Bytes().swap(raw);
        if (resize) *decoded = cover(*decoded, *resize);
        const RgbaImage& png = *decoded;
        image.width = png.width;
        image.height = png.height;
        image.bgr.resize(static_cast<std::size_t>(png.width) * png.height * 3);
        for (std::size_t i = 0; i < static_cast<std::size_t>(png.width) * png.height; ++i) {
            // Backgrounds have no transparency: blend onto black.
            unsigned a = png.rgba[4 * i + 3];
            for (int ch = 0; ch < 3; ++ch)
                image.bgr[3 * i + ch] = static_cast<std::uint8_t>(png.rgba[4 * i + 2 - ch] * a / 255);
        }
        decoded.reset();
    } else {
        pack::Problems problems;
        pack::bmp_check(raw.data(), raw.size(), false, 0, problems);
        if (pack::has_errors(problems))
            fail(c, line, setting, file + ": " + problem_text(problems) + " (give a PNG, a JPEG, or an uncompressed 8-, 24- or 32-bit BMP)");
        pack::BmpHeader h = pack::bmp_header(raw.data(), raw.size());
        if (!resize && (bits == 0 || bits == h.bitCount)) {
            charge(c, line, setting, file, raw.size());
            return raw;
        }
        image = *pack::bmp_image(raw.data(), raw.size());
        Bytes().swap(raw);
        if (resize) image = bgr_of(cover(rgba_of(image), *resize));
    }
    if (bits == 8) {
        Bytes out;
        if (!bmp8_from_image(image, out)) {
            // More colours than a palette holds: reduce them, dithered.
            std::size_t colours = 0;
            out = bmp8_reduced(image, colours);
            c.notes.push_back(setting + ": " + file + " has " + std::to_string(colours) +
                              " colours; reduced to 256 with dithering for bits = 8 (use bits = 24 to keep them all)");
        }
        charge(c, line, setting, file, out.size());
        return out;
    }
    charge(c, line, setting, file, bmp24_bytes(image.width, image.height));
    return pack::bmp24(image);
}

pack::AnimSet build_set(Ctx& c, const Table& layer, std::int32_t defaultDuration, std::vector<Place>& places) {
    const toml::node* n = layer.node("frames");
    std::vector<FrameSource> frames;
    if (n->is_string()) {
        frames = gif_frames(c, layer, n->as_string()->get(), defaultDuration);
    } else if (n->is_table()) {
        for (CutFrame& f : sheet_frames(c, layer, defaultDuration)) frames.push_back(from_cut(std::move(f)));
    } else {
        if (!n->is_array())
            layer.wrong("frames", "must be an array of paths or { file, duration } tables, a sheet { sheet, columns, rows }, "
                                  "or the path of an animated GIF or a sprite editor's JSON, not " + kind_of(*n));
        every_of(layer, false);
        const toml::array& list = *n->as_array();
        if (list.empty()) layer.wrong("frames", "is empty; a layer shows 1 to 20 frames");
        if (list.size() > pack::MAX_SET_FRAMES)
            layer.wrong("frames", "lists " + std::to_string(list.size()) + " frames; at most 20 fit in a set");
        for (std::size_t i = 0; i < list.size(); ++i) frames.push_back(listed_frame(c, layer, list[i], i, defaultDuration));
    }
    // Resized and mirrored as the layer asks, before any key colour is chosen.
    if (const FrameChanges changes = frame_changes(layer); changes.any())
        for (FrameSource& f : frames) {
            // The decoded picture is gone by now: its colours and which pixels
            // were clear are what is left of it.
            RgbaImage image = rgba_of(f.pixels);
            if (f.decoded)
                for (std::size_t p = 0; p < f.decoded->clear.size(); ++p)
                    if (f.decoded->clear[p]) image.rgba[4 * p + 3] = 0;
            changes.apply(image);
            f.raw.clear();
            convert(f, std::move(image));
        }
    places.clear();
    for (const FrameSource& f : frames) places.push_back({f.line, f.setting});

    // The mask mode: as asked, or chosen to fit the PNGs' transparency.
    const toml::node* maskNode = layer.node("mask");
    int mask = 0;
    bool autoMask = true;
    if (auto code = layer.code("mask")) {
        mask = *code;
        autoMask = false;
        if (mask < 0 || mask > 3)
            for (const FrameSource& f : frames)
                if (f.decoded && f.decoded->anyTransparent())
                    fail(c, f.line, f.setting,
                         f.file + ": has transparent pixels, but mask code " + std::to_string(mask) +
                             " keys no colour; give a mask word (\"black\", \"white\", \"top-left\" or \"opaque\")");
    } else if (maskNode && !(maskNode->is_string() && maskNode->as_string()->get() == "auto")) {
        mask = *layer.word("mask", names::MASK, false, "a mask mode");
        autoMask = false;
    }
    bool anyAlpha = false;
    for (const FrameSource& f : frames) anyAlpha = anyAlpha || (f.decoded && f.decoded->anyTransparent());
    std::vector<ColourSet> used;
    for (const FrameSource& f : frames) used.push_back(visible_colours(f));
    auto unusedEverywhere = [&](std::uint32_t key) {
        return std::none_of(used.begin(), used.end(), [&](const auto& u) { return u.count(key) != 0; });
    };
    auto topLeftFree = [&](std::size_t i) { return !frames[i].decoded || !frames[i].decoded->anyTransparent() || frames[i].decoded->transparent(0, 0); };
    if (autoMask) {
        if (!anyAlpha) {
            mask = 0;
        } else if (unusedEverywhere(0x000000)) {
            mask = 1;
        } else if (unusedEverywhere(0xffffff)) {
            mask = 2;
        } else {
            mask = 0;
            for (std::size_t i = 0; i < frames.size(); ++i)
                if (!topLeftFree(i))
                    fail(c, frames[i].line, frames[i].setting,
                         frames[i].file + ": no key colour fits: the layer's frames show both pure black and pure "
                                          "white, and this frame's top-left pixel is not transparent. Make the "
                                          "top-left pixel transparent, or keep pure black (or white) out of the "
                                          "visible pixels");
        }
        if (anyAlpha)
            c.notes.push_back(layer.prefix + ": transparent pixels keyed with mask = \"" +
                              std::string(names::MASK[static_cast<std::size_t>(mask)]) + "\"");
    }

    pack::AnimSet set;
    set.maskMode = mask;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        FrameSource& f = frames[i];
        if (!f.decoded) {
            set.frames.push_back({std::move(f.raw), f.duration});
            continue;
        }
        if (f.decoded->anyTransparent() && mask != 3) {
            std::uint32_t key = 0;
            if (mask == 1) key = 0x000000;
            if (mask == 2) key = 0xffffff;
            if (mask == 0) {
                if (!f.decoded->transparent(0, 0))
                    fail(c, f.line, f.setting,
                         f.file + ": with mask = \"top-left\" the top-left pixel is the key colour, but it is not "
                                  "transparent in this frame");
                const auto free = unused_colour(used[i]);
                if (!free)
                    fail(c, f.line, f.setting,
                         f.file + ": its visible pixels show every one of the 16777216 colours, so none is free to "
                                  "key the transparent ones; use mask = \"black\" or \"white\" with that colour kept "
                                  "out of the visible pixels, or fewer colours");
                key = *free;
            } else if (used[i].count(key)) {
                fail(c, f.line, f.setting,
                     f.file + ": visible pixels are pure " + (mask == 1 ? "black" : "white") + ", which mask = \"" +
                         std::string(names::MASK[static_cast<std::size_t>(mask)]) +
                         "\" makes transparent; use mask = \"auto\" or change those pixels");
            }
            for (int y = 0; y < f.pixels.height; ++y)
                for (int x = 0; x < f.pixels.width; ++x)
                    if (f.decoded->transparent(x, y)) f.pixels.set(x, y, key & 0xff, (key >> 8) & 0xff, key >> 16);
        }
        set.frames.push_back({pack::bmp24(f.pixels), f.duration});
        f.pixels = Image{};
        f.decoded.reset();
    }
    return set;
}

}  // namespace sg::packtool::manifest
