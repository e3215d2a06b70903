// Writing and reading scene packages in memory: BMP file images, "AP01"
// animation sets, layer chunks, the info block and the package directory.
// Used by snowglobe-pack, the default-scene generator and the tests.
// The writers throw std::runtime_error on misuse. The readers never throw on
// damaged input: they report problems with the byte offset concerned.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/package_format.h"

namespace sg::pack {

using Bytes = std::vector<std::uint8_t>;

// Fixed sizes of the format, as the engine reads it (format/package_format.h).
constexpr std::size_t DIRECTORY_BYTES = sizeof(format::PackageDirectory);
constexpr std::size_t SCENE_HEADER_BYTES = sizeof(format::SceneHeader);
constexpr std::size_t LAYER_BLOCK_BYTES = sizeof(format::LayerBlock);
constexpr std::size_t INFO_BLOCK_BYTES = sizeof(format::InfoBlock);
constexpr std::size_t OPTIONAL_BLOCK1_BYTES = format::OPTIONAL_BLOCK1_SIZE;
constexpr std::size_t OPTIONAL_BLOCK2_BYTES = format::OPTIONAL_BLOCK2_SIZE;
constexpr std::size_t ANIMSET_HEADER_BYTES = format::animset::HEADER_SIZE;
constexpr std::size_t BMP_HEADER_BYTES = format::BMP_HEADERS_SIZE;
constexpr int MAX_SET_FRAMES = format::MAX_FRAMES;
constexpr int MAX_LAYER_INSTANCES = format::MAX_INSTANCES;
// The engine reads pictures and sets from working copies this many bytes
// longer than the data, filled with zeros.
constexpr std::size_t READ_GRACE_BYTES = format::READ_GRACE_BYTES;
static_assert(DIRECTORY_BYTES == 112 && SCENE_HEADER_BYTES == 340 && LAYER_BLOCK_BYTES == 76 &&
              INFO_BLOCK_BYTES == 1520);

// A picture in memory: top-down rows, 3 bytes per pixel in B, G, R order.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;  // width * height * 3
    std::array<std::uint8_t, 3> at(int x, int y) const;
    void set(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r);
};

// 24-bit BMP: 14 + 40 byte headers, no colour table, bottom-up rows padded to
// 4 bytes, image-size field 0, then tailBytes zero bytes.
Bytes bmp24(const Image& image, int tailBytes = 0);
// 8-bit BMP with a colour table of palette.size() entries (1..256; colours
// used = that count, or 0 when writeColorsUsedZero and the table has 256).
struct Palette8 {
    std::vector<std::array<std::uint8_t, 4>> entries;  // B, G, R, 0
};
Bytes bmp8(int width, int height, const std::vector<std::uint8_t>& topDownIndices,
           const Palette8& palette, bool writeColorsUsedZero = false, int tailBytes = 0);

// Little-endian helpers.
void put32(Bytes& out, std::size_t at, std::int32_t value);
std::int32_t get32(const Bytes& in, std::size_t at);  // throws when out of range

// ---- problems found by the readers ----

enum class Severity { Error, Warning };

struct Problem {
    Severity severity = Severity::Error;
    std::size_t offset = 0;  // byte offset concerned, from the start of what was parsed
    std::string message;
};
using Problems = std::vector<Problem>;

bool has_errors(const Problems& problems);
// "error at byte 1234: ..." / "warning at byte 1234: ..."
std::string to_string(const Problem& problem);

// ---- BMP file images as the engine reads them ----

// The headers of a BMP file image, read the way the engine's loader reads
// them: the info header is taken to be 40 bytes whatever its size field says,
// bytes past the end read as zeros, and the pixel rows follow the colour
// table directly (the pixel-data offset is not used).
struct BmpHeader {
    bool typeOk = false;                 // starts with "BM"
    std::uint32_t pixelDataOffset = 0;   // from the file header; informational
    std::uint32_t headerSize = 0;        // info header size field
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t tableEntries = 0;      // colour-table entries copied (8-bit only)
    std::int64_t stride = 0;             // 0 for bit counts other than 8 and 24
    std::int64_t rowsStart = 0;          // where the pixel rows start
    std::int64_t rowsEnd = 0;            // rowsStart + stride * height
    bool rowsInside = false;             // positive size and rowsEnd <= file size
    bool rowsFit = false;                // positive size and rowsEnd <= file size + 1000
};
BmpHeader bmp_header(const std::uint8_t* data, std::size_t size);

// Appends the problems the engine would have with this picture; offsets are
// reported as base + offset in the file. Animation frames must be 24-bit.
void bmp_check(const std::uint8_t* data, std::size_t size, bool animationFrame,
               std::size_t base, Problems& out);

// Decodes an 8- or 24-bit uncompressed picture the way the engine does
// (missing bytes within the grace read as zeros); nothing for anything else.
std::optional<Image> bmp_image(const std::uint8_t* data, std::size_t size);

// ---- animation sets ----

struct Frame {
    Bytes bmp;          // the BMP file image as stored
    std::int32_t duration = 2;
};

struct AnimSet {
    std::int32_t version = 1;
    std::int32_t maskMode = 0;
    std::vector<Frame> frames;      // at most 20
    // frameCount written into the header; defaults to frames.size().
    std::optional<std::int32_t> frameCountOverride;
    std::string magic = "AP01";     // written as its first 4 bytes, NUL-padded
};
// 256-byte header, frames back to back from offset 256.
Bytes animset_bytes(const AnimSet& set);

