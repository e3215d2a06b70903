#include "tools/pack/manifest.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <limits>
#include <set>
#include <sstream>
#include <unordered_set>

#include "tools/pack/images.h"
#include "tools/pack/names.h"
#include "tools/pack/sjis.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

// ------------------------------------------------------------ reading

struct Ctx {
    std::string name;  // the manifest as the user named it
    fs::path dir;
    std::vector<std::string> notes;
};

int line_of(const toml::node& n) { return static_cast<int>(n.source().begin.line); }

[[noreturn]] void fail(const Ctx& c, int line, const std::string& setting, const std::string& message) {
    throw Failure(c.name + ":" + std::to_string(line) + ": " + setting + ": " + message);
}

std::string kind_of(const toml::node& n) {
    switch (n.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number with a fraction";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::array: return "an array";
    case toml::node_type::table: return "a table";
    default: return "a date or time";
    }
}

std::string join(const std::string& prefix, std::string_view key) {
    return prefix.empty() ? std::string(key) : prefix + "." + std::string(key);
}

// A table of the manifest with the keys it may hold.
struct Table {
    const Ctx& c;
    const toml::table& t;
    std::string prefix;
    int line;

    void allow(std::initializer_list<std::string_view> keys) const {
        for (auto&& [key, value] : t) {
            if (std::find(keys.begin(), keys.end(), key.str()) != keys.end()) continue;
            std::string allowed;
            for (std::string_view k : keys) allowed += (allowed.empty() ? "" : ", ") + std::string(k);
            fail(c, line_of(value), join(prefix, key.str()), "unknown setting; allowed here: " + allowed);
        }
    }
    const toml::node* node(std::string_view key) const { return t.get(key); }
    std::string where(std::string_view key) const { return join(prefix, key); }

    [[noreturn]] void wrong(std::string_view key, const std::string& message) const {
        const toml::node* n = node(key);
        fail(c, n ? line_of(*n) : line, where(key), message);
    }

    std::optional<std::int64_t> integer(std::string_view key, std::int64_t lo, std::int64_t hi,
                                        const std::string& range) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (!n->is_integer()) wrong(key, "must be an integer (" + range + "), not " + kind_of(*n));
        std::int64_t v = n->as_integer()->get();
        if (v < lo || v > hi) wrong(key, std::to_string(v) + " is out of range; allowed: " + range);
        return v;
    }
    std::optional<std::int32_t> int32(std::string_view key) const {
        auto v = integer(key, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
                         "a 32-bit signed integer");
        return v ? std::optional<std::int32_t>(static_cast<std::int32_t>(*v)) : std::nullopt;
    }
    std::optional<std::string> string(std::string_view key) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (!n->is_string()) wrong(key, "must be a string, not " + kind_of(*n));
        return n->as_string()->get();
    }
    // true/false, or a number (the engine takes any non-zero as on).
    std::optional<std::int32_t> flag(std::string_view key) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (n->is_boolean()) return n->as_boolean()->get() ? 1 : 0;
        if (n->is_integer()) return int32(key);
        wrong(key, "must be true or false, not " + kind_of(*n));
    }
    // A word from the table, or (when numbers are allowed) its code.
    template <std::size_t N>
    std::optional<std::int32_t> word(std::string_view key, const std::array<std::string_view, N>& words,
                                     bool anyNumber, const char* what = nullptr) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (n->is_string()) {
            std::string w = n->as_string()->get();
            if (auto code = names::code_of(words, w)) return *code;
            if (w == "centered" && words.size() == names::FIT.size() && words[0] == names::FIT[0]) return 0;
            wrong(key, "\"" + w + "\" is not " + (what ? what : "allowed") + "; use " + names::listing(words));
        }
        if (n->is_integer()) {
            if (anyNumber) return int32(key);
            return static_cast<std::int32_t>(*integer(key, 0, static_cast<std::int64_t>(N) - 1,
                                                      names::listing(words) + " or their codes 0.." + std::to_string(N - 1)));
        }
        wrong(key, "must be one of " + names::listing(words) + ", not " + kind_of(*n));
    }
    std::optional<Table> sub(std::string_view key) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (!n->is_table()) wrong(key, "must be a table, not " + kind_of(*n));
        return Table{c, *n->as_table(), where(key), line_of(*n)};
    }
};

std::string sjis_text(const Ctx& c, int line, const std::string& setting, const std::string& utf8) {
    auto sjis = utf8_to_sjis(utf8);
    if (!sjis) fail(c, line, setting, "has characters that Shift-JIS (code page 932) cannot hold");
    if (sjis->size() > 299)
        fail(c, line, setting, "is " + std::to_string(sjis->size()) + " bytes in Shift-JIS; at most 299 fit");
    if (sjis->find('\0') != std::string::npos) fail(c, line, setting, "must not contain a NUL character");
    return *sjis;
}

std::string hex_text(const Ctx& c, int line, const std::string& setting, const std::string& hex) {
    Bytes bytes;
    if (!parse_hex_bytes(hex, bytes)) fail(c, line, setting, "must be pairs of hexadecimal digits");
    if (bytes.size() > 299) fail(c, line, setting, "holds " + std::to_string(bytes.size()) + " bytes; at most 299 fit");
    if (std::find(bytes.begin(), bytes.end(), 0) != bytes.end()) fail(c, line, setting, "must not contain a 00 byte");
    return std::string(bytes.begin(), bytes.end());
}

