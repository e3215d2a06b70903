// How much a scene may hold, counted while build reads it: the bytes its
// pictures, frames, sound and blocks will take in the package. Each picture
// is weighed by the size its header declares before a pixel is decoded, so
// a scene too large for any package is refused before it takes the memory.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "tools/core/manifest_read.h"
#include "tools/core/safe_files.h"

namespace sg::packtool::manifest {

// The width and height a PNG, JPEG, GIF or BMP declares (a BMP's height
// without its sign); nullopt for anything else or a header cut short.
std::optional<std::pair<std::int64_t, std::int64_t>> declared_size(std::span<const std::uint8_t> bytes);

// The bytes of a 24-bit BMP of width x height, as build stores a converted picture.
std::uint64_t bmp24_bytes(std::int64_t width, std::int64_t height);

// Fails at the setting when `bytes` more would take the scene past its
// budget (MAX_SCENE_BYTES); `charge` also counts them.
void expect_room(const Ctx& c, int line, const std::string& setting, const std::string& file, std::uint64_t bytes);
void charge(Ctx& c, int line, const std::string& setting, const std::string& file, std::uint64_t bytes);

// expect_room for a picture about to be decoded into `bytesPerPixel` bytes a
// pixel as stored, when its header declares a size.
void expect_picture_room(const Ctx& c, int line, const std::string& setting, const std::string& file,
                         std::span<const std::uint8_t> bytes, int bytesPerPixel);

}  // namespace sg::packtool::manifest
