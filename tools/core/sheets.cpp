#include "tools/core/sheets.h"

#include <cmath>

#include "tools/core/decoders.h"
#include "tools/core/json.h"
#include "tools/core/manifest_pictures.h"

namespace sg::packtool::manifest {

namespace fs = std::filesystem;

namespace {

// The frames cut from one picture, together, take no more pixels than one
// picture of the largest size would.
constexpr std::int64_t CUT_PIXEL_BUDGET = static_cast<std::int64_t>(MAX_PICTURE_SIDE) * MAX_PICTURE_SIDE;

RgbaImage sheet_picture(const Ctx& c, int line, const std::string& setting, const std::string& file) {
    Bytes raw = load(c, line, setting, file);
    std::optional<RgbaImage> decoded;
    try {
        decoded = decode_picture(raw, file, "a PNG, a JPEG, or an uncompressed 24- or 32-bit BMP");
    } catch (const Failure& e) {
        fail(c, line, setting, e.what());
    }
    if (decoded) return std::move(*decoded);
    pack::Problems problems;
    pack::bmp_check(raw.data(), raw.size(), true, 0, problems);
    if (pack::has_errors(problems))
        fail(c, line, setting, file + ": " + problem_text(problems) + "; a sheet must be PNG, JPEG, or uncompressed 24- or 32-bit BMP");
    return rgba_of(*pack::bmp_image(raw.data(), raw.size()));
}

// The rectangle, which lies inside the picture.
RgbaImage crop(const RgbaImage& from, int x, int y, int w, int h) {
    RgbaImage out;
    out.width = w;
    out.height = h;
    out.rgba.resize(static_cast<std::size_t>(w) * h * 4);
    for (int row = 0; row < h; ++row) {
        const auto start = from.rgba.begin() + (static_cast<std::ptrdiff_t>(y + row) * from.width + x) * 4;
        std::copy(start, start + w * 4, out.rgba.begin() + static_cast<std::ptrdiff_t>(row) * w * 4);
    }
    return out;
}

std::string sides(int w, int h) { return std::to_string(w) + " x " + std::to_string(h); }

}  // namespace

std::vector<CutFrame> sheet_frames(const Ctx& c, const Table& layer, std::int32_t defaultDuration) {
    const toml::node* n = layer.node("frames");
    Table t{c, *n->as_table(), layer.where("frames"), line_of(*n)};
    t.allow({"sheet", "columns", "rows", "count", "duration", "duration_ms"});
    const auto file = t.string("sheet");
    if (!file) t.wrong("sheet", "is missing: give the sheet's picture, e.g. frames = { sheet = \"walk.png\", columns = 8, rows = 1 }");
    const std::string side = "1.." + std::to_string(MAX_PICTURE_SIDE);
    const auto columns = t.integer("columns", 1, MAX_PICTURE_SIDE, side);
    if (!columns) t.wrong("columns", "is missing: give how many cells the sheet has across");
    const auto rows = t.integer("rows", 1, MAX_PICTURE_SIDE, side);
    if (!rows) t.wrong("rows", "is missing: give how many rows of cells the sheet has (1 for a strip)");
    const int cells = static_cast<int>(*columns * *rows);
    const int count = static_cast<int>(t.integer("count", 1, cells, "1.." + std::to_string(cells) + " (columns x rows)").value_or(cells));
    const std::int32_t duration = duration_of(t).value_or(defaultDuration);
    const std::optional<int> every = every_of(layer, true);
    const std::size_t kept = frames_kept(layer, *file, static_cast<std::size_t>(count), every);

    const RgbaImage sheet = sheet_picture(c, t.line, t.prefix, *file);
    auto divides = [&](std::string_view key, int length, std::int64_t parts, const char* across) {
        if (length % parts != 0)
            t.wrong(key, *file + " is " + sides(sheet.width, sheet.height) + " pixels: " + std::to_string(length) +
                             " does not divide into " + std::to_string(parts) + " equal cells " + across +
                             " (the cells of a sheet are all one size; check " + std::string(key) + " or the picture)");
    };
    divides("columns", sheet.width, *columns, "across");
    divides("rows", sheet.height, *rows, "down");
    const int w = sheet.width / static_cast<int>(*columns), h = sheet.height / static_cast<int>(*rows);

    const int step = every.value_or(1);
    std::vector<CutFrame> frames;
    for (std::size_t i = 0; i < kept; ++i) {
        const int cell = static_cast<int>(i) * step;
        CutFrame f;
        f.file = *file + " cell " + std::to_string(cell);
        f.setting = t.prefix + " (sheet cell " + std::to_string(cell) + ")";
        f.line = t.line;
        f.duration = static_cast<std::int32_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(duration) * std::min(step, count - cell), std::numeric_limits<std::int32_t>::max()));
        f.image = crop(sheet, (cell % static_cast<int>(*columns)) * w, (cell / static_cast<int>(*columns)) * h, w, h);
        frames.push_back(std::move(f));
    }
    return frames;
}