Bytes load(const Ctx& c, int line, const std::string& setting, const std::string& file) {
    fs::path path = fs::path(file).is_absolute() ? fs::path(file) : c.dir / file;
    try {
        return read_file(path);
    } catch (const Failure& e) {
        fail(c, line, setting, std::string(e.what()));
    }
}

std::string problem_text(const pack::Problems& problems) {
    for (const pack::Problem& p : problems)
        if (p.severity == pack::Severity::Error) return p.message;
    return "";
}

// A background picture: PNG converted, BMP kept as it is when the engine takes it.
Bytes background_picture(const Ctx& c, const Table& scene, std::string_view key) {
    const toml::node* n = scene.node(key);
    std::string setting = scene.where(key);
    std::string file;
    int bits = 0;
    if (n->is_string()) {
        file = n->as_string()->get();
    } else if (n->is_table()) {
        Table t{c, *n->as_table(), setting, line_of(*n)};
        t.allow({"file", "bits"});
        auto f = t.string("file");
        if (!f) t.wrong("file", "is missing: give the picture's path");
        file = *f;
        bits = static_cast<int>(t.integer("bits", 8, 24, "8 or 24").value_or(0));
        if (bits != 0 && bits != 8 && bits != 24) t.wrong("bits", std::to_string(bits) + " is out of range; allowed: 8 or 24");
    } else {
        scene.wrong(key, "must be a path, or a table { file = \"...\", bits = 8 }, not " + kind_of(*n));
    }
    const int line = line_of(*n);
    Bytes raw = load(c, line, setting, file);
    Image image;
    if (is_png(raw)) {
        RgbaImage png;
        try {
            png = png_decode(raw, file);
        } catch (const Failure& e) {
            fail(c, line, setting, e.what());
        }
        image.width = png.width;
        image.height = png.height;
        image.bgr.resize(static_cast<std::size_t>(png.width) * png.height * 3);
        for (std::size_t i = 0; i < static_cast<std::size_t>(png.width) * png.height; ++i) {
            // Backgrounds have no transparency: blend onto black.
            unsigned a = png.rgba[4 * i + 3];
            for (int ch = 0; ch < 3; ++ch)
                image.bgr[3 * i + ch] = static_cast<std::uint8_t>(png.rgba[4 * i + 2 - ch] * a / 255);
        }
    } else {
        pack::Problems problems;
        pack::bmp_check(raw.data(), raw.size(), false, 0, problems);
        if (pack::has_errors(problems))
            fail(c, line, setting, file + ": " + problem_text(problems) + " (give a PNG, or an uncompressed 8- or 24-bit BMP)");
        pack::BmpHeader h = pack::bmp_header(raw.data(), raw.size());
        if (bits == 0 || bits == h.bitCount) return raw;
        image = *pack::bmp_image(raw.data(), raw.size());
    }
    if (bits == 8) {
        Bytes out;
        if (!bmp8_from_image(image, out))
            fail(c, line, setting, file + " has more than 256 colours; an 8-bit picture holds at most 256 (use bits = 24)");
        return out;
    }
    return pack::bmp24(image);
}

// One frame as the author gave it.
struct FrameSource {
    std::string file;
    std::string setting;
    int line = 0;
    std::int32_t duration = 2;
    Bytes raw;                     // BMP bytes kept as they are
    std::optional<RgbaImage> png;  // or a PNG to convert
    Image pixels;                  // what the frame shows, for choosing a key colour
};

std::uint32_t colour_key(const std::uint8_t* bgr) { return bgr[0] | (bgr[1] << 8) | (bgr[2] << 16); }

// Colours of a frame's visible pixels.
std::unordered_set<std::uint32_t> visible_colours(const FrameSource& f) {
    std::unordered_set<std::uint32_t> used;
    for (int y = 0; y < f.pixels.height; ++y)
        for (int x = 0; x < f.pixels.width; ++x)
            if (!f.png || !f.png->transparent(x, y))
                used.insert(colour_key(&f.pixels.bgr[(static_cast<std::size_t>(y) * f.pixels.width + x) * 3]));
    return used;
}

std::uint32_t unused_colour(const std::unordered_set<std::uint32_t>& used) {
    // Colours no artist picks on purpose first, then anything free.
    for (std::uint32_t candidate : {0xff00ffu, 0x00ff00u, 0xffff00u, 0x00ffffu})
        if (!used.count(candidate)) return candidate;
    for (std::uint32_t v = 0x010203;; v += 0x010101 * 7 + 1)
        if (!used.count(v & 0xffffff)) return v & 0xffffff;
}

