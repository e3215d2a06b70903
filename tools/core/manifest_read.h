// Reading a manifest: the TOML helpers that every part of build shares.
// Each helper that finds a mistake throws Failure with
// "MANIFEST:LINE: SETTING: what is wrong, and what is allowed".
#pragma once

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tools/core/manifest.h"
#include "tools/core/names.h"
#include "tools/core/safe_files.h"
#include "tools/core/util.h"
#include "tools/packlib/packlib.h"

namespace sg::packtool::manifest {

struct Ctx {
    std::string name;  // the manifest as the user named it
    std::filesystem::path dir;
    std::vector<std::string> notes;
    std::vector<std::string> warnings;
    std::uint32_t codePage = 932;  // of the title and about lines (setting codepage)
    std::uint64_t stored = 0;      // bytes the files read so far take in the package (scene_budget.h)
    std::uint64_t budget = MAX_SCENE_BYTES;  // the most they may take
};

inline int line_of(const toml::node& n) { return static_cast<int>(n.source().begin.line); }

[[noreturn]] void fail(const Ctx& c, int line, const std::string& setting, const std::string& message);
// A warning in the same form as fail's message.
void warn(Ctx& c, int line, const std::string& setting, const std::string& message);
std::string kind_of(const toml::node& n);
std::string join(const std::string& prefix, std::string_view key);

// A table of the manifest with the keys it may hold.
struct Table {
    const Ctx& c;
    const toml::table& t;
    std::string prefix;
    int line;

    void allow(std::initializer_list<std::string_view> keys) const {
        for (auto&& [key, value] : t) {
            if (std::find(keys.begin(), keys.end(), key.str()) != keys.end()) continue;
            std::string allowed;
            for (std::string_view k : keys) allowed += (allowed.empty() ? "" : ", ") + std::string(k);
            fail(c, line_of(value), join(prefix, key.str()), "unknown setting; allowed here: " + allowed);
        }
    }
    const toml::node* node(std::string_view key) const { return t.get(key); }
    std::string where(std::string_view key) const { return join(prefix, key); }

    [[noreturn]] void wrong(std::string_view key, const std::string& message) const {
        const toml::node* n = node(key);
        fail(c, n ? line_of(*n) : line, where(key), message);
    }

    std::optional<std::int64_t> integer(std::string_view key, std::int64_t lo, std::int64_t hi,
                                        const std::string& range) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (!n->is_integer()) wrong(key, "must be an integer (" + range + "), not " + kind_of(*n));
        std::int64_t v = n->as_integer()->get();
        if (v < lo || v > hi) wrong(key, std::to_string(v) + " is out of range; allowed: " + range);
        return v;
    }
    std::optional<std::int32_t> int32(std::string_view key) const {
        auto v = integer(key, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
                         "a 32-bit signed integer");
        return v ? std::optional<std::int32_t>(static_cast<std::int32_t>(*v)) : std::nullopt;
    }
    std::optional<std::string> string(std::string_view key) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (!n->is_string()) wrong(key, "must be a string, not " + kind_of(*n));
        return n->as_string()->get();
    }
    // true/false, or a number (the engine takes any non-zero as on).
    std::optional<std::int32_t> flag(std::string_view key) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (n->is_boolean()) return n->as_boolean()->get() ? 1 : 0;
        if (n->is_integer()) return int32(key);
        wrong(key, "must be true or false, not " + kind_of(*n));
    }
    // A word from the table, or (when numbers are allowed) its code.
    template <std::size_t N>
    std::optional<std::int32_t> word(std::string_view key, const std::array<std::string_view, N>& words,
                                     bool anyNumber, const char* what = nullptr) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (n->is_string()) {
            std::string w = n->as_string()->get();
            if (auto code = names::code_of(words, w)) return *code;
            if (w == "centered" && words.size() == names::FIT.size() && words[0] == names::FIT[0]) return 0;
            wrong(key, "\"" + w + "\" is not " + (what ? what : "allowed") + "; use " + names::listing(words));
        }
        if (n->is_integer()) {
            if (anyNumber) return int32(key);
            return static_cast<std::int32_t>(*integer(key, 0, static_cast<std::int64_t>(N) - 1,
                                                      names::listing(words) + " or their codes 0.." + std::to_string(N - 1)));
        }
        wrong(key, "must be one of " + names::listing(words) + ", not " + kind_of(*n));
    }
    // A number given as { code = N }: stored as it is, whatever the range of
    // the setting. extract writes it for a value the saver plays although no
    // word or range allows it; the package check then warns, as validate does.
    std::optional<std::int32_t> code(std::string_view key) const {
        const toml::node* n = node(key);
        if (!n || !n->is_table()) return std::nullopt;
        Table raw{c, *n->as_table(), where(key), line_of(*n)};
        raw.allow({"code"});
        auto v = raw.int32("code");
        if (!v) wrong(key, "{ code = N } needs its code (a 32-bit signed integer)");
        return v;
    }
    std::optional<Table> sub(std::string_view key) const {
        const toml::node* n = node(key);
        if (!n) return std::nullopt;
        if (!n->is_table()) wrong(key, "must be a table, not " + kind_of(*n));
        return Table{c, *n->as_table(), where(key), line_of(*n)};
    }
};

// A title or about line as the package stores it (in c.codePage, at most 299 bytes).
std::string package_text(const Ctx& c, int line, const std::string& setting, const std::string& utf8);
// The same given as hexadecimal bytes.
std::string hex_text(const Ctx& c, int line, const std::string& setting, const std::string& hex);
// A file the manifest names, inside the manifest's folder, of at most
// `limit` bytes (safe_files.h).
Bytes load(const Ctx& c, int line, const std::string& setting, const std::string& file,
           std::uint64_t limit = MAX_SCENE_BYTES);
// The first error among problems ("" when none).
std::string problem_text(const pack::Problems& problems);

}  // namespace sg::packtool::manifest