bool looks_like_json(std::span<const std::uint8_t> bytes) {
    std::size_t i = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xef && bytes[1] == 0xbb && bytes[2] == 0xbf) i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\n' || bytes[i] == '\r')) ++i;
    return i < bytes.size() && bytes[i] == '{';
}

std::vector<CutFrame> json_frames(const Ctx& c, const Table& layer, const std::string& file,
                                  std::span<const std::uint8_t> json, std::int32_t defaultDuration) {
    const int line = line_of(*layer.node("frames"));
    const std::string setting = layer.where("frames");
    auto refuse = [&](const std::string& why) { fail(c, line, setting, file + ": " + why); };
    if (json.size() >= 3 && json[0] == 0xef) json = json.subspan(3);
    Json doc;
    try {
        doc = json_parse(json, file);
    } catch (const Failure& e) {
        fail(c, line, setting, e.what());
    }

    // Both export forms: "frames": [ {...}, ... ] and "frames": { "name": {...}, ... }.
    std::vector<std::pair<std::string, const Json*>> listed;
    const Json* frames = doc.get("frames");
    if (frames && frames->kind == Json::Kind::Array)
        for (const Json& item : frames->items) {
            const Json* name = item.get("filename");
            listed.emplace_back(name && name->kind == Json::Kind::String ? name->text : "", &item);
        }
    else if (frames && frames->kind == Json::Kind::Object)
        for (std::size_t i = 0; i < frames->names.size(); ++i) listed.emplace_back(frames->names[i], &frames->items[i]);
    else
        refuse("has no \"frames\" list; a sprite editor's JSON holds \"frames\" (an array or an object) and \"meta\"");
    if (listed.empty()) refuse("lists no frames");

    const Json* meta = doc.get("meta");
    const Json* image = meta ? meta->get("image") : nullptr;
    if (!image || image->kind != Json::Kind::String || image->text.empty())
        refuse("gives no meta.image naming its sheet; export the JSON with the sheet's file name");
    const std::string sheetFile = (fs::path(file).parent_path() / image->text).generic_string();
    std::error_code ec;
    const fs::path sheetPath = fs::path(sheetFile).is_absolute() ? fs::path(sheetFile) : c.dir / sheetFile;
    if (!fs::is_regular_file(sheetPath, ec))
        refuse("meta.image names the sheet \"" + image->text + "\", which is not there (looked for " + sheetFile +
               " beside the JSON)");

    // Each entry's place and duration, read before any pixel is cut.
    struct Entry {
        std::string label;
        int x, y, w, h;
        bool trimmed;
        int left = 0, top = 0, sourceW = 0, sourceH = 0;
        std::int32_t duration;
    };
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string& name = listed[i].first;
        const Json* item = listed[i].second;
        const std::string label = "frame " + std::to_string(i) + (name.empty() ? "" : " (\"" + name + "\")");
        // `in`'s member `key`, named `in.key` in messages.
        auto number = [&](const Json* in, const char* key, std::int64_t lo, std::int64_t hi, const std::string& in_name) {
            const Json* v = in ? in->get(key) : nullptr;
            if (!v || v->kind != Json::Kind::Number || v->number != std::floor(v->number) || v->number < static_cast<double>(lo) ||
                v->number > static_cast<double>(hi))
                refuse(label + ": " + (in_name.empty() ? "" : in_name + ".") + key + " must be a whole number " +
                       std::to_string(lo) + ".." + std::to_string(hi));
            return static_cast<std::int64_t>(v->number);
        };
        auto flag = [&](const char* key) {
            const Json* v = item->get(key);
            return v && v->kind == Json::Kind::Boolean && v->boolean;
        };
        if (flag("rotated"))
            refuse(label + ": is stored rotated in the sheet; export the sheet with rotation turned off");
        const Json* rect = item->get("frame");
        if (!rect || rect->kind != Json::Kind::Object) refuse(label + ": has no frame { x, y, w, h }");
        Entry e;
        e.label = label;
        e.x = static_cast<int>(number(rect, "x", 0, MAX_PICTURE_SIDE, "frame"));
        e.y = static_cast<int>(number(rect, "y", 0, MAX_PICTURE_SIDE, "frame"));
        e.w = static_cast<int>(number(rect, "w", 1, MAX_PICTURE_SIDE, "frame"));
        e.h = static_cast<int>(number(rect, "h", 1, MAX_PICTURE_SIDE, "frame"));
        e.trimmed = flag("trimmed");
        if (e.trimmed) {
            const Json* placed = item->get("spriteSourceSize");
            const Json* source = item->get("sourceSize");
            if (!placed || !source)
                refuse(label + ": is trimmed but gives no spriteSourceSize and sourceSize to restore its size from");
            e.left = static_cast<int>(number(placed, "x", 0, MAX_PICTURE_SIDE, "spriteSourceSize"));
            e.top = static_cast<int>(number(placed, "y", 0, MAX_PICTURE_SIDE, "spriteSourceSize"));
            e.sourceW = static_cast<int>(number(source, "w", 1, MAX_PICTURE_SIDE, "sourceSize"));
            e.sourceH = static_cast<int>(number(source, "h", 1, MAX_PICTURE_SIDE, "sourceSize"));
            if (e.left + e.w > e.sourceW || e.top + e.h > e.sourceH)
                refuse(label + ": trimmed " + sides(e.w, e.h) + " at " + std::to_string(e.left) + ", " + std::to_string(e.top) +
                       " does not fit in its sourceSize " + sides(e.sourceW, e.sourceH));
        }
        const Json* ms = item->get("duration");
        e.duration = ms ? ticks_of_ms(number(item, "duration", 0, std::numeric_limits<std::int32_t>::max(), ""))
                        : defaultDuration;
        entries.push_back(std::move(e));
    }

    const std::optional<int> every = every_of(layer, true);
    const std::size_t kept = frames_kept(layer, file, entries.size(), every);
    keep_every(entries, kept, every.value_or(1));
    std::int64_t pixels = 0;
    for (const Entry& e : entries) pixels += e.trimmed ? static_cast<std::int64_t>(e.sourceW) * e.sourceH : static_cast<std::int64_t>(e.w) * e.h;
    if (pixels > CUT_PIXEL_BUDGET)
        refuse("its frames hold " + std::to_string(pixels) + " pixels in all, more than a layer's frames hold (" +
               sides(MAX_PICTURE_SIDE, MAX_PICTURE_SIDE) + ")");

    const RgbaImage sheet = sheet_picture(c, line, setting, sheetFile);
    std::vector<CutFrame> out;
    for (const Entry& e : entries) {
        if (e.x + e.w > sheet.width || e.y + e.h > sheet.height)
            refuse(e.label + ": the rectangle " + sides(e.w, e.h) + " at " + std::to_string(e.x) + ", " +
                   std::to_string(e.y) + " reaches outside the sheet " + image->text + " (" + sides(sheet.width, sheet.height) + ")");
        CutFrame f;
        f.file = file + " " + e.label;
        f.setting = setting + " (" + e.label + ")";
        f.line = line;
        f.duration = e.duration;
        f.image = crop(sheet, e.x, e.y, e.w, e.h);
        if (e.trimmed) {
            // Back to the size it was drawn at, transparent where trimmed away.
            RgbaImage whole;
            whole.width = e.sourceW;
            whole.height = e.sourceH;
            whole.rgba.assign(static_cast<std::size_t>(e.sourceW) * e.sourceH * 4, 0);
            for (int row = 0; row < e.h; ++row)
                std::copy(f.image.rgba.begin() + static_cast<std::ptrdiff_t>(row) * e.w * 4,
                          f.image.rgba.begin() + static_cast<std::ptrdiff_t>(row + 1) * e.w * 4,
                          whole.rgba.begin() + (static_cast<std::ptrdiff_t>(e.top + row) * e.sourceW + e.left) * 4);
            f.image = std::move(whole);
        }
        out.push_back(std::move(f));
    }
    return out;
}

