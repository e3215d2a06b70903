#include "tools/core/pe.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>

namespace sg::packtool::pe {

namespace {

constexpr std::uint32_t SCN_CNT_INITIALIZED_DATA = 0x40;
constexpr std::uint32_t SCN_MEM_DISCARDABLE = 0x02000000;
constexpr std::uint32_t SCN_MEM_READ = 0x40000000;

std::uint32_t align_up(std::uint64_t value, std::uint32_t alignment) {
    return static_cast<std::uint32_t>((value + alignment - 1) / alignment * alignment);
}

std::uint32_t section_extent(const Section& s) { return s.virtualSize ? s.virtualSize : s.rawSize; }

bool power_of_two(std::uint32_t v) { return v && !(v & (v - 1)); }

// Where an RVA range lies in the file, when it lies inside one section's raw data.
std::optional<std::size_t> file_offset(const Image& image, std::uint32_t rva, std::uint32_t length,
                                       std::size_t fileSize) {
    for (const Section& s : image.sections) {
        std::uint64_t start = s.virtualAddress;
        std::uint64_t rawEnd = start + s.rawSize;
        if (rva >= start && static_cast<std::uint64_t>(rva) + length <= rawEnd) {
            std::uint64_t at = static_cast<std::uint64_t>(s.rawPointer) + (rva - start);
            if (at + length <= fileSize) return static_cast<std::size_t>(at);
            return std::nullopt;
        }
    }
    return std::nullopt;
}

int section_of(const Image& image, std::uint32_t rva) {
    for (std::size_t i = 0; i < image.sections.size(); ++i) {
        const Section& s = image.sections[i];
        if (rva >= s.virtualAddress && rva - s.virtualAddress < std::max(s.virtualSize, s.rawSize))
            return static_cast<int>(i);
    }
    return -1;
}

bool name_less(const ResName& a, const ResName& b) {
    // Named entries come first, in code-unit order; then numbers ascending.
    if (a.isId != b.isId) return !a.isId;
    if (a.isId) return a.id < b.id;
    return a.name < b.name;
}

}  // namespace

ResName ResName::of(const char* ascii) {
    ResName r;
    r.isId = false;
    for (const char* p = ascii; *p; ++p) r.name += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return r;
}

bool ResName::operator==(const ResName& other) const {
    if (isId != other.isId) return false;
    if (isId) return id == other.id;
    // Windows looks names up in upper case.
    if (name.size() != other.name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char16_t a = name[i], b = other.name[i];
        if (a >= 'a' && a <= 'z') a -= 32;
        if (b >= 'a' && b <= 'z') b -= 32;
        if (a != b) return false;
    }
    return true;
}

std::string ResName::display() const {
    if (isId) return std::to_string(id);
    std::string out = "\"";
    for (char16_t c : name) out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    return out + "\"";
}

bool looks_like_pe(const Bytes& file) {
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') return false;
    std::uint32_t at = read_u32(&file[0x3c]);
    return in_bounds(at, 4, file.size()) && std::memcmp(&file[at], "PE\0\0", 4) == 0;
}

Image parse(const Bytes& file, const std::string& what) {
    auto bad = [&](const std::string& why) { return Failure(what + ": not a usable Windows executable: " + why); };
    if (!looks_like_pe(file)) throw bad("no MZ/PE signature");
    Image image;
    std::size_t pe = read_u32(&file[0x3c]);
    image.coffOffset = pe + 4;
    if (!in_bounds(image.coffOffset, 20, file.size())) throw bad("COFF header cut off");
    const std::uint8_t* coff = &file[image.coffOffset];
    image.machine = read_u16(coff);
    std::uint16_t sectionCount = read_u16(coff + 2);
    std::uint16_t optionalSize = read_u16(coff + 16);
    image.optionalOffset = image.coffOffset + 20;
    if (!in_bounds(image.optionalOffset, optionalSize, file.size()) || optionalSize < 96)
        throw bad("optional header cut off");
    const std::uint8_t* opt = &file[image.optionalOffset];
    std::uint16_t magic = read_u16(opt);
    if (magic == 0x20b)
        image.pe32plus = true;
    else if (magic != 0x10b)
        throw bad("unknown optional header magic");
    if (image.pe32plus && optionalSize < 112) throw bad("optional header too short");
    image.entryPoint = read_u32(opt + 16);
    image.sectionAlignment = read_u32(opt + 32);
    image.fileAlignment = read_u32(opt + 36);
    image.sizeOfImage = read_u32(opt + 56);
    image.sizeOfHeaders = read_u32(opt + 60);
    image.checksum = read_u32(opt + 64);
    std::size_t countAt = image.pe32plus ? 108 : 92;
    std::size_t dirsAt = countAt + 4;
    std::uint32_t dirCount = std::min<std::uint32_t>(read_u32(opt + countAt), 16);
    if (dirsAt + 8ull * dirCount > optionalSize) throw bad("data directories cut off");
    for (std::uint32_t i = 0; i < dirCount; ++i)
        image.directories.push_back({read_u32(opt + dirsAt + 8 * i), read_u32(opt + dirsAt + 8 * i + 4)});
    if (!power_of_two(image.fileAlignment) || !power_of_two(image.sectionAlignment) ||
        image.sectionAlignment < image.fileAlignment)
        throw bad("impossible section or file alignment");
    image.sectionTableOffset = image.optionalOffset + optionalSize;
    if (!in_bounds(image.sectionTableOffset, 40ll * sectionCount, file.size())) throw bad("section table cut off");
    for (int i = 0; i < sectionCount; ++i) {
        const std::uint8_t* s = &file[image.sectionTableOffset + 40 * i];
        Section section;
        section.name.assign(reinterpret_cast<const char*>(s), strnlen(reinterpret_cast<const char*>(s), 8));
        section.virtualSize = read_u32(s + 8);
        section.virtualAddress = read_u32(s + 12);
        section.rawSize = read_u32(s + 16);
        section.rawPointer = read_u32(s + 20);
        section.characteristics = read_u32(s + 36);
        if (section.rawSize && !in_bounds(section.rawPointer, section.rawSize, file.size()))
            throw bad("section " + section.name + " lies past the end of the file");
        image.sections.push_back(section);
    }
    return image;
}

std::vector<Resource> resources(const Bytes& file, const Image& image, const std::string& what) {
    std::vector<Resource> out;
    if (image.directories.size() <= DIR_RESOURCE || image.directories[DIR_RESOURCE].rva == 0) return out;
    const std::uint32_t root = image.directories[DIR_RESOURCE].rva;
    auto bad = [&](const std::string& why) { return Failure(what + ": damaged resource directory: " + why); };
    std::set<std::uint32_t> visited;
    std::size_t budget = 100000;  // entries; a loop or a hostile count ends here

    auto readName = [&](std::uint32_t raw) {
        ResName n;
        if (raw & 0x80000000u) {
            n.isId = false;
            std::uint32_t rva = root + (raw & 0x7fffffffu);
            auto at = file_offset(image, rva, 2, file.size());
            if (!at) throw bad("name outside the file");
            std::uint16_t length = read_u16(&file[*at]);
            auto text = file_offset(image, rva + 2, 2u * length, file.size());
            if (!text) throw bad("name outside the file");
            for (std::uint16_t i = 0; i < length; ++i) n.name += static_cast<char16_t>(read_u16(&file[*text + 2 * i]));
        } else {
            n.id = raw & 0xffff;
        }
        return n;
    };

    std::function<void(std::uint32_t, int, Resource&)> walk = [&](std::uint32_t rva, int depth, Resource& path) {
        if (!visited.insert(rva).second) throw bad("a directory refers to itself");
        auto at = file_offset(image, rva, 16, file.size());
        if (!at) throw bad("directory outside the file");
        std::uint32_t count = static_cast<std::uint32_t>(read_u16(&file[*at + 12])) + read_u16(&file[*at + 14]);
        auto entries = file_offset(image, rva + 16, 8 * count, file.size());
        if (!entries) throw bad("directory entries outside the file");
        for (std::uint32_t i = 0; i < count; ++i) {
            if (budget-- == 0) throw bad("too many entries");
            std::uint32_t nameRaw = read_u32(&file[*entries + 8 * i]);
            std::uint32_t target = read_u32(&file[*entries + 8 * i + 4]);
            ResName name = readName(nameRaw);
            if (depth == 0) path.type = name;
            else if (depth == 1) path.name = name;
            else path.language = name;
            bool subdir = target & 0x80000000u;
            if (subdir != (depth < 2)) throw bad("directory tree is not three levels deep");
            if (subdir) {
                walk(root + (target & 0x7fffffffu), depth + 1, path);
                continue;
            }
            auto entry = file_offset(image, root + target, 16, file.size());
            if (!entry) throw bad("data entry outside the file");
            std::uint32_t dataRva = read_u32(&file[*entry]);
            std::uint32_t dataSize = read_u32(&file[*entry + 4]);
            auto data = file_offset(image, dataRva, dataSize, file.size());
            if (!data) throw bad("resource " + path.type.display() + "/" + path.name.display() + " data outside the file");
            Resource r = path;
            r.codePage = read_u32(&file[*entry + 8]);
            r.data.assign(file.begin() + static_cast<std::ptrdiff_t>(*data),
                          file.begin() + static_cast<std::ptrdiff_t>(*data + dataSize));
            out.push_back(std::move(r));
        }
    };
    Resource path;
    walk(root, 0, path);
    return out;
}

std::optional<Bytes> find_resource(const Bytes& file, const ResName& type, const ResName& name,
                                   std::uint32_t language, const std::string& what) {
    Image image = parse(file, what);
    std::optional<Bytes> found;
    for (Resource& r : resources(file, image, what)) {
        if (!(r.type == type) || !(r.name == name)) continue;
        if (!found || (r.language.isId && r.language.id == language)) found = std::move(r.data);
    }
    return found;
}

namespace {

// The resource section's bytes for a list of resources, at a given RVA.
Bytes build_section(const std::vector<Resource>& list, std::uint32_t baseRva) {
    auto cmp = [](const ResName& a, const ResName& b) { return name_less(a, b); };
    std::map<ResName, std::map<ResName, std::map<ResName, const Resource*, decltype(cmp)>, decltype(cmp)>,
             decltype(cmp)>
        tree(cmp);
    for (const Resource& r : list) {
        auto& names = tree.try_emplace(r.type, cmp).first->second;
        auto& langs = names.try_emplace(r.name, cmp).first->second;
        langs[r.language] = &r;
    }
    // Sizes: directories (root, types, names), data entries, strings, data.
    std::size_t dirBytes = 16 + 8 * tree.size();
    std::size_t leafCount = 0;
    for (auto& [type, names] : tree) {
        dirBytes += 16 + 8 * names.size();
        for (auto& [name, langs] : names) {
            dirBytes += 16 + 8 * langs.size();
            leafCount += langs.size();
        }
    }
    std::size_t entriesAt = dirBytes;
    std::size_t stringsAt = entriesAt + 16 * leafCount;
    std::size_t stringBytes = 0;
    std::map<std::u16string, std::size_t> stringOffsets;
    auto noteString = [&](const ResName& n) {
        if (!n.isId && !stringOffsets.count(n.name)) {
            stringOffsets[n.name] = stringsAt + stringBytes;
            stringBytes += 2 + 2 * n.name.size();
        }
    };
    for (auto& [type, names] : tree) {
        noteString(type);
        for (auto& [name, langs] : names) {
            noteString(name);
            for (auto& [lang, r] : langs) noteString(lang);
        }
    }
    std::size_t dataAt = align_up(stringsAt + stringBytes, 8);
    std::size_t total = dataAt;
    for (const Resource& r : list) total += align_up(r.data.size(), 8);
    Bytes out(total, 0);

    for (auto& [text, at] : stringOffsets) {
        write_u16(&out[at], static_cast<std::uint32_t>(text.size()));
        for (std::size_t i = 0; i < text.size(); ++i) write_u16(&out[at + 2 + 2 * i], text[i]);
    }
    auto nameField = [&](const ResName& n) -> std::uint32_t {
        return n.isId ? n.id : (0x80000000u | static_cast<std::uint32_t>(stringOffsets[n.name]));
    };
    auto writeDirHeader = [&](std::size_t at, std::size_t named, std::size_t ids) {
        write_u16(&out[at + 12], static_cast<std::uint32_t>(named));
        write_u16(&out[at + 14], static_cast<std::uint32_t>(ids));
    };
    auto countNamed = [](const auto& map) {
        std::size_t n = 0;
        for (auto& entry : map) n += entry.first.isId ? 0 : 1;
        return n;
    };

    // Breadth first: root, then every type directory, then every name directory.
    std::size_t next = 16 + 8 * tree.size();
    std::size_t leafNext = entriesAt;
    std::size_t dataNext = dataAt;
    writeDirHeader(0, countNamed(tree), tree.size() - countNamed(tree));
    std::vector<std::size_t> typeDirs;
    std::size_t i = 0;
    for (auto& [type, names] : tree) {
        typeDirs.push_back(next);
        write_u32(&out[16 + 8 * i], nameField(type));
        write_u32(&out[16 + 8 * i + 4], 0x80000000u | static_cast<std::uint32_t>(next));
        next += 16 + 8 * names.size();
        ++i;
    }
    std::size_t t = 0;
    for (auto& [type, names] : tree) {
        std::size_t dir = typeDirs[t++];
        writeDirHeader(dir, countNamed(names), names.size() - countNamed(names));
        std::size_t j = 0;
        for (auto& [name, langs] : names) {
            std::size_t nameDir = next;
            next += 16 + 8 * langs.size();
            write_u32(&out[dir + 16 + 8 * j], nameField(name));
            write_u32(&out[dir + 16 + 8 * j + 4], 0x80000000u | static_cast<std::uint32_t>(nameDir));
            writeDirHeader(nameDir, countNamed(langs), langs.size() - countNamed(langs));
            std::size_t k = 0;
            for (auto& [lang, r] : langs) {
                write_u32(&out[nameDir + 16 + 8 * k], nameField(lang));
                write_u32(&out[nameDir + 16 + 8 * k + 4], static_cast<std::uint32_t>(leafNext));
                write_u32(&out[leafNext], static_cast<std::uint32_t>(baseRva + dataNext));
                write_u32(&out[leafNext + 4], static_cast<std::uint32_t>(r->data.size()));
                write_u32(&out[leafNext + 8], r->codePage);
                if (!r->data.empty()) std::memcpy(&out[dataNext], r->data.data(), r->data.size());
                dataNext += align_up(r->data.size(), 8);
                leafNext += 16;
                ++k;
            }
            ++j;
        }
    }
    return out;
}

void write_section_header(Bytes& file, std::size_t at, const Section& s) {
    std::memset(&file[at], 0, 8);
    std::memcpy(&file[at], s.name.data(), std::min<std::size_t>(s.name.size(), 8));
    write_u32(&file[at + 8], s.virtualSize);
    write_u32(&file[at + 12], s.virtualAddress);
    write_u32(&file[at + 16], s.rawSize);
    write_u32(&file[at + 20], s.rawPointer);
    write_u32(&file[at + 36], s.characteristics);
}

void set_directory(Bytes& file, const Image& image, int index, DataDirectory value) {
    std::size_t at = image.optionalOffset + (image.pe32plus ? 112 : 96) + 8 * index;
    write_u32(&file[at], value.rva);
    write_u32(&file[at + 4], value.size);
}

}  // namespace

std::uint32_t compute_checksum(const Bytes& file, std::size_t checksumOffset) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) continue;
        // A last odd byte counts as a word with a zero high byte.
        const std::uint32_t word = i + 1 < file.size() ? read_u16(&file[i]) : file[i];
        sum += word;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + file.size());
}

