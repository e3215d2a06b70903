// The scene package format: the blocks the engine copies out, their offsets
// and sizes, the "AP01" animation set header, and the limits every reader of
// a package relies on. Shared by the engine and the authoring library; plain
// data and constants only, so both can include it anywhere.
//
//   [directory: 14 x {offset, size}]            112 bytes at 0
//   entry 0   scene header                      340 bytes (pictures and sound
//                                               are addressed from its offset)
//   entry 1-10 layer blocks                     76 bytes each, then the set
//   entry 11  info block (about lines)          1520 bytes
//   entry 12  optional block 1 (with a sound,   120 bytes
//             or holding a text record)
//   entry 13  optional block 2 (when flagged)   52428 bytes
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/bytes.h"

namespace sg::format {

constexpr int PACKAGE_RESOURCE_ID = 103;
constexpr const char* PACKAGE_RESOURCE_TYPE = "KAVREN";

constexpr int DIRECTORY_ENTRIES = 14;
constexpr int SCENE_ENTRY = 0;
constexpr int FIRST_LAYER_ENTRY = 1;
constexpr int INFO_ENTRY = 11;
constexpr int OPTIONAL1_ENTRY = 12;
constexpr int OPTIONAL2_ENTRY = 13;

constexpr int PACKAGE_LAYERS = 10;   // layers a package can enable
constexpr int MAX_INSTANCES = 50;    // instances of one layer
constexpr int MAX_FRAMES = 20;       // frames of one animation set
constexpr int INFO_LINES = 5;
constexpr int TEXT_FIELD_BYTES = 300;  // the title and each about line

constexpr int OPTIONAL_BLOCK1_SIZE = 120;
constexpr int OPTIONAL_BLOCK2_SIZE = 52428;

// Pictures and sets are read from working copies this many bytes longer than
// their data, filled with zeros: a file a little short still decodes.
constexpr std::int64_t READ_GRACE_BYTES = 1000;

struct DirectoryEntry {
    std::int32_t offset;
    std::int32_t size;
};

struct PackageDirectory {
    DirectoryEntry entries[DIRECTORY_ENTRIES];
};
static_assert(sizeof(PackageDirectory) == 112);

struct SceneHeader {
    char title[TEXT_FIELD_BYTES];
    std::int32_t backgroundMode;
    std::int32_t tileOffset;
    std::int32_t tileSize;
    std::int32_t pictureFit;
    std::int32_t pictureOffset;
    std::int32_t pictureSize;
    std::int32_t soundOffset;
    std::int32_t soundSize;
    std::int32_t soundEnabled;
    std::int32_t optionalBlock2Present;
};
static_assert(sizeof(SceneHeader) == 340);

struct LayerBlock {
    std::int32_t enabled;
    std::int32_t setOffset;
    std::int32_t setSize;
    std::int32_t instanceCount;
    std::int32_t reentryCycles;
    std::int32_t startX;
    std::int32_t startY;
    std::int32_t maxWait;
    std::int32_t directionCode;
    std::int32_t entryEdge;
    std::int32_t placement;
    std::int32_t startCorner;
    std::int32_t keepInside;
    std::int32_t speedClass;
    std::int32_t swayAxis;
    std::int32_t swayRow;
    std::int32_t randomStart;
    std::int32_t delayMode;
    std::int32_t loops;
};
static_assert(sizeof(LayerBlock) == 76);

struct InfoBlock {
    std::int32_t lineShown[INFO_LINES];
    char lines[INFO_LINES][TEXT_FIELD_BYTES];
};
static_assert(sizeof(InfoBlock) == 1520);

// The scene header's background code; any other code is Unknown, which
// leaves the background as its surfaces were created.
enum class BackgroundMode : std::int32_t { Black = 0, White = 1, Desktop = 2, Tiled = 3, Picture = 4, Unknown = 5 };
constexpr BackgroundMode background_mode(std::int32_t code) {
    return code >= 0 && code <= 4 ? static_cast<BackgroundMode>(code) : BackgroundMode::Unknown;
}

// "AP01" animation sets: a 256-byte header, then the frames' BMP file images.
namespace animset {
constexpr char MAGIC[4] = {'A', 'P', '0', '1'};
constexpr int HEADER_SIZE = 256;
constexpr int OFFSET_VERSION = 4;
constexpr int OFFSET_FRAME_COUNT = 8;
constexpr int OFFSET_MASK_MODE = 12;
constexpr int OFFSET_FRAME_OFFSETS = 16;    // MAX_FRAMES x int32, from the set's start
constexpr int OFFSET_FRAME_SIZES = 96;      // MAX_FRAMES x int32
constexpr int OFFSET_FRAME_DURATIONS = 176; // MAX_FRAMES x int32, in ticks
static_assert(OFFSET_FRAME_SIZES == OFFSET_FRAME_OFFSETS + 4 * MAX_FRAMES);
static_assert(OFFSET_FRAME_DURATIONS == OFFSET_FRAME_SIZES + 4 * MAX_FRAMES);
static_assert(OFFSET_FRAME_DURATIONS + 4 * MAX_FRAMES <= HEADER_SIZE);
}  // namespace animset

// The text record: which Windows code page the title and about lines are
// written in. It sits at the start of optional block 1, which engines that
// do not know it copy out only with a sound and never read; without it (or
// with one that is damaged or names another code page) texts are 932.
//   "SGTX", uint32 version 1, uint32 code page, then zeros to the block's end
namespace textrecord {
constexpr char MAGIC[4] = {'S', 'G', 'T', 'X'};
constexpr int OFFSET_VERSION = 4;
constexpr int OFFSET_CODE_PAGE = 8;
constexpr int SIZE = 12;
constexpr std::int32_t VERSION = 1;
constexpr std::uint32_t DEFAULT_CODE_PAGE = 932;  // Shift-JIS, what a package without the record holds
// The Windows ANSI code pages a package may name.
constexpr std::uint32_t CODE_PAGES[] = {874, 932, 936, 949, 950, 1250, 1251, 1252,
                                        1253, 1254, 1255, 1256, 1257, 1258};
constexpr bool code_page_allowed(std::uint32_t codePage) {
    for (std::uint32_t c : CODE_PAGES)
        if (c == codePage) return true;
    return false;
}
static_assert(SIZE <= OPTIONAL_BLOCK1_SIZE);
}  // namespace textrecord

// The monitors record: how full screen uses a desktop of several monitors.
// It follows the text record in optional block 1 (bytes 12 to 23 of the
// block), so a package carries either, both or neither. Without it, or with
// one that is damaged or names an unknown mode, the saver plays on the
// primary monitor and covers the others.
//   "SGMN", uint32 version 1, uint32 mode (0 primary, 1 each, 2 span)
enum class MonitorMode : std::int32_t {
    Primary = 0,  // the primary monitor plays, the others are black
    Each = 1,     // every monitor plays its own copy at its own size
    Span = 2,     // one scene over the bounding box of all monitors
};
namespace monitorsrecord {
constexpr char MAGIC[4] = {'S', 'G', 'M', 'N'};
constexpr int BLOCK_OFFSET = 12;  // where the record starts in optional block 1
constexpr int OFFSET_VERSION = 4;
constexpr int OFFSET_MODE = 8;
constexpr int SIZE = 12;
constexpr std::int32_t VERSION = 1;
constexpr MonitorMode DEFAULT_MODE = MonitorMode::Primary;
static_assert(BLOCK_OFFSET >= textrecord::SIZE);
static_assert(BLOCK_OFFSET + SIZE <= OPTIONAL_BLOCK1_SIZE);
}  // namespace monitorsrecord

// BMP file images: the 14-byte file header and the 40-byte info header.
constexpr int BMP_FILE_HEADER_SIZE = 14;
constexpr int BMP_INFO_HEADER_SIZE = 40;
constexpr int BMP_HEADERS_SIZE = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE;

// The code page a text record names, from the first `size` bytes of optional
// block 1 (the caller has checked they exist); DEFAULT_CODE_PAGE when there is
// no record, a record of another version, or a code page not allowed.
inline std::uint32_t text_record_code_page(const std::uint8_t* block, std::size_t size) {
    using namespace textrecord;
    if (block == nullptr || size < static_cast<std::size_t>(SIZE)) return DEFAULT_CODE_PAGE;
    for (int i = 0; i < 4; ++i)
        if (block[i] != static_cast<std::uint8_t>(MAGIC[i])) return DEFAULT_CODE_PAGE;
    if (read_i32(block + OFFSET_VERSION) != VERSION) return DEFAULT_CODE_PAGE;
    const auto codePage = read_u32(block + OFFSET_CODE_PAGE);
    return code_page_allowed(codePage) ? codePage : DEFAULT_CODE_PAGE;
}

// The monitor mode a monitors record names, from the first `size` bytes of
// optional block 1 (the caller has checked they exist); Primary when the
// block is too short for the record, or the record is absent, of another
// version or names an unknown mode.
inline MonitorMode monitors_record_mode(const std::uint8_t* block, std::size_t size) {
    using namespace monitorsrecord;
    if (block == nullptr || size < static_cast<std::size_t>(BLOCK_OFFSET + SIZE)) return DEFAULT_MODE;
    const std::uint8_t* record = block + BLOCK_OFFSET;
    for (int i = 0; i < 4; ++i)
        if (record[i] != static_cast<std::uint8_t>(MAGIC[i])) return DEFAULT_MODE;
    if (read_i32(record + OFFSET_VERSION) != VERSION) return DEFAULT_MODE;
    const auto mode = read_i32(record + OFFSET_MODE);
    return mode >= 0 && mode <= 2 ? static_cast<MonitorMode>(mode) : DEFAULT_MODE;
}

}  // namespace sg::format
