// Reading the files a manifest or a command line names, which may come from
// strangers: only regular files are read (a device or FIFO is refused without
// blocking), never more than a limit, and a manifest's files stay inside the
// manifest's folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/core/util.h"

namespace sg::packtool {

// What the pictures, frames, sound and blocks of one scene may hold together
// once stored, and so the most any one file a manifest names may hold.
constexpr std::uint64_t MAX_SCENE_BYTES = std::uint64_t{256} << 20;
// A manifest is text of settings and file names: a larger one is no manifest.
constexpr std::uint64_t MAX_MANIFEST_BYTES = std::uint64_t{1} << 20;
// The most any file is read: a saver holds a program as well as its package.
constexpr std::uint64_t MAX_FILE_BYTES = MAX_SCENE_BYTES + (std::uint64_t{32} << 20);

// The bytes of a regular file of at most `limit` bytes. Throws Failure
// ("PATH: ...") for a directory, device, FIFO or socket, a file that is (or
// grows) larger than the limit, or a file that cannot be opened or read.
Bytes read_regular_file(const std::filesystem::path& path, std::uint64_t limit);

// The file `name` of a manifest in `dir`, as a path whose every symlink is
// resolved. Throws Failure ("NAME: ...") when the name is absolute, or it
// (through `..` or a symlink) leads outside the folder, or does not exist.
std::filesystem::path inside_folder(const std::filesystem::path& dir, const std::string& name);

}  // namespace sg::packtool