// A set read back, with what the engine would object to. frames holds the
// frames whose table entries are in use (at least the first frameCount, as far
// as they lie within the set and its grace); frameCountOverride is set when the
// header's frameCount differs from frames.size().
struct AnimSetRead : AnimSet {
    Problems problems;
    bool ok() const { return !has_errors(problems); }
};
// Offsets in the problems are base + offset in the set.
AnimSetRead animset_parse(const std::uint8_t* data, std::size_t size, std::size_t base = 0);

// ---- layer blocks ----

// The 19 fields of a layer block, in package order.
struct LayerSettings {
    std::int32_t enabled = 0;
    std::int32_t setOffset = 76;
    std::int32_t setSize = 0;         // filled from the set when writing, unless keepSetFields
    std::int32_t instanceCount = 0;
    std::int32_t reentryCycles = 65535;
    std::int32_t startX = 0;
    std::int32_t startY = 0;
    std::int32_t maxWait = 0;
    std::int32_t directionCode = 7;
    std::int32_t entryEdge = 1;
    std::int32_t placement = 1;
    std::int32_t startCorner = 0;
    std::int32_t keepInside = 0;
    std::int32_t speedClass = 1;
    std::int32_t swayAxis = 1;
    std::int32_t swayRow = 1;
    std::int32_t randomStart = 1;
    std::int32_t delayMode = 1;
    std::int32_t loops = 1;
};
Bytes layer_block_bytes(const LayerSettings& settings);
LayerSettings layer_block_parse(const std::uint8_t* block76);

struct Layer {
    LayerSettings settings;
    // The chunk: the 76-byte block, then this set (if any) at chunk offset 76.
    std::optional<AnimSet> set;
    // When true, setOffset and setSize are written as given (disabled layers
    // keep leftover numbers); otherwise setOffset = 76 and setSize = set size.
    bool keepSetFields = false;
};

// ---- the package ----

struct Scene {
    std::string title;  // bytes (Shift-JIS), at most 299, no NUL
    std::int32_t backgroundMode = 0;
    std::int32_t pictureFit = 1;
    // Each picture or sound is stored after the header (picture, tile, sound)
    // only when given, and may be given only when its setting is on.
    Bytes picture;       // BMP file image for mode 4 (stored right after the header)
    Bytes tile;          // BMP file image for mode 3
    Bytes sound;         // WAV file image; soundEnabled = !sound.empty()
    std::int32_t optionalBlock2Present = 0;
    // Offset and size fields of pictures and sounds not stored: leftover
    // numbers (as the shipped package has), or deliberately wrong ones.
    std::int32_t leftoverTileOffset = 0, leftoverTileSize = 0;
    std::int32_t leftoverSoundOffset = 0, leftoverSoundSize = 0;
    std::int32_t leftoverPictureOffset = 0, leftoverPictureSize = 0;
};

struct Info {
    std::array<std::int32_t, 5> lineShown{};
    std::array<std::string, 5> lines;  // bytes, each at most 299, no NUL
};

struct Package {
    Scene scene;
    std::array<Layer, 10> layers;
    Info info;
    Bytes optionalBlock1;   // 120 bytes when the scene has a sound (zeros if empty)
    // The code page of the title and about lines. Any other than 932 is
    // written as a text record at the start of optional block 1, which is
    // then stored even without a sound (its first 12 bytes must be zero).
    std::uint32_t textCodePage = format::textrecord::DEFAULT_CODE_PAGE;
    // How full screen uses several monitors. Any mode but Primary is written
    // as a monitors record at bytes 12 to 23 of optional block 1, which is
    // then stored even without a sound (those bytes must be zero).
    format::MonitorMode monitorMode = format::monitorsrecord::DEFAULT_MODE;
    Bytes optionalBlock2;   // 52,428 bytes when optionalBlock2Present
    // Directory entries 12 and 13 when their blocks are absent.
    std::array<std::int32_t, 2> entry12{0, 1};
    std::array<std::int32_t, 2> entry13{132, 0};
    // Pad the package with zeros to this many bytes (0: no padding).
    std::size_t padTo = 0;
};

struct Layout {
    std::array<std::int32_t, 14> offsets{};
    std::array<std::int32_t, 14> sizes{};
    std::size_t endOfData = 0;
};

// The 12-byte text record naming codePage.
Bytes text_record_bytes(std::uint32_t codePage);
// The 12-byte monitors record naming mode.
Bytes monitors_record_bytes(format::MonitorMode mode);

// Lays the chunks out back to back from offset 112 in directory order:
// scene chunk, layer chunks 0..9, info block, optional blocks.
Bytes package_bytes(const Package& package, Layout* layout = nullptr);

// A package read back. The Package part rebuilds the same bytes with
// package_bytes for any package that package_bytes wrote. layout holds the
// directory as found and the end of the data the engine reads; problems say
// what the engine would fail on (errors) or what looks wrong but is harmless
// (warnings). Only enabled layers, and pictures and sounds whose setting is
// on, are checked, as only they are read. A text record the engine uses
// becomes textCodePage (and is zeroed in optionalBlock1); one it ignores is
// kept as bytes, with a warning. The monitors record likewise becomes
// monitorMode.
struct PackageRead : Package {
    Layout layout;
    Problems problems;
    bool ok() const { return !has_errors(problems); }
};
PackageRead package_parse(const std::uint8_t* data, std::size_t size);

}  // namespace sg::pack
