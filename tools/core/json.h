// A small JSON reader for the files sprite editors export beside a sheet.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/core/util.h"

namespace sg::packtool {

struct Json {
    enum class Kind { Null, Boolean, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    // An array's values; an object's member values, named by `names` at the
    // same index, in the file's order (kept apart: a pair of a name and a
    // Json would need Json complete).
    std::vector<Json> items;
    std::vector<std::string> names;

    // The member named `key`, or nullptr (also when this is no object).
    const Json* get(std::string_view key) const;
};

// The whole of `bytes` as one JSON value; throws Failure
// "WHAT: line L: what is wrong" for anything else. Nesting past 64 levels
// is refused.
Json json_parse(std::span<const std::uint8_t> bytes, const std::string& what);

}  // namespace sg::packtool