void set_resource(std::vector<Resource>& list, const ResName& type, const ResName& name, std::uint32_t language,
                  const Bytes& data) {
    std::erase_if(list, [&](const Resource& r) { return r.type == type && r.name == name; });
    Resource added;
    added.type = type;
    added.name = name;
    added.language = ResName::of(language);
    added.data = data;
    list.push_back(std::move(added));
}

Bytes replace_resource(const Bytes& file, const ResName& type, const ResName& name, std::uint32_t language,
                       const Bytes& data, const std::string& what, std::vector<std::string>* notes) {
    return rebuild_resources(
        file, [&](std::vector<Resource>& list) { set_resource(list, type, name, language, data); }, what, notes);
}

namespace {

// The signature cannot survive any change; drop it rather than leave a
// certificate that no longer matches.
void drop_signature(Bytes& out, const Image& image, std::size_t fileSize, std::vector<std::string>* notes) {
    if (image.directories.size() <= DIR_SECURITY || !image.directories[DIR_SECURITY].rva) return;
    const std::size_t certificateStart = image.directories[DIR_SECURITY].rva;
    const std::size_t certificateEnd = certificateStart + image.directories[DIR_SECURITY].size;
    set_directory(out, image, DIR_SECURITY, {0, 0});
    if (notes) notes->push_back("the file was signed; the signature is removed (it no longer matches)");
    if (certificateEnd == fileSize && certificateStart < fileSize) out.resize(certificateStart);
}

// The section that holds the resources (-1 when none starts at their directory).
int resource_section(const Image& image) {
    int rs = -1;
    if (image.directories.size() > DIR_RESOURCE && image.directories[DIR_RESOURCE].rva) {
        rs = section_of(image, image.directories[DIR_RESOURCE].rva);
        if (rs >= 0 && image.sections[rs].virtualAddress != image.directories[DIR_RESOURCE].rva) rs = -1;
    }
    return rs;
}

// True when the resource section rs may grow where it is: the sections after
// it lie in the same order in the file as in memory, and nothing but a
// directory we patch points into them (relocations, debug data, discardable
// sections).
bool can_grow_in_place(const Image& image, int rs) {
    if (rs < 0) return false;
    bool inPlace = true;
    const Section& r = image.sections[rs];
    for (std::size_t i = 0; i < image.sections.size(); ++i) {
        const Section& s = image.sections[i];
        if (static_cast<int>(i) == rs) continue;
        bool after = s.virtualAddress > r.virtualAddress;
        bool rawAfter = s.rawSize && s.rawPointer > r.rawPointer;
        if (after != rawAfter && s.rawSize) inPlace = false;  // file order differs from memory order
        if (!after) continue;
        if (section_of(image, image.entryPoint) == static_cast<int>(i)) inPlace = false;
        for (std::size_t d = 0; d < image.directories.size(); ++d) {
            if (d == DIR_SECURITY || d == DIR_RESOURCE || d == DIR_BASERELOC || d == DIR_DEBUG) continue;
            if (image.directories[d].rva && section_of(image, image.directories[d].rva) == static_cast<int>(i))
                inPlace = false;
        }
        if (s.name != ".reloc" && !(s.characteristics & SCN_MEM_DISCARDABLE)) inPlace = false;
    }
    return inPlace;
}

// Where the new resources go and what moves to make room for them.
struct Layout {
    Image fresh;            // the sections as they will be
    bool inPlace = false;   // the resource section rs grows where it is
    int rs = -1;            // the old resource section, or -1
    int target = -1;        // the section that holds the new resources
    Bytes sectionBytes;     // the new resource section's contents
    std::int64_t fileDelta = 0, rvaDelta = 0;  // how far what follows moves
    std::size_t insertAt = 0, removeLength = 0, leadPad = 0;  // the splice in the file
};

// The resource section rebuilt where it is; the sections after it move.
void grow_in_place(Layout& l, const std::vector<Resource>& list, std::uint32_t fa, std::uint32_t sa) {
    Section& r = l.fresh.sections[l.rs];
    l.sectionBytes = build_section(list, r.virtualAddress);
    std::uint32_t newRaw = align_up(l.sectionBytes.size(), fa);
    l.rvaDelta = static_cast<std::int64_t>(align_up(r.virtualAddress + l.sectionBytes.size(), sa)) -
                 align_up(static_cast<std::uint64_t>(r.virtualAddress) + section_extent(r), sa);
    l.fileDelta = static_cast<std::int64_t>(newRaw) - r.rawSize;
    l.insertAt = r.rawPointer;
    l.removeLength = r.rawSize;
    for (std::size_t i = 0; i < l.fresh.sections.size(); ++i) {
        Section& s = l.fresh.sections[i];
        if (static_cast<int>(i) == l.rs) continue;
        if (s.virtualAddress > r.virtualAddress) s.virtualAddress = static_cast<std::uint32_t>(s.virtualAddress + l.rvaDelta);
        if (s.rawSize && s.rawPointer > r.rawPointer) s.rawPointer = static_cast<std::uint32_t>(s.rawPointer + l.fileDelta);
    }
    r.virtualSize = static_cast<std::uint32_t>(l.sectionBytes.size());
    r.rawSize = newRaw;
    l.target = l.rs;
}

// A new section after the last one; the old resources stay as dead bytes.
// The section count in `out`'s header is updated.
void add_section(Layout& l, const Image& image, const std::vector<Resource>& list, Bytes& out, std::uint32_t fa,
                 std::uint32_t sa, const std::string& what) {
    std::size_t needed = image.sectionTableOffset + 40 * (image.sections.size() + 1);
    std::uint32_t firstRaw = image.sizeOfHeaders;
    for (const Section& s : image.sections)
        if (s.rawSize) firstRaw = std::min(firstRaw, s.rawPointer);
    if (needed > firstRaw)
        throw Failure(what + ": no room in the headers for another section, and the resource section "
                             "cannot grow where it is");
    std::uint64_t vEnd = 0, rawEnd = 0;
    for (const Section& s : image.sections) {
        vEnd = std::max<std::uint64_t>(vEnd, static_cast<std::uint64_t>(s.virtualAddress) + section_extent(s));
        if (s.rawSize) rawEnd = std::max<std::uint64_t>(rawEnd, static_cast<std::uint64_t>(s.rawPointer) + s.rawSize);
    }
    Section added;
    added.name = ".rsrc";
    added.virtualAddress = align_up(vEnd, sa);
    l.sectionBytes = build_section(list, added.virtualAddress);
    added.virtualSize = static_cast<std::uint32_t>(l.sectionBytes.size());
    added.rawSize = align_up(l.sectionBytes.size(), fa);
    added.rawPointer = align_up(rawEnd, fa);
    added.characteristics = SCN_CNT_INITIALIZED_DATA | SCN_MEM_READ;
    if (l.rs >= 0) l.fresh.sections[l.rs].name = ".rsrcold";
    // Whatever follows the last section (a symbol table, appended data)
    // moves behind the new one.
    l.insertAt = static_cast<std::size_t>(std::min<std::uint64_t>(rawEnd, out.size()));
    l.leadPad = added.rawPointer - l.insertAt;
    l.removeLength = 0;
    l.fileDelta = static_cast<std::int64_t>(l.leadPad) + added.rawSize;
    l.fresh.sections.push_back(added);
    l.target = static_cast<int>(l.fresh.sections.size() - 1);
    write_u16(&out[image.coffOffset + 2], static_cast<std::uint32_t>(l.fresh.sections.size()));
}

// The new section's bytes spliced into the file, with the new section table.
Bytes splice(const Bytes& out, const Image& image, const Layout& l) {
    Bytes raw(l.leadPad + l.fresh.sections[l.target].rawSize, 0);
    std::memcpy(raw.data() + l.leadPad, l.sectionBytes.data(), l.sectionBytes.size());
    Bytes result;
    result.reserve(out.size() + raw.size());
    result.insert(result.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(l.insertAt));
    result.insert(result.end(), raw.begin(), raw.end());
    result.insert(result.end(), out.begin() + static_cast<std::ptrdiff_t>(l.insertAt + l.removeLength), out.end());

    for (std::size_t i = 0; i < l.fresh.sections.size(); ++i)
        write_section_header(result, image.sectionTableOffset + 40 * i, l.fresh.sections[i]);
    return result;
}

// The directories (and the debug entries' data) that moved with their
// sections, and the resource directory.
void move_directories(Bytes& result, const Image& image, const Layout& l) {
    auto moved = [&](std::uint32_t rva) {
        return l.inPlace && rva > image.sections[l.rs].virtualAddress && section_of(image, rva) >= 0;
    };
    for (std::size_t d = 0; d < image.directories.size(); ++d) {
        if (d == DIR_SECURITY || d == DIR_RESOURCE) continue;
        if (image.directories[d].rva && moved(image.directories[d].rva))
            set_directory(result, image, static_cast<int>(d),
                          {static_cast<std::uint32_t>(image.directories[d].rva + l.rvaDelta), image.directories[d].size});
    }
    if (image.directories.size() > DIR_DEBUG && image.directories[DIR_DEBUG].rva) {
        std::uint32_t dirRva = image.directories[DIR_DEBUG].rva;
        if (moved(dirRva)) dirRva = static_cast<std::uint32_t>(dirRva + l.rvaDelta);
        Image now = l.fresh;
        auto at = file_offset(now, dirRva, image.directories[DIR_DEBUG].size, result.size());
        for (std::uint32_t k = 0; at && k + 28 <= image.directories[DIR_DEBUG].size; k += 28) {
            std::uint8_t* e = &result[*at + k];
            std::uint32_t dataRva = read_u32(e + 20), dataPtr = read_u32(e + 24);
            if (dataRva && moved(dataRva)) write_u32(e + 20, static_cast<std::uint32_t>(dataRva + l.rvaDelta));
            if (dataPtr && dataPtr >= l.insertAt + l.removeLength) write_u32(e + 24, static_cast<std::uint32_t>(dataPtr + l.fileDelta));
        }
    }
    set_directory(result, image, DIR_RESOURCE,
                  {l.fresh.sections[l.target].virtualAddress, static_cast<std::uint32_t>(l.sectionBytes.size())});
}

// The symbol table's offset, SizeOfImage, SizeOfInitializedData and the
// checksum (when the file has one) after the change.
void update_headers(Bytes& result, const Image& image, const Layout& l, std::uint32_t sa) {
    std::uint8_t* coff = &result[image.coffOffset];
    std::uint32_t symbols = read_u32(coff + 8);
    if (symbols && symbols >= l.insertAt + l.removeLength) write_u32(coff + 8, static_cast<std::uint32_t>(symbols + l.fileDelta));

    std::uint8_t* opt = &result[image.optionalOffset];
    std::uint64_t vEnd = 0;
    for (const Section& s : l.fresh.sections)
        vEnd = std::max<std::uint64_t>(vEnd, static_cast<std::uint64_t>(s.virtualAddress) + section_extent(s));
    write_u32(opt + 56, align_up(vEnd, sa));
    std::int64_t initialized = static_cast<std::int64_t>(read_u32(opt + 8));
    if (l.inPlace) {
        if (image.sections[l.rs].characteristics & SCN_CNT_INITIALIZED_DATA) initialized += l.fileDelta;
    } else {
        initialized += l.fresh.sections[l.target].rawSize;
    }
    if (initialized >= 0) write_u32(opt + 8, static_cast<std::uint32_t>(initialized));
    if (read_u32(opt + 64) != 0) write_u32(opt + 64, compute_checksum(result, image.optionalOffset + 64));
}

}  // namespace

