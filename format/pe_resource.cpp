#include "format/pe_resource.h"

#include <cstring>
#include <optional>

namespace sg::format::pe_resource {

namespace {

// The image, read only through bounds checks.
struct Reader {
    std::span<const std::uint8_t> bytes;

    bool has(std::size_t at, std::size_t count) const {
        return at <= bytes.size() && count <= bytes.size() - at;
    }
    std::optional<std::uint32_t> u16(std::size_t at) const {
        if (!has(at, 2)) return std::nullopt;
        return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8;
    }
    std::optional<std::uint32_t> u32(std::size_t at) const {
        if (!has(at, 4)) return std::nullopt;
        return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
               std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
    }
};

constexpr std::uint32_t SUBDIRECTORY = 0x80000000u;  // of an entry's data offset
constexpr std::uint32_t NAMED = 0x80000000u;         // of an entry's name
constexpr std::size_t DIRECTORY_HEADER = 16;
constexpr std::size_t DIRECTORY_ENTRY = 8;
constexpr std::size_t SECTION_HEADER = 40;
constexpr int RESOURCE_DIRECTORY = 2;

struct Entry {
    std::uint32_t name;
    std::uint32_t data;
};

// The resource section, as a file range, and the RVA it starts at.
struct Sections {
    const Reader* file;
    std::size_t table;
    std::uint32_t count;

    // The file offset of `size` bytes at `rva`; nullopt when they are not all
    // inside one section's bytes in the file.
    std::optional<std::size_t> offset(std::uint32_t rva, std::uint32_t size) const {
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t at = table + i * SECTION_HEADER;
            const auto va = file->u32(at + 12), raw = file->u32(at + 16), pointer = file->u32(at + 20);
            if (!va || !raw || !pointer) return std::nullopt;
            if (rva < *va || rva - *va >= *raw) continue;
            const std::uint32_t into = rva - *va;
            if (size > *raw - into) return std::nullopt;
            const std::size_t where = std::size_t{*pointer} + into;
            if (!file->has(where, size)) return std::nullopt;
            return where;
        }
        return std::nullopt;
    }
};

// Entries of the directory at `at` (a file offset); nullopt when it is cut.
std::optional<std::span<const std::uint8_t>> entries(const Reader& file, std::size_t at) {
    const auto named = file.u16(at + 12), numbered = file.u16(at + 14);
    if (!named || !numbered) return std::nullopt;
    const std::size_t count = std::size_t{*named} + *numbered;
    if (!file.has(at + DIRECTORY_HEADER, count * DIRECTORY_ENTRY)) return std::nullopt;
    return file.bytes.subspan(at + DIRECTORY_HEADER, count * DIRECTORY_ENTRY);
}

Entry entry_at(const Reader& file, std::size_t at) { return {*file.u32(at), *file.u32(at + 4)}; }

// Whether the length-prefixed UTF-16 name at `at` spells `ascii`.
bool name_is(const Reader& file, std::size_t at, const char* ascii) {
    const auto length = file.u16(at);
    if (!length || *length != std::strlen(ascii)) return false;
    for (std::uint32_t i = 0; i < *length; ++i) {
        const auto c = file.u16(at + 2 + 2 * i);
        if (!c || *c != static_cast<unsigned char>(ascii[i])) return false;
    }
    return true;
}

}  // namespace

Lookup find(std::span<const std::uint8_t> image, const char* type, std::uint32_t id,
            std::uint32_t language) {
    const Reader file{image};
    if (!file.has(0, 2) || image[0] != 'M' || image[1] != 'Z') return {};
    const auto peAt = file.u32(0x3C);
    if (!peAt || !file.has(*peAt, 4) || std::memcmp(image.data() + *peAt, "PE\0\0", 4) != 0) return {};
    Lookup damaged{Status::Damaged, {}};

    const std::size_t coff = std::size_t{*peAt} + 4;
    const auto sectionCount = file.u16(coff + 2), optionalSize = file.u16(coff + 16);
    const std::size_t optional = coff + 20;
    const auto magic = file.u16(optional);
    if (!sectionCount || !optionalSize || !magic) return damaged;
    if (*magic != 0x10B && *magic != 0x20B) return damaged;
    const std::size_t directories = optional + (*magic == 0x20B ? 112 : 96);
    const auto directoryCount = file.u32(directories - 4);
    if (!directoryCount) return damaged;
    if (*directoryCount <= RESOURCE_DIRECTORY) return {Status::Missing, {}};
    const std::size_t directoryAt = directories + RESOURCE_DIRECTORY * 8;
    if (directoryAt + 8 > optional + *optionalSize) return damaged;
    const auto rootRva = file.u32(directoryAt), rootSize = file.u32(directoryAt + 4);
    if (!rootRva || !rootSize) return damaged;
    if (*rootRva == 0 || *rootSize == 0) return {Status::Missing, {}};

    const Sections sections{&file, optional + *optionalSize, *sectionCount};
    const auto root = sections.offset(*rootRva, *rootSize);
    if (!root) return damaged;
    // Offsets inside the resource tree count from its root and stay inside it.
    const Reader tree{image.subspan(*root, *rootSize)};

    // Type (by name), then name (by number), then language.
    const auto types = entries(tree, 0);
    if (!types) return damaged;
    std::optional<std::uint32_t> names;
    for (std::size_t i = 0; i < types->size(); i += DIRECTORY_ENTRY) {
        const Entry e = entry_at(tree, DIRECTORY_HEADER + i);
        if ((e.name & NAMED) && name_is(tree, e.name & ~NAMED, type) && (e.data & SUBDIRECTORY)) {
            names = e.data & ~SUBDIRECTORY;
            break;
        }
    }
    if (!names) return {Status::Missing, {}};
    const auto nameEntries = entries(tree, *names);
    if (!nameEntries) return damaged;
    std::optional<std::uint32_t> languages;
    for (std::size_t i = 0; i < nameEntries->size(); i += DIRECTORY_ENTRY) {
        const Entry e = entry_at(tree, *names + DIRECTORY_HEADER + i);
        if (!(e.name & NAMED) && e.name == id && (e.data & SUBDIRECTORY)) {
            languages = e.data & ~SUBDIRECTORY;
            break;
        }
    }
    if (!languages) return {Status::Missing, {}};
    const auto languageEntries = entries(tree, *languages);
    if (!languageEntries) return damaged;
    std::optional<std::uint32_t> leaf;
    for (std::size_t i = 0; i < languageEntries->size(); i += DIRECTORY_ENTRY) {
        const Entry e = entry_at(tree, *languages + DIRECTORY_HEADER + i);
        if (e.data & SUBDIRECTORY) continue;
        if (!leaf || e.name == language) leaf = e.data;
        if (e.name == language) break;
    }
    if (!leaf) return {Status::Missing, {}};
    const auto dataRva = tree.u32(*leaf), dataSize = tree.u32(*leaf + 4);
    if (!dataRva || !dataSize) return damaged;
    const auto data = sections.offset(*dataRva, *dataSize);
    if (!data) return damaged;
    return {Status::Found, image.subspan(*data, *dataSize)};
}

}  // namespace sg::format::pe_resource