pack::AnimSet build_set(Ctx& c, const Table& layer, int index, std::int32_t defaultDuration) {
    const toml::node* n = layer.node("frames");
    if (!n->is_array()) layer.wrong("frames", "must be an array of paths or { file, duration } tables, not " + kind_of(*n));
    const toml::array& list = *n->as_array();
    if (list.empty()) layer.wrong("frames", "is empty; a layer shows 1 to 20 frames");
    if (list.size() > 20) layer.wrong("frames", "lists " + std::to_string(list.size()) + " frames; at most 20 fit in a set");

    std::vector<FrameSource> frames;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const toml::node& item = list[i];
        FrameSource f;
        f.setting = layer.where("frames") + "[" + std::to_string(i) + "]";
        f.line = line_of(item);
        f.duration = defaultDuration;
        if (item.is_string()) {
            f.file = item.as_string()->get();
        } else if (item.is_table()) {
            Table t{c, *item.as_table(), f.setting, f.line};
            t.allow({"file", "duration"});
            auto file = t.string("file");
            if (!file) t.wrong("file", "is missing: give the frame's picture");
            f.file = *file;
            if (auto d = t.integer("duration", 0, std::numeric_limits<std::int32_t>::max(), "0 and up (ticks of 33 ms)"))
                f.duration = static_cast<std::int32_t>(*d);
        } else {
            fail(c, f.line, f.setting, "must be a path or { file = \"...\", duration = N }, not " + kind_of(item));
        }
        Bytes raw = load(c, f.line, f.setting, f.file);
        if (is_png(raw)) {
            try {
                f.png = png_decode(raw, f.file);
            } catch (const Failure& e) {
                fail(c, f.line, f.setting, e.what());
            }
            f.pixels.width = f.png->width;
            f.pixels.height = f.png->height;
            f.pixels.bgr.resize(static_cast<std::size_t>(f.png->width) * f.png->height * 3);
            for (std::size_t p = 0; p < static_cast<std::size_t>(f.png->width) * f.png->height; ++p)
                for (int ch = 0; ch < 3; ++ch) f.pixels.bgr[3 * p + ch] = f.png->rgba[4 * p + 2 - ch];
        } else {
            pack::Problems problems;
            pack::bmp_check(raw.data(), raw.size(), true, 0, problems);
            if (pack::has_errors(problems))
                fail(c, f.line, f.setting,
                     f.file + ": " + problem_text(problems) + "; frames must be PNG or uncompressed 24-bit BMP");
            f.pixels = *pack::bmp_image(raw.data(), raw.size());
            f.raw = std::move(raw);
        }
        frames.push_back(std::move(f));
    }

    // The mask mode: as asked, or chosen to fit the PNGs' transparency.
    const toml::node* maskNode = layer.node("mask");
    int mask = -1;  // auto
    if (maskNode && !(maskNode->is_string() && maskNode->as_string()->get() == "auto"))
        mask = *layer.word("mask", names::MASK, false, "a mask mode");
    bool anyAlpha = false;
    for (const FrameSource& f : frames) anyAlpha = anyAlpha || (f.png && f.png->anyTransparent());
    std::vector<std::unordered_set<std::uint32_t>> used;
    for (const FrameSource& f : frames) used.push_back(visible_colours(f));
    auto unusedEverywhere = [&](std::uint32_t key) {
        return std::none_of(used.begin(), used.end(), [&](const auto& u) { return u.count(key) != 0; });
    };
    auto topLeftFree = [&](std::size_t i) { return !frames[i].png || !frames[i].png->anyTransparent() || frames[i].png->transparent(0, 0); };
    if (mask < 0) {
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
        if (!f.png) {
            set.frames.push_back({std::move(f.raw), f.duration});
            continue;
        }
        if (f.png->anyTransparent() && mask != 3) {
            std::uint32_t key = 0;
            if (mask == 1) key = 0x000000;
            if (mask == 2) key = 0xffffff;
            if (mask == 0) {
                if (!f.png->transparent(0, 0))
                    fail(c, f.line, f.setting,
                         f.file + ": with mask = \"top-left\" the top-left pixel is the key colour, but it is not "
                                  "transparent in this frame");
                key = unused_colour(used[i]);
            } else if (used[i].count(key)) {
                fail(c, f.line, f.setting,
                     f.file + ": visible pixels are pure " + (mask == 1 ? "black" : "white") + ", which mask = \"" +
                         std::string(names::MASK[static_cast<std::size_t>(mask)]) +
                         "\" makes transparent; use mask = \"auto\" or change those pixels");
            }
            for (int y = 0; y < f.pixels.height; ++y)
                for (int x = 0; x < f.pixels.width; ++x)
                    if (f.png->transparent(x, y)) f.pixels.set(x, y, key & 0xff, (key >> 8) & 0xff, key >> 16);
        }
        set.frames.push_back({pack::bmp24(f.pixels), f.duration});
    }
    (void)index;
    return set;
}

