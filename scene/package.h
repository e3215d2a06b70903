// The scene package as the saver holds it: the bytes it was given (the
// "KAVREN"/103 resource), and the fixed blocks copied out of them once at
// start-up.
#pragma once

#include <cstdint>

#include "format/package_format.h"
#include "platform/platform.h"

namespace sg {

using format::InfoBlock;
using format::LayerBlock;
using format::PackageDirectory;
using format::SceneHeader;
using format::OPTIONAL_BLOCK1_SIZE;
using format::OPTIONAL_BLOCK2_SIZE;
using format::PACKAGE_LAYERS;

struct Package {
    const std::uint8_t* packageBase = nullptr;
    // Bytes that exist at packageBase (the resource size on Windows). Every
    // read from the package is checked against it.
    std::uint32_t packageSize = 0;
    PackageDirectory packageDirectory{};
    SceneHeader sceneHeader{};
    LayerBlock layerBlocks[PACKAGE_LAYERS]{};
    InfoBlock infoBlock{};
    std::uint8_t optionalBlock1[OPTIONAL_BLOCK1_SIZE]{};
    std::uint8_t optionalBlock2[OPTIONAL_BLOCK2_SIZE]{};
    // The code page of the title and about lines: the text record's, read
    // from the package wherever directory entry 12 points (with or without
    // a sound); 932 without a usable record.
    std::uint32_t textCodePage = format::textrecord::DEFAULT_CODE_PAGE;
    // How full screen uses several monitors: the monitors record's, read the
    // same way; Primary without a usable record.
    format::MonitorMode monitorMode = format::monitorsrecord::DEFAULT_MODE;
};

// Finds and pins the resource; null when missing. Sets package.packageSize.
const std::uint8_t* package_open(Package& package, pf::HINSTANCE instance);
// Opens the package and copies its fixed blocks out. False when the package
// is missing or any fixed block lies outside it (or the title has no NUL):
// the package is then unusable, and the caller reports it ("err"/"hres").
bool package_copy_out(Package& package, pf::HINSTANCE instance);

// True when [offset, offset + length) of the package lies inside its bytes.
bool package_range_ok(const Package& package, std::int64_t offset, std::int64_t length);

// The bytes at an offset counted from the scene chunk (a picture or the
// sound). *available is how many of the `length` bytes asked for lie inside
// the package: `length` when all do, fewer when the package ends first, 0 when
// the offset is outside it (the result is then packageBase, never read).
const std::uint8_t* package_scene_bytes(const Package& package, std::int64_t sceneOffset,
                                        std::int64_t length, int* available);

}  // namespace sg
