// The scene package: resource "KAVREN"/103, its directory, scene header,
// layer blocks, info block and optional blocks, copied out once at start-up.
#pragma once

#include <cstdint>

#include "motion/layers.h"
#include "platform/platform.h"

namespace sg {

constexpr int PACKAGE_RESOURCE_ID = 103;
extern const char* const PACKAGE_RESOURCE_TYPE;  // "KAVREN"

struct DirectoryEntry {
    std::int32_t offset;
    std::int32_t size;
};

struct PackageDirectory {
    DirectoryEntry entries[14];
};
static_assert(sizeof(PackageDirectory) == 112);

struct SceneHeader {
    char title[300];
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

struct InfoBlock {
    std::int32_t lineShown[5];
    char lines[5][300];
};
static_assert(sizeof(InfoBlock) == 1520);

constexpr int OPTIONAL_BLOCK1_SIZE = 120;
constexpr int OPTIONAL_BLOCK2_SIZE = 52428;

extern const std::uint8_t* packageBase;
// Bytes that exist at packageBase (the resource size on Windows). Every read
// from the package is checked against it.
extern std::uint32_t packageSize;
extern PackageDirectory packageDirectory;
extern SceneHeader sceneHeader;
extern LayerBlock layerBlocks[10];
extern InfoBlock infoBlock;
extern std::uint8_t optionalBlock1[OPTIONAL_BLOCK1_SIZE];
extern std::uint8_t optionalBlock2[OPTIONAL_BLOCK2_SIZE];

// Zeroes the copied-out blocks; package_globals_reset() also forgets the
// package itself (packageBase, packageSize).
void package_blocks_clear();
void package_globals_reset();

// Finds and pins the resource; null when missing. Sets packageSize.
const std::uint8_t* package_open(pf::HINSTANCE instance);
// Opens the package and copies its fixed blocks out. 0 when the package is
// missing or any fixed block lies outside it (or the title has no NUL): the
// "err"/"hres" box has then been shown and nothing else may run.
int package_copy_out(pf::HINSTANCE instance);

// True when [offset, offset + length) of the package lies inside packageSize.
bool package_range_ok(std::int64_t offset, std::int64_t length);

// The bytes at an offset counted from the scene chunk (a picture or the
// sound). *available is how many of the `length` bytes asked for lie inside
// the package: `length` when all do, fewer when the package ends first, 0 when
// the offset is outside it (the result is then packageBase, never read).
const std::uint8_t* package_scene_bytes(std::int64_t sceneOffset, std::int64_t length,
                                        int* available);

}  // namespace sg