pack::Layer build_layer(Ctx& c, const Table& t, int index) {
    t.allow({"enabled", "frames", "duration", "mask", "instances", "direction", "speed", "sway", "entry",
             "placement", "start", "keep_inside", "random_start", "reentry_cycles", "delay", "max_wait", "loops",
             "set_offset", "set_size"});
    pack::Layer layer;
    pack::LayerSettings& s = layer.settings;
    s.enabled = t.flag("enabled").value_or(1);
    // A layer that is off is never read by the engine: it keeps any numbers.
    const bool strict = s.enabled != 0;
    const std::int64_t lo32 = std::numeric_limits<std::int32_t>::min(), hi32 = std::numeric_limits<std::int32_t>::max();
    auto ranged = [&](std::string_view key, std::int64_t lo, std::int64_t hi, const std::string& range) {
        return strict ? t.integer(key, lo, hi, range) : t.integer(key, lo32, hi32, "a 32-bit signed integer");
    };
    s.instanceCount = static_cast<std::int32_t>(ranged("instances", 0, 50, "0..50").value_or(strict ? 10 : 0));
    s.directionCode = t.word("direction", names::DIRECTION, !strict, "a direction").value_or(7);
    s.speedClass = static_cast<std::int32_t>(ranged("speed", 0, 4, "0..4 (1, 2, 5, 9 or 16 pixels a tick)").value_or(1));
    s.entryEdge = t.word("entry", names::ENTRY, !strict, "an entry side").value_or(1);
    s.keepInside = t.flag("keep_inside").value_or(0);
    s.randomStart = t.flag("random_start").value_or(1);
    s.reentryCycles = static_cast<std::int32_t>(ranged("reentry_cycles", 0, hi32, "0 and up").value_or(65535));
    s.delayMode = t.word("delay", names::DELAY, !strict, "a delay mode").value_or(1);
    s.maxWait = static_cast<std::int32_t>(ranged("max_wait", 0, hi32, "0 and up (ticks of 33 ms)").value_or(0));
    s.loops = t.flag("loops").value_or(1);

    if (const toml::node* sway = t.node("sway")) {
        if (sway->is_string()) {
            if (sway->as_string()->get() != "none")
                t.wrong("sway", "\"" + sway->as_string()->get() + "\" is not allowed; use \"none\" or { axis = \"x\", row = 1 }");
            s.swayAxis = names::SWAY_NONE_CODE;
        } else if (sway->is_table()) {
            Table w = *t.sub("sway");
            w.allow({"axis", "row"});
            if (const toml::node* axis = w.node("axis"); axis && axis->is_string() && axis->as_string()->get() == "none")
                s.swayAxis = names::SWAY_NONE_CODE;
            else
                s.swayAxis = w.word("axis", names::SWAY_AXIS, true, "a sway axis (\"x\", \"y\" or \"none\")").value_or(1);
            const bool swaying = s.swayAxis == 0 || s.swayAxis == 1;
            s.swayRow = static_cast<std::int32_t>(
                (strict && swaying ? w.integer("row", 0, 4, "0..4 (swings of 30, 55, 75, 90 or 150 pixels)")
                                   : w.integer("row", lo32, hi32, "a 32-bit signed integer"))
                    .value_or(1));
        } else {
            t.wrong("sway", "must be \"none\" or a table { axis = \"x\", row = 1 }, not " + kind_of(*sway));
        }
    }

    bool hasStart = t.node("start") != nullptr;
    if (auto start = t.sub("start")) {
        start->allow({"corner", "x", "y"});
        s.startCorner = start->word("corner", names::CORNER, !strict, "a corner").value_or(0);
        s.startX = start->int32("x").value_or(0);
        s.startY = start->int32("y").value_or(0);
    }
    if (const toml::node* p = t.node("placement")) {
        if (p->is_string()) {
            std::string w = p->as_string()->get();
            if (w == "random") s.placement = names::PLACEMENT_RANDOM;
            else if (w == "fixed") s.placement = names::PLACEMENT_FIXED_CODE;
            else t.wrong("placement", "\"" + w + "\" is not allowed; use \"random\" or \"fixed\"");
        } else {
            s.placement = *t.int32("placement");
        }
    } else {
        // Giving a start position means the author wants it used.
        s.placement = hasStart ? names::PLACEMENT_FIXED_CODE : names::PLACEMENT_RANDOM;
    }

    std::int32_t duration = static_cast<std::int32_t>(
        t.integer("duration", 0, hi32, "0 and up (ticks of 33 ms)").value_or(2));
    if (t.node("frames")) {
        layer.set = build_set(c, t, index, duration);
    } else {
        if (strict) fail(c, t.line, t.prefix, "an enabled layer needs frames = [ ... ]");
        if (t.node("mask")) t.wrong("mask", "is only for a layer with frames");
    }
    auto setOffset = t.int32("set_offset");
    auto setSize = t.int32("set_size");
    if (setOffset || setSize) {
        if (strict) t.wrong(setOffset ? "set_offset" : "set_size", "is only for a layer that is off (enabled = false)");
        layer.keepSetFields = true;
        s.setOffset = setOffset.value_or(76);
        s.setSize = setSize.value_or(0);
    }
    return layer;
}

}  // namespace

