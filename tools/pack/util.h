// Small helpers shared by the parts of snowglobe-pack: files, little-endian
// numbers, and the one exception type that reaches the user.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

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

inline std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t les32(const std::uint8_t* p) { return static_cast<std::int32_t>(le32(p)); }
inline std::uint64_t le64(const std::uint8_t* p) {
    return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}
inline void put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// True when [offset, offset + length) lies inside a buffer of size bytes;
// the arithmetic is done wide so that hostile numbers cannot wrap.
inline bool in_bounds(std::int64_t offset, std::int64_t length, std::size_t size) {
    return offset >= 0 && length >= 0 && offset <= static_cast<std::int64_t>(size) &&
           length <= static_cast<std::int64_t>(size) - offset;
}

std::string hex_bytes(std::span<const std::uint8_t> bytes);  // "00ff10"
bool parse_hex_bytes(const std::string& text, Bytes& out);

}  // namespace sg::packtool
