// snowglobe-pack preview: the scene of a manifest in a window of its own,
// shown by the Linux snowglobe program, rebuilt and shown again whenever the
// manifest or a file in its folders changes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/pack/util.h"

namespace sg::packtool {

extern const char* const PREVIEW_HELP;

int run_preview(const std::vector<std::string>& args);

// The Linux program to show scenes with: `given` when set, else `snowglobe`
// beside this tool (an installed tree), in the build tree's apps/linux/, or
// in the install prefix's bin/. Throws Failure listing where it looked.
std::filesystem::path find_linux_program(const std::optional<std::filesystem::path>& given);

}  // namespace sg::packtool