Built build_manifest_text(const std::string& text, const std::string& name, const fs::path& dir) {
    Ctx c{name, dir, {}};
    toml::table root;
    try {
        root = toml::parse(text, name);
    } catch (const toml::parse_error& e) {
        throw Failure(name + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description()));
    }
    Table top{c, root, "", 1};
    top.allow({"title", "title_bytes", "background", "picture", "tile", "fit", "sound", "about", "layer", "leftovers"});

    Built built;
    pack::Package& p = built.package;
    int padLine = 0;
    pack::Scene& s = p.scene;

    if (auto title = top.string("title")) {
        if (top.node("title_bytes")) top.wrong("title_bytes", "give title or title_bytes, not both");
        s.title = sjis_text(c, line_of(*top.node("title")), "title", *title);
    } else if (auto bytes = top.string("title_bytes")) {
        s.title = hex_text(c, line_of(*top.node("title_bytes")), "title_bytes", *bytes);
    } else {
        fail(c, 1, "title", "is missing: every scene needs a title (it names the saver's window)");
    }
    if (s.title.empty()) top.wrong(top.node("title") ? "title" : "title_bytes", "must not be empty");

    s.backgroundMode = top.word("background", names::BACKGROUND, false, "a background").value_or(0);
    if (auto fit = top.word("fit", names::FIT, s.backgroundMode != 4, "a fit")) s.pictureFit = *fit;
    if (top.node("picture")) {
        if (s.backgroundMode != 4)
            top.wrong("picture", "is only used with background = \"picture\" (background is \"" +
                                     names::word_of(names::BACKGROUND, s.backgroundMode) + "\")");
        s.picture = background_picture(c, top, "picture");
    } else if (s.backgroundMode == 4) {
        fail(c, line_of(*top.node("background")), "picture", "is missing: background = \"picture\" needs picture = \"file.png\"");
    }
    if (top.node("tile")) {
        if (s.backgroundMode != 3)
            top.wrong("tile", "is only used with background = \"tiled\" (background is \"" +
                                  names::word_of(names::BACKGROUND, s.backgroundMode) + "\")");
        s.tile = background_picture(c, top, "tile");
    } else if (s.backgroundMode == 3) {
        fail(c, line_of(*top.node("background")), "tile", "is missing: background = \"tiled\" needs tile = \"file.png\"");
    }
    if (auto sound = top.string("sound")) {
        int line = line_of(*top.node("sound"));
        s.sound = load(c, line, "sound", *sound);
        const Bytes& w = s.sound;
        bool riff = w.size() >= 12 && std::equal(w.begin(), w.begin() + 4, "RIFF") && std::equal(w.begin() + 8, w.begin() + 12, "WAVE");
        if (!riff) fail(c, line, "sound", *sound + " is not a WAV file (no RIFF/WAVE header)");
        if (static_cast<std::uint64_t>(le32(&w[4])) + 8 > w.size())
            fail(c, line, "sound", *sound + " is cut short: its RIFF header says " + std::to_string(le32(&w[4]) + 8ull) +
                                       " bytes, the file has " + std::to_string(w.size()));
    }

    if (const toml::node* about = top.node("about")) {
        if (!about->is_array()) top.wrong("about", "must be an array of up to 5 lines, not " + kind_of(*about));
        const toml::array& lines = *about->as_array();
        if (lines.size() > 5) top.wrong("about", "has " + std::to_string(lines.size()) + " lines; the about box shows at most 5");
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const toml::node& item = lines[i];
            std::string setting = "about[" + std::to_string(i) + "]";
            if (item.is_string()) {
                p.info.lines[i] = sjis_text(c, line_of(item), setting, item.as_string()->get());
                p.info.lineShown[i] = 1;
            } else if (item.is_table()) {
                Table t{c, *item.as_table(), setting, line_of(item)};
                t.allow({"text", "bytes", "shown"});
                if (auto text = t.string("text")) p.info.lines[i] = sjis_text(c, line_of(*t.node("text")), t.where("text"), *text);
                else if (auto bytes = t.string("bytes")) p.info.lines[i] = hex_text(c, line_of(*t.node("bytes")), t.where("bytes"), *bytes);
                p.info.lineShown[i] = t.flag("shown").value_or(1);
            } else {
                fail(c, line_of(item), setting, "must be a string or { text = \"...\", shown = false }, not " + kind_of(item));
            }
        }
    }

    if (const toml::node* layers = top.node("layer")) {
        if (!layers->is_array_of_tables()) top.wrong("layer", "must be written as [[layer]] tables");
        const toml::array& list = *layers->as_array();
        if (list.size() > 10) fail(c, line_of(list[10]), "layer", "a scene has at most 10 layers");
        for (std::size_t k = 0; k < list.size(); ++k) {
            Table t{c, *list[k].as_table(), "layer[" + std::to_string(k) + "]", line_of(list[k])};
            p.layers[k] = build_layer(c, t, static_cast<int>(k));
        }
    }

    if (auto left = top.sub("leftovers")) {
        left->allow({"tile_offset", "tile_size", "picture_offset", "picture_size", "sound_offset", "sound_size",
                     "directory_12", "directory_13", "pad_to", "optional_block_1", "optional_block_2",
                     "optional_block_2_present"});
        auto only_without = [&](std::string_view key, bool stored, const char* what) {
            if (stored && left->node(key)) left->wrong(key, std::string("is only for a scene without a ") + what);
        };
        only_without("tile_offset", !s.tile.empty(), "tile");
        only_without("tile_size", !s.tile.empty(), "tile");
        only_without("picture_offset", !s.picture.empty(), "picture");
        only_without("picture_size", !s.picture.empty(), "picture");
        only_without("sound_offset", !s.sound.empty(), "sound");
        only_without("sound_size", !s.sound.empty(), "sound");
        s.leftoverTileOffset = left->int32("tile_offset").value_or(0);
        s.leftoverTileSize = left->int32("tile_size").value_or(0);
        s.leftoverPictureOffset = left->int32("picture_offset").value_or(0);
        s.leftoverPictureSize = left->int32("picture_size").value_or(0);
        s.leftoverSoundOffset = left->int32("sound_offset").value_or(0);
        s.leftoverSoundSize = left->int32("sound_size").value_or(0);
        auto pair = [&](std::string_view key, std::array<std::int32_t, 2>& into) {
            const toml::node* n = left->node(key);
            if (!n) return;
            const toml::array* a = n->as_array();
            if (!a || a->size() != 2 || !(*a)[0].is_integer() || !(*a)[1].is_integer())
                left->wrong(key, "must be [offset, size], two integers");
            for (int i = 0; i < 2; ++i) {
                std::int64_t v = (*a)[static_cast<std::size_t>(i)].as_integer()->get();
                if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
                    left->wrong(key, "values must be 32-bit signed integers");
                into[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(v);
            }
        };
        pair("directory_12", p.entry12);
        pair("directory_13", p.entry13);
        if (!s.sound.empty() && left->node("directory_12")) left->wrong("directory_12", "is only for a scene without a sound");
        p.padTo = static_cast<std::size_t>(left->integer("pad_to", 0, std::numeric_limits<std::int32_t>::max(), "0 (no padding) up to 2 GB").value_or(0));
        padLine = left->node("pad_to") ? line_of(*left->node("pad_to")) : 0;
        if (auto block = left->string("optional_block_1")) {
            if (s.sound.empty()) left->wrong("optional_block_1", "is only stored with a sound");
            if (!parse_hex_bytes(*block, p.optionalBlock1) || p.optionalBlock1.size() > pack::OPTIONAL_BLOCK1_BYTES)
                left->wrong("optional_block_1", "must be up to 120 bytes as hexadecimal digits");
        }
        s.optionalBlock2Present = left->int32("optional_block_2_present").value_or(0);
        if (auto file = left->string("optional_block_2")) {
            p.optionalBlock2 = load(c, line_of(*left->node("optional_block_2")), left->where("optional_block_2"), *file);
            if (p.optionalBlock2.size() > pack::OPTIONAL_BLOCK2_BYTES)
                left->wrong("optional_block_2", "is " + std::to_string(p.optionalBlock2.size()) + " bytes; the block holds 52428");
            if (!left->node("optional_block_2_present")) s.optionalBlock2Present = 1;
            if (s.optionalBlock2Present == 0)
                left->wrong("optional_block_2", "is only stored when optional_block_2_present is not 0");
        }
    }
    if (p.padTo != 0) {
        pack::Package unpadded = p;
        unpadded.padTo = 0;
        std::size_t size = 0;
        try {
            size = pack::package_bytes(unpadded).size();
        } catch (const std::exception& e) {
            fail(c, 1, "scene", e.what());
        }
        if (size > p.padTo)
            fail(c, padLine, "leftovers.pad_to", std::to_string(p.padTo) + " is smaller than the package's " +
                                                     std::to_string(size) + " bytes of data");
    }
    built.notes = std::move(c.notes);
    return built;
}

