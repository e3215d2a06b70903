// The scene of a file given with --scene: a scene package as it is, the
// package resource of a Windows saver (.scr), or the package appended to a
// bound Linux program. Damaged or foreign files are refused with a reason;
// whether the package itself is sound is the engine's to say, as on Windows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sg::app {

struct SceneFile {
    bool ok = false;
    std::string refusal;              // !ok: why, naming the file
    std::vector<std::uint8_t> bytes;  // what was read
    std::size_t offset = 0, size = 0; // ok: where the package is in bytes

    std::span<const std::uint8_t> package() const { return std::span(bytes).subspan(offset, size); }
};

// The package inside a file image read from `name`.
SceneFile scene_from_bytes(std::vector<std::uint8_t> file, const std::string& name);
// Reads the file at path (a regular file) and finds its package.
SceneFile read_scene_file(const std::string& path);

// The code page of a package's texts (its text record; 932 without one).
std::uint32_t package_code_page(std::span<const std::uint8_t> package);

}  // namespace sg::app
