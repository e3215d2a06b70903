// Writing and reading scene packages in memory: BMP file images, "AP01"
// animation sets, layer chunks, the info block and the package directory.
// Used by snowglobe-pack, the default-scene generator and the tests.
// Everything here is ordinary C++ and throws std::runtime_error on misuse.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sg::pack {

using Bytes = std::vector<std::uint8_t>;

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
    std::string magic = "AP01";
};
// 256-byte header, frames back to back from offset 256.
Bytes animset_bytes(const AnimSet& set);

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
    // The chunk: the 76-byte block, then this set (if any) at settings.setOffset.
    std::optional<AnimSet> set;
    // When true, setOffset and setSize are written as given (disabled layers
    // keep leftover numbers); otherwise setOffset = 76 and setSize = set size.
    bool keepSetFields = false;
};

struct Scene {
    std::string title;  // bytes (Shift-JIS), at most 299
    std::int32_t backgroundMode = 0;
    std::int32_t pictureFit = 1;
    Bytes picture;       // BMP file image for mode 4 (stored right after the header)
    Bytes tile;          // BMP file image for mode 3
    Bytes sound;         // WAV file image; soundEnabled = !sound.empty()
    std::int32_t optionalBlock2Present = 0;
    // Leftover numbers for fields whose setting is off (as the shipped package has).
    std::int32_t leftoverTileOffset = 0, leftoverTileSize = 0;
    std::int32_t leftoverSoundOffset = 0, leftoverSoundSize = 0;
};

struct Info {
    std::array<std::int32_t, 5> lineShown{};
    std::array<std::string, 5> lines;  // bytes, each at most 299
};

struct Package {
    Scene scene;
    std::array<Layer, 10> layers;
    Info info;
    Bytes optionalBlock1;   // 120 bytes when the scene has a sound (zeros if empty)
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

// Lays the chunks out back to back from offset 112 in directory order:
// scene chunk, layer chunks 0..9, info block, optional blocks.
Bytes package_bytes(const Package& package, Layout* layout = nullptr);

}  // namespace sg::pack