Built build_manifest(const fs::path& manifest) {
    Bytes raw = read_file(manifest);
    return build_manifest_text(std::string(raw.begin(), raw.end()), manifest.string(), manifest.parent_path());
}

// ------------------------------------------------------------ writing

namespace {

std::string quote(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char ch : utf8) {
        switch (ch) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (ch < 0x20 || ch == 0x7f) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", ch);
                out += esc;
            } else {
                out += static_cast<char>(ch);
            }
        }
    }
    return out + "\"";
}

// A text as the manifest writes it: UTF-8 when it converts back to the same
// bytes, else the bytes in hexadecimal.
std::optional<std::string> round_trip_utf8(const std::string& sjis) {
    auto utf8 = sjis_to_utf8(sjis);
    if (!utf8) return std::nullopt;
    auto back = utf8_to_sjis(*utf8);
    if (!back || *back != sjis) return std::nullopt;
    return utf8;
}

std::string flag_text(std::int32_t v) {
    if (v == 0) return "false";
    if (v == 1) return "true";
    return std::to_string(v);
}

template <std::size_t N>
std::string word_text(const std::array<std::string_view, N>& words, std::int32_t code) {
    if (code >= 0 && static_cast<std::size_t>(code) < N) return quote(std::string(words[static_cast<std::size_t>(code)]));
    return std::to_string(code);
}

std::string file_name(const char* stem, int a, int b = -1) {
    char buffer[64];
    if (b < 0) std::snprintf(buffer, sizeof buffer, "%s%d", stem, a);
    else std::snprintf(buffer, sizeof buffer, "%s%d-frame%02d.bmp", stem, a, b);
    return buffer;
}

}  // namespace

