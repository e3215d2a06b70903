// The resources that name a Windows saver: string 1 of the string table (the
// name the screen saver list shows) and the version resource's strings
// (FileDescription and ProductName, which the file's properties show).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/core/pe.h"
#include "tools/core/util.h"

namespace sg::packtool {

constexpr std::uint32_t RT_STRING = 6;
constexpr std::uint32_t RT_VERSION = 16;
constexpr std::uint32_t LANGUAGE_NEUTRAL = 0;

// A string table block (16 counted UTF-16 strings) with entry `index`
// (0-15) set to text; the other entries come from `block` when it reads
// as one, else they are empty.
Bytes string_block_with(const std::optional<Bytes>& block, unsigned index, const std::u16string& text);
// Entry `index` of a block; nullopt when the block is cut short.
std::optional<std::u16string> string_block_entry(const Bytes& block, unsigned index);

// A VS_VERSION_INFO with one string table (language neutral, UTF-16) holding
// `strings` in order, and the numeric version a.b.c.d in the fixed part.
struct VersionStrings {
    std::vector<std::pair<std::u16string, std::u16string>> strings;  // key, value
    std::uint16_t version[4] = {0, 0, 0, 0};
};
Bytes version_info(const VersionStrings& v);
// The value of `key` in any string table of a VS_VERSION_INFO; nullopt when
// absent or when the structure is damaged.
std::optional<std::u16string> version_string(const Bytes& info, const std::u16string& key);

// Names the saver in a resource list: string 1 in every language its block 1
// exists in (language neutral when there is none), and a version resource
// with the title as FileDescription and ProductName and `version`
// ("1.2.3") as FileVersion and ProductVersion, replacing any other.
void set_saver_name(std::vector<pe::Resource>& list, const std::u16string& title, const std::string& version);

// String 1 of a Windows executable (any language), nullopt without one.
std::optional<std::u16string> saver_name(const Bytes& file, const std::string& what);

}  // namespace sg::packtool
