// The package container: layer blocks, the scene chunk, the info block, the
// optional blocks and the directory. Writing lays the chunks out back to back;
// reading checks every offset against the bytes that exist and rebuilds a
// Package that writes the same bytes again.
#include <algorithm>
#include <limits>
#include <stdexcept>

#include "format/wav_rules.h"
#include "tools/packlib/packlib.h"
#include "tools/packlib/view.h"

namespace sg::pack {

using detail::num;
using detail::report;
using detail::View;
using detail::copy_out;

namespace {

constexpr int LAYER_FIELDS = 19;

// Field order of a layer block.
std::array<std::int32_t*, LAYER_FIELDS> fields_of(LayerSettings& s) {
    return {&s.enabled,     &s.setOffset,   &s.setSize,     &s.instanceCount, &s.reentryCycles,
            &s.startX,      &s.startY,      &s.maxWait,     &s.directionCode, &s.entryEdge,
            &s.placement,   &s.startCorner, &s.keepInside,  &s.speedClass,    &s.swayAxis,
            &s.swayRow,     &s.randomStart, &s.delayMode,   &s.loops};
}

constexpr std::size_t TITLE_BYTES = 300;
constexpr std::size_t LINE_BYTES = 300;
constexpr std::size_t LINES_AT = 20;

void put_text(Bytes& out, std::size_t at, const std::string& text, const char* what) {
    if (text.size() >= TITLE_BYTES)
        throw std::runtime_error(std::string(what) + " is longer than 299 bytes");
    if (text.find('\0') != std::string::npos)
        throw std::runtime_error(std::string(what) + " contains a NUL byte");
    std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

// A NUL-terminated text field; nullopt when it has no NUL.
std::optional<std::string> get_text(const View& v, std::int64_t at, std::size_t fieldBytes) {
    for (std::size_t i = 0; i < fieldBytes; ++i)
        if (v.u8(at + static_cast<std::int64_t>(i)) == 0)
            return std::string(reinterpret_cast<const char*>(v.data()) + at, i);
    return std::nullopt;
}

std::size_t animset_size(const AnimSet& set) {
    std::size_t n = ANIMSET_HEADER_BYTES;
    for (const Frame& f : set.frames) n += f.bmp.size();
    return n;
}

bool has_text_record(const Package& p) { return p.textCodePage != format::textrecord::DEFAULT_CODE_PAGE; }
bool has_monitors_record(const Package& p) { return p.monitorMode != format::monitorsrecord::DEFAULT_MODE; }

// Optional block 1 is stored with a sound, and for either record.
bool has_optional_block1(const Package& p) {
    return !p.scene.sound.empty() || has_text_record(p) || has_monitors_record(p);
}

// True when any of optionalBlock1's bytes [from, from + count) is not zero.
bool block1_holds_data(const Package& p, std::size_t from, std::size_t count) {
    const Bytes& b = p.optionalBlock1;
    for (std::size_t i = from; i < from + count && i < b.size(); ++i)
        if (b[i] != 0) return true;
    return false;
}

// What package_bytes makes of p before padding.
std::size_t unpadded_size(const Package& p) {
    std::size_t n = DIRECTORY_BYTES + SCENE_HEADER_BYTES + p.scene.picture.size() + p.scene.tile.size() +
                    p.scene.sound.size() + INFO_BLOCK_BYTES;
    for (const Layer& l : p.layers) n += LAYER_BLOCK_BYTES + (l.set ? animset_size(*l.set) : 0);
    if (has_optional_block1(p)) n += OPTIONAL_BLOCK1_BYTES;
    if (p.scene.optionalBlock2Present != 0) n += OPTIONAL_BLOCK2_BYTES;
    return n;
}

}  // namespace

Bytes text_record_bytes(std::uint32_t codePage) {
    namespace tr = format::textrecord;
    Bytes out(tr::SIZE, 0);
    std::copy(std::begin(tr::MAGIC), std::end(tr::MAGIC), out.begin());
    put32(out, tr::OFFSET_VERSION, tr::VERSION);
    put32(out, tr::OFFSET_CODE_PAGE, static_cast<std::int32_t>(codePage));
    return out;
}

Bytes monitors_record_bytes(format::MonitorMode mode) {
    namespace mr = format::monitorsrecord;
    Bytes out(mr::SIZE, 0);
    std::copy(std::begin(mr::MAGIC), std::end(mr::MAGIC), out.begin());
    put32(out, mr::OFFSET_VERSION, mr::VERSION);
    put32(out, mr::OFFSET_MODE, static_cast<std::int32_t>(mode));
    return out;
}

Bytes layer_block_bytes(const LayerSettings& settings) {
    LayerSettings copy = settings;
    Bytes out(LAYER_BLOCK_BYTES, 0);
    const auto f = fields_of(copy);
    for (int i = 0; i < LAYER_FIELDS; ++i) put32(out, 4 * static_cast<std::size_t>(i), *f[i]);
    return out;
}

LayerSettings layer_block_parse(const std::uint8_t* block76) {
    LayerSettings s;
    const View v{block76, block76 ? LAYER_BLOCK_BYTES : 0};
    const auto f = fields_of(s);
    for (int i = 0; i < LAYER_FIELDS; ++i) *f[i] = v.i32(4 * i);
    return s;
}

Bytes package_bytes(const Package& package, Layout* layoutOut) {
    const Scene& scene = package.scene;
    if (!scene.picture.empty() && format::background_mode(scene.backgroundMode) != format::BackgroundMode::Picture)
        throw std::runtime_error("package: a single picture is stored only with background mode 4");
    if (!scene.tile.empty() && format::background_mode(scene.backgroundMode) != format::BackgroundMode::Tiled)
        throw std::runtime_error("package: a tile picture is stored only with background mode 3");
    if (scene.sound.empty() && !package.optionalBlock1.empty())
        throw std::runtime_error("package: optional block 1 is stored only with a sound");
    if (scene.optionalBlock2Present == 0 && !package.optionalBlock2.empty())
        throw std::runtime_error("package: optional block 2 is stored only when optionalBlock2Present");
    if (package.optionalBlock1.size() > OPTIONAL_BLOCK1_BYTES)
        throw std::runtime_error("package: optional block 1 is longer than 120 bytes");
    if (package.optionalBlock2.size() > OPTIONAL_BLOCK2_BYTES)
        throw std::runtime_error("package: optional block 2 is longer than 52,428 bytes");
    namespace mr = format::monitorsrecord;
    const bool textRecord = has_text_record(package);
    const bool monitorsRecord = has_monitors_record(package);
    if (!format::textrecord::code_page_allowed(package.textCodePage))
        throw std::runtime_error("package: code page " + num(package.textCodePage) +
                                 " is not one a package may name");
    const auto mode = static_cast<std::int32_t>(package.monitorMode);
    if (mode < static_cast<std::int32_t>(format::MonitorMode::Primary) ||
        mode > static_cast<std::int32_t>(format::MonitorMode::Span))
        throw std::runtime_error("package: monitor mode " + num(mode) + " is not one a package may name");
    if (textRecord && block1_holds_data(package, 0, format::textrecord::SIZE))
        throw std::runtime_error("package: optional block 1's first 12 bytes hold data; the text record goes there");
    if (monitorsRecord && block1_holds_data(package, mr::BLOCK_OFFSET, mr::SIZE))
        throw std::runtime_error("package: optional block 1's bytes 12 to 23 hold data; the monitors record goes there");
    if (unpadded_size(package) > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::runtime_error("package: larger than 2 GB");

    Layout layout;
    Bytes out(DIRECTORY_BYTES, 0);
    const auto append = [&](int entry, const Bytes& chunk) {
        layout.offsets[entry] = static_cast<std::int32_t>(out.size());
        layout.sizes[entry] = static_cast<std::int32_t>(chunk.size());
        out.insert(out.end(), chunk.begin(), chunk.end());
    };

    // Scene chunk: header, then picture, tile and sound in that order.
    Bytes chunk(SCENE_HEADER_BYTES, 0);
    put_text(chunk, 0, scene.title, "title");
    const auto place = [&](const Bytes& blob, std::size_t fieldAt, std::int32_t leftoverOffset,
                           std::int32_t leftoverSize) {
        if (blob.empty()) {
            put32(chunk, fieldAt, leftoverOffset);
            put32(chunk, fieldAt + 4, leftoverSize);
            return;
        }
        put32(chunk, fieldAt, static_cast<std::int32_t>(chunk.size()));
        put32(chunk, fieldAt + 4, static_cast<std::int32_t>(blob.size()));
        chunk.insert(chunk.end(), blob.begin(), blob.end());
    };
    put32(chunk, 300, scene.backgroundMode);
    put32(chunk, 312, scene.pictureFit);
    place(scene.picture, 316, scene.leftoverPictureOffset, scene.leftoverPictureSize);
    place(scene.tile, 304, scene.leftoverTileOffset, scene.leftoverTileSize);
    place(scene.sound, 324, scene.leftoverSoundOffset, scene.leftoverSoundSize);
    put32(chunk, 332, scene.sound.empty() ? 0 : 1);
    put32(chunk, 336, scene.optionalBlock2Present);
    append(0, chunk);

    for (int k = 0; k < 10; ++k) {
        const Layer& layer = package.layers[k];
        const Bytes set = layer.set ? animset_bytes(*layer.set) : Bytes{};
        LayerSettings settings = layer.settings;
        if (!layer.keepSetFields) {
            settings.setOffset = static_cast<std::int32_t>(LAYER_BLOCK_BYTES);
            settings.setSize = static_cast<std::int32_t>(set.size());
        }
        chunk = layer_block_bytes(settings);
        chunk.insert(chunk.end(), set.begin(), set.end());
        append(1 + k, chunk);
    }

    chunk.assign(INFO_BLOCK_BYTES, 0);
    for (std::size_t i = 0; i < 5; ++i) {
        put32(chunk, 4 * i, package.info.lineShown[i]);
        put_text(chunk, LINES_AT + LINE_BYTES * i, package.info.lines[i], "info line");
    }
    append(11, chunk);

    if (has_optional_block1(package)) {
        // Engines that do not know the records copy this block only with a
        // sound, and never read it.
        chunk = package.optionalBlock1;
        chunk.resize(OPTIONAL_BLOCK1_BYTES, 0);
        if (textRecord) {
            const Bytes record = text_record_bytes(package.textCodePage);
            std::copy(record.begin(), record.end(), chunk.begin());
        }
        if (monitorsRecord) {
            const Bytes record = monitors_record_bytes(package.monitorMode);
            std::copy(record.begin(), record.end(), chunk.begin() + mr::BLOCK_OFFSET);
        }
        append(12, chunk);
    } else {
        layout.offsets[12] = package.entry12[0];
        layout.sizes[12] = package.entry12[1];
    }
    if (scene.optionalBlock2Present != 0) {
        chunk = package.optionalBlock2;
        chunk.resize(OPTIONAL_BLOCK2_BYTES, 0);
        append(13, chunk);
    } else {
        layout.offsets[13] = package.entry13[0];
        layout.sizes[13] = package.entry13[1];
    }

    layout.endOfData = out.size();
    if (package.padTo != 0) {
        if (package.padTo < out.size())
            throw std::runtime_error("package: " + num(out.size()) + " bytes of data do not fit in padTo " +
                                     num(package.padTo));
        out.resize(package.padTo, 0);
    }
    for (std::size_t i = 0; i < 14; ++i) {
        put32(out, 8 * i, layout.offsets[i]);
        put32(out, 8 * i + 4, layout.sizes[i]);
    }
    if (layoutOut) *layoutOut = layout;
    return out;
}

namespace {

// The reader's working state: the package, the result, and the end of the
// data found so far.
struct Reader {
    View v;
    PackageRead& r;
    std::int64_t end = static_cast<std::int64_t>(DIRECTORY_BYTES);

    void error(std::int64_t at, std::string message) {
        report(r.problems, Severity::Error, at, std::move(message));
    }
    void warning(std::int64_t at, std::string message) {
        report(r.problems, Severity::Warning, at, std::move(message));
    }
    void reach(std::int64_t offset, std::int64_t length) { end = std::max(end, offset + length); }

    // A fixed-size block at directory entry `entry`; false (with an error)
    // when it does not lie inside the package.
    bool block(int entry, std::size_t bytes, const std::string& what) {
        const std::int64_t off = r.layout.offsets[entry];
        const auto len = static_cast<std::int64_t>(bytes);
        if (!v.contains(off, len)) {
            error(8 * entry, what + " at offset " + num(off) + " (" + num(len) + " bytes) lies outside the " +
                                 num(v.size()) + "-byte package");
            return false;
        }
        reach(off, len);
        // Chunk sizes are never read by the engine, but mark how far a chunk goes.
        const std::int64_t dirSize = r.layout.sizes[entry];
        if (dirSize > len && v.contains(off, dirSize)) reach(off, dirSize);
        return true;
    }

    // A text record at `at` that the engine uses: sets textCodePage. One
    // that it ignores gets a warning; no "SGTX" at all is no record.
    bool text_record(std::int64_t at) {
        namespace tr = format::textrecord;
        // The engine reads the record's 12 bytes wherever they lie in the package.
        if (!v.contains(at, tr::SIZE)) return false;
        for (int i = 0; i < 4; ++i)
            if (v.u8(at + i) != static_cast<std::uint8_t>(tr::MAGIC[i])) return false;
        const std::int32_t version = v.i32(at + tr::OFFSET_VERSION);
        const auto codePage = static_cast<std::uint32_t>(v.i32(at + tr::OFFSET_CODE_PAGE));
        if (version != tr::VERSION) {
            warning(at + tr::OFFSET_VERSION, "text record version " + num(version) +
                                                 " is unknown; texts read as code page 932");
            return false;
        }
        if (!tr::code_page_allowed(codePage) || codePage == tr::DEFAULT_CODE_PAGE) {
            warning(at + tr::OFFSET_CODE_PAGE,
                    "text record names code page " + num(codePage) +
                        (codePage == tr::DEFAULT_CODE_PAGE ? ", the default; no record is needed"
                                                           : ", which is not allowed; texts read as code page 932"));
            return false;
        }
        r.textCodePage = codePage;
        return true;
    }

    // A monitors record in the block at `block` that the engine uses: sets
    // monitorMode. One that it ignores gets a warning; no "SGMN" at all is
    // no record.
    bool monitors_record(std::int64_t block) {
        namespace mr = format::monitorsrecord;
        // The engine reads the block's first 24 bytes, all inside the package, or none.
        if (!v.contains(block, mr::BLOCK_OFFSET + mr::SIZE)) return false;
        const std::int64_t at = block + mr::BLOCK_OFFSET;
        for (int i = 0; i < 4; ++i)
            if (v.u8(at + i) != static_cast<std::uint8_t>(mr::MAGIC[i])) return false;
        const std::int32_t version = v.i32(at + mr::OFFSET_VERSION);
        const std::int32_t mode = v.i32(at + mr::OFFSET_MODE);
        const char* primary = "; full screen plays on the primary monitor and covers the others with black";
        if (version != mr::VERSION) {
            warning(at + mr::OFFSET_VERSION, "monitors record version " + num(version) + " is unknown" + primary);
            return false;
        }
        if (mode == static_cast<std::int32_t>(format::MonitorMode::Primary)) {
            warning(at + mr::OFFSET_MODE, "monitors record names primary, the default; no record is needed");
            return false;
        }
        if (mode != static_cast<std::int32_t>(format::MonitorMode::Each) &&
            mode != static_cast<std::int32_t>(format::MonitorMode::Span)) {
            warning(at + mr::OFFSET_MODE, "monitors record names mode " + num(mode) + ", which is unknown" + primary);
            return false;
        }
        r.monitorMode = static_cast<format::MonitorMode>(mode);
        return true;
    }

    void scene();
    void layer(int k);
    void info();
    void optional_blocks();
};

void Reader::scene() {
    if (!block(0, SCENE_HEADER_BYTES, "scene header")) return;
    const std::int64_t base = r.layout.offsets[0];
    Scene& s = r.scene;
    if (auto title = get_text(v, base, TITLE_BYTES)) {
        s.title = *title;
        if (s.title.empty())
            error(base, "title is empty; it names the saver's window class, and without one the "
                        "saver ends at once with no window");
    } else {
        error(base, "title has no NUL in its 300 bytes");
        s.title = std::string(reinterpret_cast<const char*>(v.data()) + base, TITLE_BYTES - 1);
    }
    s.backgroundMode = v.i32(base + 300);
    s.pictureFit = v.i32(base + 312);
    const std::int32_t soundEnabled = v.i32(base + 332);
    s.optionalBlock2Present = v.i32(base + 336);
    s.leftoverTileOffset = v.i32(base + 304);
    s.leftoverTileSize = v.i32(base + 308);
    s.leftoverPictureOffset = v.i32(base + 316);
    s.leftoverPictureSize = v.i32(base + 320);
    s.leftoverSoundOffset = v.i32(base + 324);
    s.leftoverSoundSize = v.i32(base + 328);

    // A picture the background reads: inside the package, and loadable.
    const auto picture = [&](std::int64_t fieldAt, const char* what, Bytes& into,
                             std::int32_t& leftoverOffset, std::int32_t& leftoverSize) {
        const std::int64_t at = base + v.i32(base + fieldAt);
        std::int64_t len = v.i32(base + fieldAt + 4);
        // The saver hands the loader only the bytes the package has: a picture
        // whose size field says more is loaded from what is there.
        if (v.contains(at, 0) && len > 0 && !v.contains(at, len)) {
            warning(base + fieldAt + 4, std::string(what) + " size field says " + num(len) + " bytes, but only " +
                                            num(static_cast<std::int64_t>(v.size()) - at) +
                                            " are left in the package; the picture is read from those");
            len = static_cast<std::int64_t>(v.size()) - at;
        }
        if (!v.contains(at, len)) {
            error(base + fieldAt, std::string(what) + " at package offset " + num(at) + " (" + num(len) +
                                      " bytes) lies outside the " + num(v.size()) + "-byte package");
            return;
        }
        reach(at, len);
        into = copy_out(v, at, len);
        bmp_check(into.data(), into.size(), false, static_cast<std::size_t>(at), r.problems);
        if (!into.empty()) leftoverOffset = leftoverSize = 0;
    };
    switch (s.backgroundMode) {
    case 0: case 1: case 2: break;
    case 3: picture(304, "tile picture", s.tile, s.leftoverTileOffset, s.leftoverTileSize); break;
    case 4:
        picture(316, "single picture", s.picture, s.leftoverPictureOffset, s.leftoverPictureSize);
        if (s.pictureFit != 0 && s.pictureFit != 1)
            warning(base + 312, "picture fit " + num(s.pictureFit) + " is neither 0 (centred) nor 1 (stretched)");
        break;
    default:
        warning(base + 300, "background mode " + num(s.backgroundMode) + " is not one of 0..4");
    }

    if (soundEnabled == 0) return;
    // The sound plays straight from the package by its own RIFF length; the
    // size field is never read.
    const std::int64_t at = base + v.i32(base + 324);
    const std::int64_t sizeField = v.i32(base + 328);
    if (!v.contains(at, 12)) {
        error(base + 324, "sound at package offset " + num(at) + " lies outside the " + num(v.size()) +
                              "-byte package");
        return;
    }
    const bool riff = v.u8(at) == 'R' && v.u8(at + 1) == 'I' && v.u8(at + 2) == 'F' && v.u8(at + 3) == 'F' &&
                      v.u8(at + 8) == 'W' && v.u8(at + 9) == 'A' && v.u8(at + 10) == 'V' && v.u8(at + 11) == 'E';
    const auto riffBytes = static_cast<std::int64_t>(format::wav_riff_bytes(v.data() + at));
    if (!riff) {
        error(at, "sound is not a WAV file image (no \"RIFF\" ... \"WAVE\" header)");
    } else if (!v.contains(at, riffBytes)) {
        error(at + 4, "sound's RIFF data (" + num(riffBytes) + " bytes) runs past the end of the package");
    } else {
        reach(at, riffBytes);
        if (!format::wav_plays(v.data() + at, static_cast<std::size_t>(riffBytes)))
            error(at, "sound has a chunk that claims more bytes than its RIFF data holds; the players "
                      "refuse it and the scene stays silent");
        if (sizeField != riffBytes)
            warning(base + 328, "sound size field says " + num(sizeField) + " but the RIFF data is " +
                                    num(riffBytes) + " bytes");
    }
    if (sizeField > 0 && v.contains(at, sizeField)) {
        s.sound = copy_out(v, at, sizeField);
        reach(at, sizeField);
    } else if (riff && v.contains(at, riffBytes)) {
        s.sound = copy_out(v, at, riffBytes);
    }
    if (!s.sound.empty()) s.leftoverSoundOffset = s.leftoverSoundSize = 0;
}

void Reader::layer(int k) {
    const std::string name = "layer " + num(k) + ": ";
    Layer& layer = r.layers[k];
    if (!block(1 + k, LAYER_BLOCK_BYTES, "layer " + num(k) + " block")) return;
    const std::int64_t chunk = r.layout.offsets[1 + k];
    const std::int64_t chunkSize = r.layout.sizes[1 + k];
    LayerSettings& s = layer.settings;
    s = layer_block_parse(v.data() + chunk);

    const std::int64_t setAt = chunk + s.setOffset;
    const bool enabled = s.enabled != 0;
    const bool engineSet = enabled && v.contains(setAt, s.setSize);
    std::optional<AnimSetRead> read;
    if (enabled) {
        if (!engineSet) {
            error(chunk + 4, name + "animation set at chunk offset " + num(s.setOffset) + " (" +
                                 num(s.setSize) + " bytes) lies outside the package");
        } else {
            reach(setAt, s.setSize);
            read = animset_parse(v.data() + setAt, static_cast<std::size_t>(s.setSize),
                                 static_cast<std::size_t>(setAt));
            for (Problem& p : read->problems) {
                p.message = name + p.message;
                r.problems.push_back(std::move(p));
            }
        }
        // The saver clamps these: what it does is said, nothing is refused.
        if (s.instanceCount < 0 || s.instanceCount > MAX_LAYER_INSTANCES)
            warning(chunk + 12, name + "instance count " + num(s.instanceCount) + " is outside 0..50; the saver uses " +
                                    num(s.instanceCount < 0 ? 0 : MAX_LAYER_INSTANCES));
        if (s.speedClass < 0 || s.speedClass > 4)
            warning(chunk + 52, name + "speed class " + num(s.speedClass) + " is outside 0..4; the saver uses " +
                                    num(s.speedClass < 0 ? 0 : 4));
        if ((s.swayAxis == 0 || s.swayAxis == 1) && (s.swayRow < 0 || s.swayRow > 4))
            warning(chunk + 60, name + "sway row " + num(s.swayRow) + " is outside 0..4; the saver uses " +
                                    num(s.swayRow < 0 ? 0 : 4));
        if ((s.delayMode == 0 || s.delayMode == 2) && s.maxWait < 0)
            warning(chunk + 28, name + "longest wait " + num(s.maxWait) + " is negative; the saver waits 0 ticks");
        if (s.delayMode < 0 || s.delayMode > 2)
            warning(chunk + 68, name + "delay mode " + num(s.delayMode) + " is not one of 0..2");
        if (s.directionCode < 0 || s.directionCode > 8)
            warning(chunk + 32, name + "direction code " + num(s.directionCode) +
                                    " is not one of 0..8; the layer travels up-left");
        if (s.entryEdge < 0 || s.entryEdge > 8)
            warning(chunk + 36, name + "entry edge " + num(s.entryEdge) + " is not one of 0..8");
        if (s.startCorner < 0 || s.startCorner > 3)
            warning(chunk + 44, name + "start corner " + num(s.startCorner) + " is not one of 0..3");
    }

    // Rebuild the chunk as written: a writer puts the set right after the
    // block and gives the chunk's full size in the directory. A set that lies
    // elsewhere (and only the engine's offset finds) is moved to offset 76.
    const std::int64_t stored = chunkSize - static_cast<std::int64_t>(LAYER_BLOCK_BYTES);
    const bool writerSet = stored > 0 && v.contains(chunk, chunkSize);
    if (writerSet && (!engineSet || s.setOffset == static_cast<std::int32_t>(LAYER_BLOCK_BYTES))) {
        layer.set = static_cast<AnimSet>(
            animset_parse(v.data() + chunk + LAYER_BLOCK_BYTES, static_cast<std::size_t>(stored)));
        layer.keepSetFields = !(s.setOffset == static_cast<std::int32_t>(LAYER_BLOCK_BYTES) && s.setSize == stored);
    } else if (engineSet) {
        layer.set = static_cast<AnimSet>(*read);
        layer.keepSetFields = false;
    } else {
        layer.keepSetFields = true;
    }
}

void Reader::info() {
    if (!block(11, INFO_BLOCK_BYTES, "info block")) return;
    const std::int64_t base = r.layout.offsets[11];
    for (int i = 0; i < 5; ++i) {
        r.info.lineShown[i] = v.i32(base + 4 * i);
        const std::int64_t at = base + static_cast<std::int64_t>(LINES_AT + LINE_BYTES * i);
        if (auto line = get_text(v, at, LINE_BYTES)) {
            r.info.lines[i] = *line;
        } else {
            report(r.problems, Severity::Warning, at,
                   "info line " + num(i) + " has no NUL in its 300 bytes; the saver shows its first 299");
            r.info.lines[i] = std::string(reinterpret_cast<const char*>(v.data()) + at, LINE_BYTES - 1);
        }
    }
}

void Reader::optional_blocks() {
    // Flags come from the scene header; without one both blocks count as absent.
    const std::int64_t base = r.layout.offsets[0];
    const bool header = v.contains(base, SCENE_HEADER_BYTES);
    const bool sound = header && v.i32(base + 332) != 0;
    const bool second = header && v.i32(base + 336) != 0;
    if (sound) {
        if (block(12, OPTIONAL_BLOCK1_BYTES, "optional block 1")) {
            r.optionalBlock1 = copy_out(v, r.layout.offsets[12], OPTIONAL_BLOCK1_BYTES);
            if (text_record(r.layout.offsets[12]))
                std::fill_n(r.optionalBlock1.begin(), format::textrecord::SIZE, 0);
            if (monitors_record(r.layout.offsets[12]))
                std::fill_n(r.optionalBlock1.begin() + format::monitorsrecord::BLOCK_OFFSET,
                            format::monitorsrecord::SIZE, 0);
        }
    } else {
        const bool text = text_record(r.layout.offsets[12]);
        const bool monitors = monitors_record(r.layout.offsets[12]);
        if (text || monitors) {
            // Without a sound the block is there for the records alone.
            reach(r.layout.offsets[12], std::min<std::int64_t>(OPTIONAL_BLOCK1_BYTES, static_cast<std::int64_t>(v.size()) - r.layout.offsets[12]));
        } else {
            r.entry12 = {r.layout.offsets[12], r.layout.sizes[12]};
        }
    }
    if (second) {
        if (block(13, OPTIONAL_BLOCK2_BYTES, "optional block 2"))
            r.optionalBlock2 = copy_out(v, r.layout.offsets[13], OPTIONAL_BLOCK2_BYTES);
    } else {
        r.entry13 = {r.layout.offsets[13], r.layout.sizes[13]};
    }
}

}  // namespace

PackageRead package_parse(const std::uint8_t* data, std::size_t size) {
    PackageRead r;
    Reader reader{View{data, data ? size : 0}, r};
    if (reader.v.size() < DIRECTORY_BYTES) {
        reader.error(0, "package is " + num(reader.v.size()) + " bytes, shorter than its 112-byte directory");
        return r;
    }
    for (int i = 0; i < 14; ++i) {
        r.layout.offsets[i] = reader.v.i32(8 * i);
        r.layout.sizes[i] = reader.v.i32(8 * i + 4);
    }
    reader.scene();
    for (int k = 0; k < 10; ++k) reader.layer(k);
    reader.info();
    reader.optional_blocks();

    r.layout.endOfData = static_cast<std::size_t>(std::min<std::int64_t>(reader.end, reader.v.size()));
    for (std::size_t i = r.layout.endOfData; i < reader.v.size(); ++i) {
        if (data[i] != 0) {
            reader.warning(static_cast<std::int64_t>(i),
                           "bytes after the end of the data (" + num(r.layout.endOfData) +
                               ") are not all zero; no block covers them");
            break;
        }
    }
    // Padding that reproduces the package's size, when the rebuilt data is
    // shorter than it.
    const std::size_t rebuilt = unpadded_size(r);
    r.padTo = reader.v.size() > rebuilt ? reader.v.size() : 0;
    return r;
}

}  // namespace sg::pack
