#include "tools/core/manifest_read.h"

#include <cstdio>

#include "tools/core/safe_files.h"
#include "tools/core/sjis.h"

namespace sg::packtool::manifest {

namespace fs = std::filesystem;

[[noreturn]] void fail(const Ctx& c, int line, const std::string& setting, const std::string& message) {
    throw Failure(c.name + ":" + std::to_string(line) + ": " + setting + ": " + message);
}

void warn(Ctx& c, int line, const std::string& setting, const std::string& message) {
    c.warnings.push_back(c.name + ":" + std::to_string(line) + ": " + setting + ": " + message);
}

std::string kind_of(const toml::node& n) {
    switch (n.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number with a fraction";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::array: return "an array";
    case toml::node_type::table: return "a table";
    default: return "a date or time";
    }
}

std::string join(const std::string& prefix, std::string_view key) {
    return prefix.empty() ? std::string(key) : prefix + "." + std::string(key);
}

std::string package_text(const Ctx& c, int line, const std::string& setting, const std::string& utf8) {
    auto bytes = utf8_to_code_page(utf8, c.codePage);
    if (!bytes) {
        std::string why = "does not fit in code page " + code_page_label(c.codePage);
        if (auto misfit = first_misfit(utf8, c.codePage)) {
            char u[16];
            std::snprintf(u, sizeof u, "U+%04X", static_cast<unsigned>(misfit->codePoint));
            why = "\"" + misfit->character + "\" (" + u + ", character " + std::to_string(misfit->position) +
                  ") is not in code page " + code_page_label(c.codePage);
        }
        const auto holding = code_page_holding(utf8);
        const std::string hint =
            holding ? "; set codepage = " + code_page_label(*holding) + " to hold this text"
                    : "; no code page a package may name (codepage = 874, 932, 936, 949, 950 or 1250..1258) holds all of this text";
        fail(c, line, setting, why + hint);
    }
    if (bytes->size() > 299)
        fail(c, line, setting, "is " + std::to_string(bytes->size()) + " bytes in code page " +
                                   std::to_string(c.codePage) + "; at most 299 fit");
    if (bytes->find('\0') != std::string::npos) fail(c, line, setting, "must not contain a NUL character");
    return *bytes;
}

std::string hex_text(const Ctx& c, int line, const std::string& setting, const std::string& hex) {
    Bytes bytes;
    if (!parse_hex_bytes(hex, bytes)) fail(c, line, setting, "must be pairs of hexadecimal digits");
    if (bytes.size() > 299) fail(c, line, setting, "holds " + std::to_string(bytes.size()) + " bytes; at most 299 fit");
    if (std::find(bytes.begin(), bytes.end(), 0) != bytes.end()) fail(c, line, setting, "must not contain a 00 byte");
    return std::string(bytes.begin(), bytes.end());
}

Bytes load(const Ctx& c, int line, const std::string& setting, const std::string& file, std::uint64_t limit) {
    try {
        return read_regular_file(inside_folder(c.dir, file), limit);
    } catch (const Failure& e) {
        fail(c, line, setting, std::string(e.what()));
    }
}

std::string problem_text(const pack::Problems& problems) {
    for (const pack::Problem& p : problems)
        if (p.severity == pack::Severity::Error) return p.message;
    return "";
}

}  // namespace sg::packtool::manifest
