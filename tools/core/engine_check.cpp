#include "tools/core/engine_check.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "format/exe_package.h"
#include "tools/core/container.h"
#include "tools/core/pe.h"

namespace sg::packtool {

namespace {

constexpr std::uint32_t PT_LOAD = 1;
constexpr std::uint32_t SHT_NOBITS = 8;

struct Segment {
    std::uint32_t type = 0;
    std::uint64_t offset = 0, fileSize = 0;
};

}  // namespace

std::vector<std::string> elf_problems(const Bytes& file) {
    std::vector<std::string> out;
    if (file.size() < 52 || std::memcmp(file.data(), "\x7f" "ELF", 4) != 0) return {"no ELF header"};
    const bool wide = file[4] == 2;
    if ((file[4] != 1 && file[4] != 2) || file[5] != 1) return {"not a little-endian 32- or 64-bit ELF file"};
    if (wide && file.size() < 64) return {"ELF header cut off"};
    const std::uint8_t* h = file.data();
    const std::uint16_t type = read_u16(h + 16);
    if (type != 2 && type != 3) out.push_back("not an executable (ELF type " + std::to_string(type) + ")");
    const std::uint64_t phoff = wide ? read_u64(h + 32) : read_u32(h + 28);
    const std::uint64_t shoff = wide ? read_u64(h + 40) : read_u32(h + 32);
    const std::uint16_t phentsize = read_u16(h + (wide ? 54 : 42)), phnum = read_u16(h + (wide ? 56 : 44));
    const std::uint16_t shentsize = read_u16(h + (wide ? 58 : 46)), shnum = read_u16(h + (wide ? 60 : 48));
    const std::uint16_t wantPh = wide ? 56 : 32, wantSh = wide ? 64 : 40;
    auto inside = [&](std::uint64_t at, std::uint64_t len) {
        return at <= file.size() && len <= file.size() - at;
    };

    std::vector<Segment> segments;
    if (phnum == 0 || phentsize != wantPh) {
        out.push_back("no program headers");
    } else if (!inside(phoff, std::uint64_t{phentsize} * phnum)) {
        out.push_back("the program headers lie past the end of the file (cut off?)");
    } else {
        for (std::uint16_t i = 0; i < phnum; ++i) {
            const std::uint8_t* p = h + phoff + std::uint64_t{i} * phentsize;
            Segment s;
            s.type = read_u32(p);
            s.offset = wide ? read_u64(p + 8) : read_u32(p + 4);
            s.fileSize = wide ? read_u64(p + 32) : read_u32(p + 16);
            if (!inside(s.offset, s.fileSize))
                out.push_back("segment " + std::to_string(i) + " lies past the end of the file (cut off?)");
            else
                segments.push_back(s);
        }
        if (std::none_of(segments.begin(), segments.end(), [](const Segment& s) { return s.type == PT_LOAD; }))
            out.push_back("no loadable segment");
    }
    if (shnum != 0) {
        if (shentsize != wantSh || !inside(shoff, std::uint64_t{shentsize} * shnum)) {
            out.push_back("the section headers lie past the end of the file (cut off?)");
        } else {
            for (std::uint16_t i = 0; i < shnum; ++i) {
                const std::uint8_t* s = h + shoff + std::uint64_t{i} * shentsize;
                const std::uint32_t stype = read_u32(s + 4);
                const std::uint64_t off = wide ? read_u64(s + 24) : read_u32(s + 16);
                const std::uint64_t size = wide ? read_u64(s + 32) : read_u32(s + 20);
                if (stype != SHT_NOBITS && size && !inside(off, size)) {
                    out.push_back("section " + std::to_string(i) + " lies past the end of the file (cut off?)");
                    break;
                }
            }
        }
    }
    return out;
}

bool elf_is_ours(const Bytes& file) {
    if (!elf_problems(file).empty()) return false;
    const bool wide = file[4] == 2;
    const std::uint8_t* h = file.data();
    const std::uint64_t phoff = wide ? read_u64(h + 32) : read_u32(h + 28);
    const std::uint16_t phentsize = read_u16(h + (wide ? 54 : 42)), phnum = read_u16(h + (wide ? 56 : 44));
    // The code that finds the appended package carries its magic in a loaded
    // segment; a foreign program would never look for a package.
    const std::string_view magic(sg::format::exe_package::TRAILER_MAGIC, sizeof sg::format::exe_package::TRAILER_MAGIC);
    for (std::uint16_t i = 0; i < phnum; ++i) {
        const std::uint8_t* p = h + phoff + std::uint64_t{i} * phentsize;
        if (read_u32(p) != PT_LOAD) continue;
        const std::uint64_t offset = wide ? read_u64(p + 8) : read_u32(p + 4);
        const std::uint64_t size = wide ? read_u64(p + 32) : read_u32(p + 16);
        std::string_view bytes(reinterpret_cast<const char*>(file.data() + offset), size);
        if (bytes.find(magic) != std::string_view::npos) return true;
    }
    return false;
}

EngineKind check_engine(const Bytes& file, const std::string& what) {
    if (pe::looks_like_pe(file)) {
        pe::Image image = pe::parse(file, what);  // throws when a section lies past the end
        auto bad = [&](const std::string& why) { return Failure(what + ": not a usable Windows executable: " + why); };
        if (image.sizeOfHeaders > file.size()) throw bad("the headers are cut off");
        // What lies behind the sections: the COFF symbols and their strings
        // (the length of the strings is their first field), the signature.
        const std::uint32_t symbols = read_u32(&file[image.coffOffset + 8]), count = read_u32(&file[image.coffOffset + 12]);
        if (symbols) {
            const std::uint64_t strings = std::uint64_t{symbols} + 18ull * count;
            if (strings + 4 > file.size() || strings + read_u32(&file[strings]) > file.size())
                throw bad("its symbol table lies past the end of the file (cut off?)");
        }
        if (image.directories.size() > pe::DIR_SECURITY && image.directories[pe::DIR_SECURITY].rva &&
            !in_bounds(image.directories[pe::DIR_SECURITY].rva, image.directories[pe::DIR_SECURITY].size, file.size()))
            throw bad("its signature lies past the end of the file (cut off?)");
        if (!pe::find_resource(file, pe::ResName::of("KAVREN"), pe::ResName::of(103), PACKAGE_LANGUAGE, what))
            throw Failure(what + ": not a snowglobe saver (it has no KAVREN/103 resource to hold a scene)");
        return EngineKind::Windows;
    }
    if (is_elf(file)) {
        auto bare = sg::format::exe_package::strip(file);
        if (!bare) throw Failure(what + ": its package trailer is damaged; cannot tell where the program ends");
        const Bytes program(bare->begin(), bare->end());
        std::vector<std::string> problems = elf_problems(program);
        if (!problems.empty()) throw Failure(what + ": not a usable Linux executable: " + problems[0]);
        if (!elf_is_ours(program))
            throw Failure(what + ": not a snowglobe program (it has no code that reads a bound scene)");
        return EngineKind::Linux;
    }
    throw Failure(what + ": neither a Windows executable (PE) nor a Linux one (ELF)");
}

}  // namespace sg::packtool
