#include "tools/core/manifest.h"

#include "format/wav_rules.h"
#include "tools/core/codepage_choice.h"
#include "tools/core/manifest_pictures.h"
#include "tools/core/manifest_read.h"
#include "tools/core/scene_budget.h"
#include "tools/core/sounds.h"

namespace sg::packtool {

namespace fs = std::filesystem;
using namespace manifest;

namespace {

// Shrinking a picture to the screen drops rows and columns by AND-ing them
// into their neighbours: dark streaks on every screen smaller than the picture.
void warn_stretched(Ctx& c, const Place& at, const Bytes& picture) {
    const pack::BmpHeader h = pack::bmp_header(picture.data(), picture.size());
    const int width = h.width, height = h.height < 0 ? -h.height : h.height;
    if (width <= SMALL_SCREEN_WIDTH && height <= SMALL_SCREEN_HEIGHT) return;
    warn(c, at.line, at.setting,
         std::to_string(width) + " x " + std::to_string(height) + " is larger than small screens (" +
             std::to_string(SMALL_SCREEN_WIDTH) + " x " + std::to_string(SMALL_SCREEN_HEIGHT) +
             "); the saver shrinks a stretched picture by dropping rows and columns (AND-ed together), which "
             "shows dark streaks. Make it " + std::to_string(SMALL_SCREEN_WIDTH) + " x " +
             std::to_string(SMALL_SCREEN_HEIGHT) + " or smaller: stretching it up to larger screens stays smooth; "
             "picture = { file = \"...\", resize = \"screen\" } scales it to that size at build");
}

// The setting `key` given as { code = N }, else as `read` reads it.
template <typename Read>
auto coded(const Table& t, std::string_view key, Read read) -> decltype(read()) {
    if (auto v = t.code(key)) return *v;
    return read();
}

pack::Layer build_layer(Ctx& c, const Table& t, std::vector<Place>& framePlaces) {
    t.allow({"enabled", "frames", "duration", "every", "resize", "flip", "mask", "instances", "direction", "speed", "sway", "entry",
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
    s.instanceCount = static_cast<std::int32_t>(
        coded(t, "instances", [&] { return ranged("instances", 0, 50, "0..50"); }).value_or(strict ? 10 : 0));
    s.directionCode = coded(t, "direction", [&] { return t.word("direction", names::DIRECTION, !strict, "a direction"); }).value_or(7);
    s.speedClass = static_cast<std::int32_t>(
        coded(t, "speed", [&] { return ranged("speed", 0, 4, "0..4 (1, 2, 5, 9 or 16 pixels a tick)"); }).value_or(1));
    s.entryEdge = coded(t, "entry", [&] { return t.word("entry", names::ENTRY, !strict, "an entry side"); }).value_or(1);
    s.keepInside = t.flag("keep_inside").value_or(0);
    s.randomStart = t.flag("random_start").value_or(1);
    s.reentryCycles = static_cast<std::int32_t>(
        coded(t, "reentry_cycles", [&] { return ranged("reentry_cycles", 0, hi32, "0 and up"); }).value_or(65535));
    s.delayMode = coded(t, "delay", [&] { return t.word("delay", names::DELAY, !strict, "a delay mode"); }).value_or(1);
    s.maxWait = static_cast<std::int32_t>(
        coded(t, "max_wait", [&] { return ranged("max_wait", 0, hi32, "0 and up (ticks of 33 ms)"); }).value_or(0));
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
            s.swayRow = static_cast<std::int32_t>(coded(w, "row", [&] {
                                                      return strict && swaying
                                                                 ? w.integer("row", 0, 4, "0..4 (swings of 30, 55, 75, 90 or 150 pixels)")
                                                                 : w.integer("row", lo32, hi32, "a 32-bit signed integer");
                                                  }).value_or(1));
        } else {
            t.wrong("sway", "must be \"none\" or a table { axis = \"x\", row = 1 }, not " + kind_of(*sway));
        }
    }

    bool hasStart = t.node("start") != nullptr;
    if (auto start = t.sub("start")) {
        start->allow({"corner", "x", "y"});
        s.startCorner = coded(*start, "corner", [&] { return start->word("corner", names::CORNER, !strict, "a corner"); }).value_or(0);
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
        coded(t, "duration", [&] { return t.integer("duration", 0, hi32, "0 and up (ticks of 33 ms)"); }).value_or(2));
    if (t.node("frames")) {
        layer.set = build_set(c, t, duration, framePlaces);
    } else {
        if (strict) fail(c, t.line, t.prefix, "an enabled layer needs frames = [ ... ]");
        for (std::string_view key : {"mask", "every", "resize", "flip"})
            if (t.node(key)) t.wrong(key, "is only for a layer with frames");
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

// The code page of the title and about lines: it comes first, as texts are
// encoded when they are read.
// codepage = "auto": the first code page (932 first) that holds the title
// and every about line given as text.
void build_code_page(Ctx& c, const Table& top, pack::Package& p) {
    if (const toml::node* n = top.node("codepage"); n && n->is_string()) {
        if (n->as_string()->get() != "auto")
            top.wrong("codepage", "must be an integer (874, 932, 936, 949, 950 or 1250..1258) or \"auto\", not \"" +
                                      n->as_string()->get() + "\"");
        std::vector<std::string> texts;
        if (const toml::node* title = top.node("title"); title && title->is_string()) texts.push_back(title->as_string()->get());
        if (const toml::node* about = top.node("about"); about && about->is_array())
            for (const toml::node& line : *about->as_array()) {
                const toml::node* text = line.is_table() ? line.as_table()->get("text") : &line;
                if (text && text->is_string()) texts.push_back(text->as_string()->get());
            }
        const CodePageChoice choice = choose_code_page(texts, 932);
        if (!choice.codePage) top.wrong("codepage", "\"auto\": " + clash_message(choice.clashes));
        c.codePage = *choice.codePage;
        p.textCodePage = c.codePage;
        return;
    }
    if (auto codePage = top.integer("codepage", 0, 65535, "874, 932, 936, 949, 950 or 1250..1258")) {
        if (!format::textrecord::code_page_allowed(static_cast<std::uint32_t>(*codePage)))
            top.wrong("codepage", std::to_string(*codePage) +
                                      " is not a code page a package may name; use 874, 932, 936, 949, 950 or 1250..1258");
        c.codePage = static_cast<std::uint32_t>(*codePage);
        p.textCodePage = c.codePage;
    }
}

void build_title(Ctx& c, const Table& top, pack::Scene& s) {
    if (auto title = top.string("title")) {
        if (top.node("title_bytes")) top.wrong("title_bytes", "give title or title_bytes, not both");
        s.title = package_text(c, line_of(*top.node("title")), "title", *title);
    } else if (auto bytes = top.string("title_bytes")) {
        s.title = hex_text(c, line_of(*top.node("title_bytes")), "title_bytes", *bytes);
    } else {
        fail(c, 1, "title", "is missing: every scene needs a title (it names the saver's window)");
    }
    if (s.title.empty()) top.wrong(top.node("title") ? "title" : "title_bytes", "must not be empty");
}

// The background mode, and the picture or tile it shows.
void build_background(Ctx& c, const Table& top, Built& built) {
    pack::Scene& s = built.package.scene;
    s.backgroundMode = coded(top, "background", [&] { return top.word("background", names::BACKGROUND, false, "a background"); }).value_or(0);
    const bool picture = format::background_mode(s.backgroundMode) == format::BackgroundMode::Picture;
    if (auto fit = coded(top, "fit", [&] { return top.word("fit", names::FIT, !picture, "a fit"); })) s.pictureFit = *fit;
    if (top.node("picture")) {
        if (format::background_mode(s.backgroundMode) != format::BackgroundMode::Picture)
            top.wrong("picture", "is only used with background = \"picture\" (background is \"" +
                                     names::word_of(names::BACKGROUND, s.backgroundMode) + "\")");
        s.picture = background_picture(c, top, "picture");
        built.picture = {line_of(*top.node("picture")), "picture"};
        if (s.pictureFit == 1) warn_stretched(c, built.picture, s.picture);
    } else if (format::background_mode(s.backgroundMode) == format::BackgroundMode::Picture) {
        fail(c, line_of(*top.node("background")), "picture", "is missing: background = \"picture\" needs picture = \"file.png\"");
    }
    if (top.node("tile")) {
        if (format::background_mode(s.backgroundMode) != format::BackgroundMode::Tiled)
            top.wrong("tile", "is only used with background = \"tiled\" (background is \"" +
                                  names::word_of(names::BACKGROUND, s.backgroundMode) + "\")");
        s.tile = background_picture(c, top, "tile");
        built.tile = {line_of(*top.node("tile")), "tile"};
    } else if (format::background_mode(s.backgroundMode) == format::BackgroundMode::Tiled) {
        fail(c, line_of(*top.node("background")), "tile", "is missing: background = \"tiled\" needs tile = \"file.png\"");
    }
}

void build_sound(Ctx& c, const Table& top, Built& built) {
    pack::Scene& s = built.package.scene;
    if (auto sound = top.string("sound")) {
        int line = line_of(*top.node("sound"));
        s.sound = load(c, line, "sound", *sound);
        charge(c, line, "sound", *sound, s.sound.size());
        const Bytes& w = s.sound;
        if (!format::wav_is_riff_wave(w.data(), w.size()))
            fail(c, line, "sound", *sound + " is not a WAV file (no RIFF/WAVE header)");
        if (const std::uint64_t riff = format::wav_riff_bytes(w.data()); riff > w.size())
            fail(c, line, "sound", *sound + " is cut short: its RIFF header says " + std::to_string(riff) +
                                       " bytes, the file has " + std::to_string(w.size()));
        built.sound = {line, "sound"};
        if (auto encoding = wav_encoding_warning(w)) warn(c, line, "sound", *sound + ": " + *encoding);
    }
}

// How full screen uses several monitors; primary (the default) writes no record.
void build_monitors(const Table& top, pack::Package& p) {
    if (auto word = top.string("monitors")) {
        const auto mode = names::code_of(names::MONITORS, *word);
        if (!mode) top.wrong("monitors", "\"" + *word + "\" is not a monitor mode; use " + names::listing(names::MONITORS));
        p.monitorMode = static_cast<format::MonitorMode>(*mode);
    }
}

// The about box's lines: a string, or a table of text or bytes and shown.
void build_about(Ctx& c, const Table& top, Built& built) {
    pack::Package& p = built.package;
    if (const toml::node* about = top.node("about")) {
        if (!about->is_array()) top.wrong("about", "must be an array of up to 5 lines, not " + kind_of(*about));
        const toml::array& lines = *about->as_array();
        if (lines.size() > 5) top.wrong("about", "has " + std::to_string(lines.size()) + " lines; the about box shows at most 5");
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const toml::node& item = lines[i];
            std::string setting = "about[" + std::to_string(i) + "]";
            built.about[i] = {line_of(item), setting};
            if (item.is_string()) {
                p.info.lines[i] = package_text(c, line_of(item), setting, item.as_string()->get());
                p.info.lineShown[i] = 1;
            } else if (item.is_table()) {
                Table t{c, *item.as_table(), setting, line_of(item)};
                t.allow({"text", "bytes", "shown"});
                if (auto text = t.string("text")) p.info.lines[i] = package_text(c, line_of(*t.node("text")), t.where("text"), *text);
                else if (auto bytes = t.string("bytes")) p.info.lines[i] = hex_text(c, line_of(*t.node("bytes")), t.where("bytes"), *bytes);
                p.info.lineShown[i] = t.flag("shown").value_or(1);
            } else {
                fail(c, line_of(item), setting, "must be a string or { text = \"...\", shown = false }, not " + kind_of(item));
            }
        }
    }
}

void build_layers(Ctx& c, const Table& top, Built& built) {
    pack::Package& p = built.package;
    if (const toml::node* layers = top.node("layer")) {
        if (!layers->is_array_of_tables()) top.wrong("layer", "must be written as [[layer]] tables");
        const toml::array& list = *layers->as_array();
        if (list.size() > 10) fail(c, line_of(list[10]), "layer", "a scene has at most 10 layers");
        for (std::size_t k = 0; k < list.size(); ++k) {
            Table t{c, *list[k].as_table(), "layer[" + std::to_string(k) + "]", line_of(list[k])};
            p.layers[k] = build_layer(c, t, built.frames[k]);
            built.layers[k] = {t.line, t.prefix};
        }
    }
}

// Numbers and blocks the engine never interprets, kept so that an extracted
// package builds back to the same bytes. Returns the line of pad_to (0 when
// it is not given).
int build_leftovers(const Ctx& c, const Table& top, pack::Package& p) {
    int padLine = 0;
    pack::Scene& s = p.scene;
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
        if (p.textCodePage != 932 && left->node("directory_12"))
            left->wrong("directory_12", "is only for a scene without a sound and with codepage 932 (entry 12 then points at the text record)");
        if (p.monitorMode != format::MonitorMode::Primary && left->node("directory_12"))
            left->wrong("directory_12", "is only for a scene without a sound and with monitors = \"primary\" (entry 12 then points at the monitors record)");
        // Padding is zeros in memory: at most what a package read from a file can be.
        p.padTo = static_cast<std::size_t>(left->integer("pad_to", 0, static_cast<std::int64_t>(MAX_FILE_BYTES),
                                                         "0 (no padding) up to " + std::to_string(MAX_FILE_BYTES))
                                               .value_or(0));
        padLine = left->node("pad_to") ? line_of(*left->node("pad_to")) : 0;
        if (auto block = left->string("optional_block_1")) {
            if (s.sound.empty()) left->wrong("optional_block_1", "is only stored with a sound");
            if (!parse_hex_bytes(*block, p.optionalBlock1) || p.optionalBlock1.size() > pack::OPTIONAL_BLOCK1_BYTES)
                left->wrong("optional_block_1", "must be up to 120 bytes as hexadecimal digits");
            if (p.textCodePage != 932 &&
                std::any_of(p.optionalBlock1.begin(), p.optionalBlock1.begin() + std::min<std::ptrdiff_t>(12, std::ssize(p.optionalBlock1)),
                            [](std::uint8_t b) { return b != 0; }))
                left->wrong("optional_block_1", "its first 12 bytes must be zero with a codepage other than 932: the text record goes there");
            if (p.monitorMode != format::MonitorMode::Primary &&
                std::any_of(p.optionalBlock1.begin() + std::min<std::ptrdiff_t>(12, std::ssize(p.optionalBlock1)),
                            p.optionalBlock1.begin() + std::min<std::ptrdiff_t>(24, std::ssize(p.optionalBlock1)),
                            [](std::uint8_t b) { return b != 0; }))
                left->wrong("optional_block_1", "its bytes 12 to 23 must be zero with monitors other than \"primary\": the monitors record goes there");
        }
        s.optionalBlock2Present = left->int32("optional_block_2_present").value_or(0);
        if (auto file = left->string("optional_block_2")) {
            p.optionalBlock2 = load(c, line_of(*left->node("optional_block_2")), left->where("optional_block_2"), *file,
                                    pack::OPTIONAL_BLOCK2_BYTES);
            if (p.optionalBlock2.size() > pack::OPTIONAL_BLOCK2_BYTES)
                left->wrong("optional_block_2", "is " + std::to_string(p.optionalBlock2.size()) + " bytes; the block holds 52428");
            if (!left->node("optional_block_2_present")) s.optionalBlock2Present = 1;
            if (s.optionalBlock2Present == 0)
                left->wrong("optional_block_2", "is only stored when optional_block_2_present is not 0");
        }
    }
    return padLine;
}

// pad_to must leave room for the package's data.
void check_padding(const Ctx& c, const pack::Package& p, int padLine) {
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
}

}  // namespace

Built build_manifest_text(const std::string& text, const std::string& name, const fs::path& dir, std::uint64_t budget) {
    Ctx c{name, dir, {}, {}};
    c.budget = budget;
    toml::table root;
    try {
        root = toml::parse(text, name);
    } catch (const toml::parse_error& e) {
        throw Failure(name + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description()));
    }
    Table top{c, root, "", 1};
    top.allow({"title", "title_bytes", "background", "picture", "tile", "fit", "sound", "about", "codepage", "monitors", "layer", "leftovers"});

    Built built;
    built.manifestName = name;
    build_code_page(c, top, built.package);
    build_title(c, top, built.package.scene);
    build_background(c, top, built);
    build_sound(c, top, built);
    build_monitors(top, built.package);
    build_about(c, top, built);
    build_layers(c, top, built);
    const int padLine = build_leftovers(c, top, built.package);
    check_padding(c, built.package, padLine);
    built.notes = std::move(c.notes);
    built.warnings = std::move(c.warnings);
    return built;
}

Built build_manifest(const fs::path& manifest) {
    Bytes raw = read_regular_file(manifest, MAX_MANIFEST_BYTES);
    return build_manifest_text(std::string(raw.begin(), raw.end()), manifest.string(), manifest.parent_path());
}

}  // namespace sg::packtool