std::optional<int> every_of(const Table& layer, bool oneFile) {
    const auto every = layer.integer("every", 1, 1000, "1..1000 (1 keeps every frame)");
    if (every && !oneFile)
        layer.wrong("every", "is for frames given as one file (an animated GIF, a sheet or a sprite editor's JSON); "
                             "list fewer frames instead");
    return every ? std::optional<int>(static_cast<int>(*every)) : std::nullopt;
}

std::size_t frames_kept(const Table& layer, const std::string& source, std::size_t count, std::optional<int> every) {
    const std::size_t step = static_cast<std::size_t>(every.value_or(1));
    const std::size_t kept = (count + step - 1) / step;
    constexpr std::size_t most = pack::MAX_SET_FRAMES;
    if (kept <= most) return kept;
    const std::size_t fit = (count + most - 1) / most;
    const std::string hint = "every = " + std::to_string(fit) + " (one frame in " + std::to_string(fit) + ", " +
                             std::to_string((count + fit - 1) / fit) + " frames, durations summed)";
    if (!every)
        layer.wrong("frames", source + " holds " + std::to_string(count) + " frames; a layer shows at most " +
                                  std::to_string(most) + ": add " + hint);
    layer.wrong("every", "keeps " + std::to_string(kept) + " of the " + std::to_string(count) + " frames of " + source +
                             "; at most " + std::to_string(most) + " fit: use " + hint);
}

void FrameChanges::apply(RgbaImage& image) const {
    if (resize) image = cover(image, *resize);
    if (flip) mirror(image, flip == 1);
}

std::optional<PictureSize> resize_of(const Table& t) {
    const auto text = t.string("resize");
    if (!text) return std::nullopt;
    std::string why;
    auto size = parse_resize(*text, why);
    if (!size) t.wrong("resize", why);
    return size;
}

FrameChanges frame_changes(const Table& layer) {
    FrameChanges changes;
    changes.resize = resize_of(layer);
    if (const auto flip = layer.string("flip")) {
        if (*flip == "horizontal") changes.flip = 1;
        else if (*flip == "vertical") changes.flip = 2;
        else if (*flip != "none") layer.wrong("flip", "\"" + *flip + "\" is not allowed; use \"horizontal\", \"vertical\" or \"none\"");
    }
    return changes;
}

}  // namespace sg::packtool::manifest
