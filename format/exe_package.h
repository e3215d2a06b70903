// A scene package appended to an executable file, for platforms without
// executable resources:
//
//   [executable bytes][package bytes]["SGKAVREN"][package length: uint64 LE]
//
// The trailer is the last 16 bytes of the file. The build step that embeds the
// default scene and `snowglobe-pack bind` write it; the headless resource
// lookup reads it from the running executable. Standard C++ only (but for
// one optional use of anonymous memory), so that the tools can use it on any
// platform. Nothing here throws on damaged input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sg::format::exe_package {

inline constexpr char TRAILER_MAGIC[8] = {'S', 'G', 'K', 'A', 'V', 'R', 'E', 'N'};
inline constexpr std::size_t TRAILER_BYTES = 16;

enum class Status {
    None,     // no trailer: a bare executable
    Found,    // a package and a trailer that agree with the file's length
    Damaged,  // the trailer's magic is there, but its length does not fit the file
};

struct Location {
    Status status = Status::None;
    std::size_t offset = 0;  // first package byte (Found only)
    std::size_t size = 0;    // package bytes (Found only; may be 0)
};

// Where the package of a whole file image sits.
Location locate(std::span<const std::uint8_t> file);

// The bytes of the file without any package: the file itself when it has
// none; nullopt when its trailer is damaged (the executable's end is unknown).
std::optional<std::span<const std::uint8_t>> strip(std::span<const std::uint8_t> file);

// The 16 trailer bytes for a package of this length.
std::vector<std::uint8_t> trailer(std::uint64_t packageBytes);

// exe + package + trailer. A package the file already carries is replaced;
// nullopt when the file's trailer is damaged.
std::optional<std::vector<std::uint8_t>> append(std::span<const std::uint8_t> exe,
                                               std::span<const std::uint8_t> package);

// Where the package of the file at path sits, from its trailer alone. A file
// that cannot be read counts as Damaged; *error (when given) says why.
Location find_package(const char* path, std::string* error = nullptr);

// Reads only the package of the file at path (the trailer first, then the
// package bytes). Found: *package holds them. Otherwise *package is empty and
// *error (when given) says why; a file that cannot be read counts as Damaged.
Status read_package(const char* path, std::vector<std::uint8_t>* package,
                    std::string* error = nullptr);

// The package of the file at path, in memory that is never freed (for the
// running program). Blocks of zeros are left as pages never touched where the
// system allows it, so a package padded with zeros costs no resident memory
// for its padding. Empty when there is no package or it cannot be read.
std::span<const std::uint8_t> load_for_process(const char* path);

}  // namespace sg::format::exe_package