Bytes rebuild_resources(const Bytes& file, const std::function<void(std::vector<Resource>&)>& edit,
                        const std::string& what, std::vector<std::string>* notes) {
    Image image = parse(file, what);
    std::vector<Resource> list = resources(file, image, what);
    edit(list);

    Bytes out = file;
    const std::uint32_t fa = image.fileAlignment, sa = image.sectionAlignment;
    drop_signature(out, image, file.size(), notes);

    Layout layout;
    layout.fresh = image;
    layout.rs = resource_section(image);
    layout.inPlace = can_grow_in_place(image, layout.rs);
    if (layout.inPlace) grow_in_place(layout, list, fa, sa);
    else add_section(layout, image, list, out, fa, sa, what);

    Bytes result = splice(out, image, layout);
    move_directories(result, image, layout);
    update_headers(result, image, layout, sa);
    return result;
}

std::vector<std::string> layout_problems(const Bytes& file) {
    std::vector<std::string> out;
    Image image;
    try {
        image = parse(file, "file");
    } catch (const Failure& e) {
        out.push_back(e.what());
        return out;
    }
    const std::uint32_t fa = image.fileAlignment, sa = image.sectionAlignment;
    std::size_t tableEnd = image.sectionTableOffset + 40 * image.sections.size();
    if (image.sizeOfHeaders < tableEnd) out.push_back("SizeOfHeaders is smaller than the headers");
    if (image.sizeOfHeaders % fa) out.push_back("SizeOfHeaders is not a multiple of the file alignment");
    std::uint64_t expectVa = align_up(image.sizeOfHeaders, sa);
    for (std::size_t i = 0; i < image.sections.size(); ++i) {
        const Section& s = image.sections[i];
        std::string label = "section " + std::to_string(i) + " (" + s.name + ")";
        if (s.virtualAddress != expectVa) out.push_back(label + " does not follow the previous one in memory");
        expectVa = align_up(static_cast<std::uint64_t>(s.virtualAddress) + section_extent(s), sa);
        if (s.rawSize) {
            if (s.rawPointer % fa) out.push_back(label + " raw data is not file-aligned");
            if (s.rawSize % fa) out.push_back(label + " raw size is not file-aligned");
            if (s.rawPointer < image.sizeOfHeaders) out.push_back(label + " overlaps the headers");
            for (std::size_t j = 0; j < i; ++j) {
                const Section& o = image.sections[j];
                if (o.rawSize && s.rawPointer < o.rawPointer + o.rawSize && o.rawPointer < s.rawPointer + s.rawSize)
                    out.push_back(label + " raw data overlaps section " + o.name);
            }
        }
    }
    if (image.sizeOfImage != expectVa) out.push_back("SizeOfImage does not match the sections");
    for (std::size_t d = 0; d < image.directories.size(); ++d) {
        const DataDirectory& dir = image.directories[d];
        if (d == DIR_SECURITY || dir.rva == 0) continue;
        int s = section_of(image, dir.rva);
        if (s < 0) {
            out.push_back("data directory " + std::to_string(d) + " points outside every section");
            continue;
        }
        const Section& sec = image.sections[s];
        if (static_cast<std::uint64_t>(dir.rva) + dir.size > static_cast<std::uint64_t>(sec.virtualAddress) + section_extent(sec))
            out.push_back("data directory " + std::to_string(d) + " runs past its section");
    }
    if (image.checksum && image.checksum != compute_checksum(file, image.optionalOffset + 64))
        out.push_back("the checksum is wrong");
    try {
        (void)resources(file, image, "file");
    } catch (const Failure& e) {
        out.push_back(e.what());
    }
    return out;
}

}  // namespace sg::packtool::pe
