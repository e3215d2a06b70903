// Windows executables (PE32 and PE32+): finding a resource and replacing it
// by rebuilding the resource section, so that the result still loads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tools/core/util.h"

namespace sg::packtool::pe {

// A resource directory entry's name: a number, or a UTF-16 string.
struct ResName {
    bool isId = true;
    std::uint32_t id = 0;
    std::u16string name;
    static ResName of(std::uint32_t id) { return {true, id, {}}; }
    static ResName of(const char* ascii);
    bool operator==(const ResName& other) const;
    std::string display() const;
};

struct Resource {
    ResName type;
    ResName name;
    ResName language;
    std::uint32_t codePage = 0;
    Bytes data;
};

struct Section {
    std::string name;
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawPointer = 0;
    std::uint32_t characteristics = 0;
};

struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

struct Image {
    bool pe32plus = false;
    std::uint16_t machine = 0;
    std::size_t coffOffset = 0;       // the COFF file header, after "PE\0\0"
    std::size_t optionalOffset = 0;
    std::size_t sectionTableOffset = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t fileAlignment = 0;
    std::uint32_t sizeOfImage = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::uint32_t checksum = 0;
    std::uint32_t entryPoint = 0;
    std::vector<Section> sections;
    std::vector<DataDirectory> directories;
};

constexpr int DIR_SECURITY = 4;
constexpr int DIR_RESOURCE = 2;
constexpr int DIR_BASERELOC = 5;
constexpr int DIR_DEBUG = 6;

bool looks_like_pe(const Bytes& file);
// Throws Failure (naming `what`) when the headers cannot be read safely.
Image parse(const Bytes& file, const std::string& what);
// All resources, in directory order. Throws Failure on a damaged directory.
std::vector<Resource> resources(const Bytes& file, const Image& image, const std::string& what);
// The data of resource type/name, preferring `language` when there are several.
std::optional<Bytes> find_resource(const Bytes& file, const ResName& type, const ResName& name,
                                   std::uint32_t language, const std::string& what);
// A copy of the file whose resource type/name/language holds `data` (added
// when missing; other languages of the same name are removed). notes gets a
// line for anything the user should know (a dropped signature).
Bytes replace_resource(const Bytes& file, const ResName& type, const ResName& name, std::uint32_t language,
                       const Bytes& data, const std::string& what, std::vector<std::string>* notes = nullptr);

// The same for any change to the list of resources: edit gets them all, in
// directory order, and the resource section is rebuilt from what it leaves.
Bytes rebuild_resources(const Bytes& file, const std::function<void(std::vector<Resource>&)>& edit,
                        const std::string& what, std::vector<std::string>* notes = nullptr);
// Puts type/name/language = data into a list, dropping other languages of it.
void set_resource(std::vector<Resource>& list, const ResName& type, const ResName& name, std::uint32_t language,
                  const Bytes& data);

std::uint32_t compute_checksum(const Bytes& file, std::size_t checksumOffset);
// What is wrong with the headers' description of the file (empty when
// consistent): alignments, overlaps, sizes, directories, checksum.
std::vector<std::string> layout_problems(const Bytes& file);

}  // namespace sg::packtool::pe
