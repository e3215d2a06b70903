// Where snowglobe-pack's results go. An output path may be "-" (standard
// output), a device or FIFO (written directly), a symlink (its target is
// written), or a regular file (written beside it and renamed over it, so an
// interrupted run never leaves half a file). Temporary files are removed when
// SIGINT, SIGTERM or SIGHUP end the program.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <sys/types.h>

#include "tools/core/util.h"

namespace sg::packtool {

// Installs the handlers that remove tracked temporary files, then end the
// program by the same signal. Safe to call more than once.
void install_cleanup_handlers();
// Temporary files the handlers remove. A fixed number are kept; the oldest
// entry is dropped when more are tracked (it is, by then, long renamed).
void track_temp(const std::filesystem::path& path);
void untrack_temp(const std::filesystem::path& path);

// The path a write to `path` lands on: symlinks followed to their end, even
// when the last target does not exist yet. Throws Failure on a loop.
std::filesystem::path resolve_output(const std::filesystem::path& path);

// Writes bytes to the output as described above. `mode`: the permissions of
// a regular file written (default: those of the file replaced, or 0666
// less the umask for a new one).
void write_output(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                  std::optional<mode_t> mode = std::nullopt);

// Gives the file open as fd the permissions `perms`, less the umask unless
// `exact` (the mode asked for, or that of the file replaced). False when that
// fails. Where files have no owners (the browser's in-memory files) the file
// keeps the mode it was opened with.
bool set_file_mode(int fd, mode_t perms, bool exact);

// Throws Failure when the output is the same file (device and inode, through
// symlinks) as one of the inputs, or "-" on a terminal. Checked before
// anything is written.
void refuse_output_is_input(const std::string& output, const std::vector<std::filesystem::path>& inputs);

// A manifest and the files it names (every string value that names an
// existing file relative to it), for the check above and for watching.
std::vector<std::filesystem::path> manifest_inputs(const std::filesystem::path& manifest);

}  // namespace sg::packtool