Extracted extract_manifest(const pack::Package& p, const std::string& sourceName) {
    Extracted out;
    std::ostringstream m;
    const pack::Scene& s = p.scene;
    m << "# Scene manifest extracted from " << sourceName << " by snowglobe-pack.\n"
      << "# Build it again with: snowglobe-pack build scene.toml -o scene.kavren\n\n";

    if (auto title = round_trip_utf8(s.title)) m << "title = " << quote(*title) << "\n";
    else m << "title_bytes = " << quote(hex_bytes(std::span(reinterpret_cast<const std::uint8_t*>(s.title.data()), s.title.size()))) << "\n";

    const bool namedMode = s.backgroundMode >= 0 && s.backgroundMode <= 4;
    if (!namedMode)
        out.warnings.push_back("background mode " + std::to_string(s.backgroundMode) + " has no name; written as black");
    m << "background = " << word_text(names::BACKGROUND, namedMode ? s.backgroundMode : 0) << "\n";
    if (s.backgroundMode == 4 || s.pictureFit != 1) {
        if (s.backgroundMode == 4 && s.pictureFit != 0 && s.pictureFit != 1) {
            out.warnings.push_back("picture fit " + std::to_string(s.pictureFit) + " has no name; written as stretched");
            m << "fit = \"stretched\"\n";
        } else {
            m << "fit = " << word_text(names::FIT, s.pictureFit) << "\n";
        }
    }
    if (!s.picture.empty()) {
        out.files.push_back({"background.bmp", s.picture});
        m << "picture = \"background.bmp\"\n";
    } else if (s.backgroundMode == 4) {
        out.warnings.push_back("the scene asks for a picture background but holds no usable picture");
    }
    if (!s.tile.empty()) {
        out.files.push_back({"tile.bmp", s.tile});
        m << "tile = \"tile.bmp\"\n";
    } else if (s.backgroundMode == 3) {
        out.warnings.push_back("the scene asks for a tiled background but holds no usable tile");
    }
    if (!s.sound.empty()) {
        out.files.push_back({"sound.wav", s.sound});
        m << "sound = \"sound.wav\"\n";
    }

    int lastLine = -1;
    for (int i = 0; i < 5; ++i)
        if (!p.info.lines[static_cast<std::size_t>(i)].empty() || p.info.lineShown[static_cast<std::size_t>(i)] != 0) lastLine = i;
    if (lastLine >= 0) {
        m << "\n# The about box: up to 5 lines.\nabout = [\n";
        for (int i = 0; i <= lastLine; ++i) {
            const std::string& line = p.info.lines[static_cast<std::size_t>(i)];
            std::int32_t shown = p.info.lineShown[static_cast<std::size_t>(i)];
            auto utf8 = round_trip_utf8(line);
            std::string text = utf8 ? "text = " + quote(*utf8)
                                    : "bytes = " + quote(hex_bytes(std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size())));
            if (shown == 1 && utf8) m << "  " << quote(*utf8) << ",\n";
            else m << "  { " << text << ", shown = " << flag_text(shown) << " },\n";
        }
        m << "]\n";
    }

    int lastLayer = -1;
    for (int k = 0; k < 10; ++k) {
        const pack::Layer& l = p.layers[static_cast<std::size_t>(k)];
        const pack::LayerSettings d{};
        bool plain = l.settings.enabled == 0 && !l.set && std::memcmp(&l.settings, &d, sizeof d) == 0;
        if (!plain) lastLayer = k;
    }
    for (int k = 0; k <= lastLayer; ++k) {
        const pack::Layer& l = p.layers[static_cast<std::size_t>(k)];
        const pack::LayerSettings& v = l.settings;
        const bool on = v.enabled != 0;
        m << "\n[[layer]]  # layer " << k << "\n";
        if (!on) m << "# This layer is off: the engine reads none of its settings.\n";
        m << "enabled = " << flag_text(v.enabled) << "\n";
        pack::LayerSettings def{};
        // A layer that is off lists only what differs from the defaults.
        auto show = [&](std::int32_t value, std::int32_t standard) { return on || value != standard; };
        if (show(v.instanceCount, on ? 10 : 0)) m << "instances = " << v.instanceCount << "\n";
        if (show(v.directionCode, def.directionCode)) m << "direction = " << word_text(names::DIRECTION, v.directionCode) << "\n";
        if (show(v.speedClass, def.speedClass)) {
            m << "speed = " << v.speedClass;
            if (v.speedClass >= 0 && v.speedClass <= 4) m << "  # " << names::SPEED_PIXELS[static_cast<std::size_t>(v.speedClass)] << " pixels a tick";
            m << "\n";
        }
        if (show(v.swayAxis, def.swayAxis) || show(v.swayRow, def.swayRow)) {
            std::string axis = v.swayAxis == 0 ? "\"y\"" : v.swayAxis == 1 ? "\"x\"" : v.swayAxis == names::SWAY_NONE_CODE ? "\"none\"" : std::to_string(v.swayAxis);
            m << "sway = { axis = " << axis << ", row = " << v.swayRow << " }\n";
        }
        if (show(v.entryEdge, def.entryEdge)) m << "entry = " << word_text(names::ENTRY, v.entryEdge) << "\n";
        const bool startShown = show(v.startCorner, 0) || show(v.startX, 0) || show(v.startY, 0);
        // A start position without a placement reads as "fixed": say which.
        if (show(v.placement, def.placement) || startShown) {
            m << "placement = "
              << (v.placement == names::PLACEMENT_RANDOM ? "\"random\"" : v.placement == names::PLACEMENT_FIXED_CODE ? "\"fixed\"" : std::to_string(v.placement))
              << "\n";
        }
        if (startShown)
            m << "start = { corner = " << word_text(names::CORNER, v.startCorner) << ", x = " << v.startX << ", y = " << v.startY << " }\n";
        if (show(v.keepInside, 0)) m << "keep_inside = " << flag_text(v.keepInside) << "\n";
        if (show(v.randomStart, 1)) m << "random_start = " << flag_text(v.randomStart) << "\n";
        if (show(v.reentryCycles, 65535)) m << "reentry_cycles = " << v.reentryCycles << "\n";
        if (show(v.delayMode, 1)) m << "delay = " << word_text(names::DELAY, v.delayMode) << "\n";
        if (show(v.maxWait, 0)) m << "max_wait = " << v.maxWait << "\n";
        if (show(v.loops, 1)) m << "loops = " << flag_text(v.loops) << "\n";
        if (l.keepSetFields) {
            std::int32_t stored = l.set ? static_cast<std::int32_t>(pack::animset_bytes(*l.set).size()) : 0;
            if (v.setOffset != 76 || v.setSize != stored) {
                if (on) out.warnings.push_back("layer " + std::to_string(k) + ": its set lies away from the block; it is moved next to it");
                else m << "set_offset = " << v.setOffset << "\nset_size = " << v.setSize << "\n";
            }
        }
        if (l.set) {
            const pack::AnimSet& set = *l.set;
            if (set.magic != "AP01" || set.version != 1)
                out.warnings.push_back("layer " + std::to_string(k) + ": the set is refused by the engine (magic or version); build writes a good one");
            if (set.frameCountOverride)
                out.warnings.push_back("layer " + std::to_string(k) + ": the set's frame count " + std::to_string(*set.frameCountOverride) +
                                       " does not match its frames; build writes " + std::to_string(set.frames.size()));
            if (set.maskMode >= 0 && set.maskMode <= 3) m << "mask = " << word_text(names::MASK, set.maskMode) << "\n";
            else out.warnings.push_back("layer " + std::to_string(k) + ": mask mode " + std::to_string(set.maskMode) + " has no name; written as top-left");
            bool same = std::all_of(set.frames.begin(), set.frames.end(), [&](const pack::Frame& f) { return f.duration == set.frames[0].duration; });
            if (same && !set.frames.empty()) m << "duration = " << set.frames[0].duration << "  # ticks of 33 ms per frame\n";
            m << "frames = [\n";
            for (std::size_t i = 0; i < set.frames.size(); ++i) {
                std::string name = file_name("layer", k, static_cast<int>(i));
                out.files.push_back({name, set.frames[i].bmp});
                if (same) m << "  " << quote(name) << ",\n";
                else m << "  { file = " << quote(name) << ", duration = " << set.frames[i].duration << " },\n";
            }
            m << "]\n";
            if (set.frames.empty() && on) out.warnings.push_back("layer " + std::to_string(k) + ": an enabled layer without frames cannot be built");
        }
    }

    std::ostringstream left;
    if (s.picture.empty() && (s.leftoverPictureOffset || s.leftoverPictureSize))
        left << "picture_offset = " << s.leftoverPictureOffset << "\npicture_size = " << s.leftoverPictureSize << "\n";
    if (s.tile.empty() && (s.leftoverTileOffset || s.leftoverTileSize))
        left << "tile_offset = " << s.leftoverTileOffset << "\ntile_size = " << s.leftoverTileSize << "\n";
    if (s.sound.empty() && (s.leftoverSoundOffset || s.leftoverSoundSize))
        left << "sound_offset = " << s.leftoverSoundOffset << "\nsound_size = " << s.leftoverSoundSize << "\n";
    pack::Package defaults;
    if (s.sound.empty() && p.entry12 != defaults.entry12)
        left << "directory_12 = [" << p.entry12[0] << ", " << p.entry12[1] << "]\n";
    if (s.optionalBlock2Present == 0 && p.entry13 != defaults.entry13)
        left << "directory_13 = [" << p.entry13[0] << ", " << p.entry13[1] << "]\n";
    if (!s.sound.empty() && std::any_of(p.optionalBlock1.begin(), p.optionalBlock1.end(), [](std::uint8_t b) { return b != 0; }))
        left << "optional_block_1 = " << quote(hex_bytes(p.optionalBlock1)) << "\n";
    if (s.optionalBlock2Present != 0) {
        if (std::any_of(p.optionalBlock2.begin(), p.optionalBlock2.end(), [](std::uint8_t b) { return b != 0; })) {
            out.files.push_back({"optional-block-2.bin", p.optionalBlock2});
            left << "optional_block_2 = \"optional-block-2.bin\"\n";
        }
        left << "optional_block_2_present = " << s.optionalBlock2Present << "\n";
    }
    if (p.padTo) left << "pad_to = " << p.padTo << "\n";
    if (!left.str().empty())
        m << "\n# Numbers and blocks that the engine never interprets, kept so that\n"
          << "# building this manifest gives back the same bytes.\n[leftovers]\n" << left.str();
    out.manifest = m.str();
    return out;
}

}  // namespace sg::packtool
