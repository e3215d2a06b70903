// Small helpers shared by the parts of snowglobe-pack: files, little-endian
// numbers (from format/bytes.h), and the one exception type that reaches the user.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/bytes.h"

namespace sg::packtool {

using Bytes = std::vector<std::uint8_t>;

// A failure the user must see: main prints what() and exits with status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A command line that does not make sense: the command prints the reason and
// where its help is, and exits with status 2.
struct Usage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "1 picture", "2 pictures": a count with its noun (regular plurals only).
inline std::string count_of(long long n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// A regular file of at most MAX_FILE_BYTES (safe_files.h); anything else is
// refused with a Failure.
Bytes read_file(const std::filesystem::path& path);
// write_output (output.h): a regular file is written beside the target and
// renamed over it, so a failed or interrupted write never leaves half a file.
void write_file_atomic(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void write_file_atomic(const std::filesystem::path& path, const std::string& text);

// Little-endian fields and ranges: the project's one set, in format/bytes.h.
using format::in_bounds;
using format::read_i32;
using format::read_u16;
using format::read_u32;
using format::read_u64;
using format::write_u16;
using format::write_u32;
using format::write_u64;

std::string hex_bytes(std::span<const std::uint8_t> bytes);  // "00ff10"
bool parse_hex_bytes(const std::string& text, Bytes& out);

}  // namespace sg::packtool
