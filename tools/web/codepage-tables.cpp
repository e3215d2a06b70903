// Writes the tables of the Windows code pages packages may name, as this
// machine's iconv converts them, as a C++ header (argument: its path), for
// the browser build's iconv (iconv.cpp). Built and run on the build machine.
//
// Per code page:
//  - decode: every byte or byte pair that is one character, with that
//    character, sorted by code (U+FFFF: refused, and passed over); each
//    code and character written as its difference from the last one's
//    (modulo 65536), which the web build's compression takes far better;
//  - encode exceptions: where converting a character differs from the first
//    code that decodes to it (another code, several bytes, or none at all);
//    a code of several bytes is their value, first byte highest;
//  - composition: (held character, next byte) -> one character, for the code
//    pages whose converter joins a letter and its following accent.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// In the decode table: a code the converter refuses after passing over it
// (it stops after it, not at it).
constexpr std::uint32_t SKIPPED = 0xFFFF;

const unsigned CODE_PAGES[] = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

struct Conv {
    iconv_t cd;
    Conv(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Conv() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    std::size_t consumed = 0;  // by a conversion that failed
    // Whole input converted and flushed, or false.
    bool run(const std::string& in, std::string& out) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[64];
        char* from = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char* to = buffer;
        std::size_t room = sizeof buffer;
        consumed = 0;
        if (iconv(cd, &from, &left, &to, &room) == static_cast<std::size_t>(-1)) {
            consumed = in.size() - left;
            return false;
        }
        if (iconv(cd, nullptr, nullptr, &to, &room) == static_cast<std::size_t>(-1)) return false;
        out.assign(buffer, static_cast<std::size_t>(to - buffer));
        return true;
    }
};

// The code points of a UTF-8 string (valid, from iconv).
std::vector<std::uint32_t> points(const std::string& s) {
    std::vector<std::uint32_t> p;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::uint32_t u = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n; ++k) u = u << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        p.push_back(u);
        i += static_cast<std::size_t>(n);
    }
    return p;
}

std::string utf8(std::uint32_t u) {
    std::string s;
    if (u < 0x80) s += static_cast<char>(u);
    else if (u < 0x800) s += static_cast<char>(0xC0 | u >> 6), s += static_cast<char>(0x80 | (u & 0x3F));
    else s += static_cast<char>(0xE0 | u >> 12), s += static_cast<char>(0x80 | (u >> 6 & 0x3F)), s += static_cast<char>(0x80 | (u & 0x3F));
    return s;
}

bool fail(const char* what, unsigned page) {
    std::fprintf(stderr, "codepage-tables: %s (code page %u)\n", what, page);
    return false;
}

bool write_page(std::FILE* f, unsigned page) {
    char name[16];
    std::snprintf(name, sizeof name, "CP%u", page);
    Conv dec("UTF-8", name), enc(name, "UTF-8");
    if (dec.cd == reinterpret_cast<iconv_t>(-1) || enc.cd == reinterpret_cast<iconv_t>(-1))
        return fail("this machine's iconv does not know it", page);

    std::map<std::uint32_t, std::uint32_t> decode;  // code -> character
    std::string out;
    for (unsigned b = 0; b < 0x100; ++b) {
        if (dec.run(std::string(1, static_cast<char>(b)), out)) {
            const auto p = points(out);
            if (p.size() != 1 || p[0] == SKIPPED) return fail("a byte that is not one character", page);
            decode[b] = p[0];
            continue;
        }
        if (dec.consumed == 1) {
            decode[b] = SKIPPED;
            continue;
        }
        for (unsigned t = 0; t < 0x100; ++t) {
            if (!dec.run(std::string{static_cast<char>(b), static_cast<char>(t)}, out)) {
                if (dec.consumed == 2) decode[b << 8 | t] = SKIPPED;
                else if (dec.consumed != 0) return fail("a wrong pair half passed over", page);
                continue;
            }
            const auto p = points(out);
            if (p.size() == 1 && p[0] == SKIPPED) return fail("a pair that is U+FFFF", page);
            if (p.size() == 1) decode[b << 8 | t] = p[0];
        }
    }
    // Letter and accent joined into one character, and that again with a
    // further accent.
    std::map<std::pair<std::uint32_t, unsigned>, std::uint32_t> compose;
    std::vector<std::pair<std::string, std::uint32_t>> held;
    for (const auto& [code, point] : decode)
        if (code < 0x100 && point != SKIPPED) held.emplace_back(std::string(1, static_cast<char>(code)), point);
    for (int depth = 0; depth < 3 && !held.empty(); ++depth) {
        std::vector<std::pair<std::string, std::uint32_t>> next;
        for (const auto& [bytes, point] : held)
            for (unsigned t = 0; t < 0x100; ++t) {
                if (!decode.count(t) || decode[t] == SKIPPED) continue;
                const std::string in = bytes + static_cast<char>(t);
                if (!dec.run(in, out)) continue;
                const auto p = points(out);
                if (p.size() != 1) continue;
                compose[{point, t}] = p[0];
                next.emplace_back(in, p[0]);
            }
        held = std::move(next);
    }
    if (!held.empty()) return fail("accents join deeper than this table goes", page);

    std::map<std::uint32_t, std::uint32_t> inverse;  // character -> first code
    for (const auto& [code, point] : decode) {
        if (point > 0xFFFF) return fail("a character outside the basic plane", page);
        if (point != SKIPPED) inverse.emplace(point, code);
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> exceptions;  // character -> code, NONE for none
    constexpr std::uint32_t NONE = 0xFFFFFFFF;
    for (std::uint32_t u = 0; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        std::uint32_t code = NONE;
        if (enc.run(utf8(u), out)) {
            if (out.empty() || out.size() > 4 || (out.size() > 1 && out[0] == 0))
                return fail("a character that is not one to four bytes, the first not zero", page);
            code = 0;
            for (char c : out) code = code << 8 | static_cast<unsigned char>(c);
        }
        const auto it = inverse.find(u);
        if ((it == inverse.end() ? NONE : it->second) != code) exceptions.emplace_back(u, code);
    }

    std::fprintf(f, "const std::uint16_t CP%u_DECODE[][2] = {", page);
    int n = 0;
    std::uint32_t lastCode = 0, lastPoint = 0;
    for (const auto& [code, point] : decode) {
        std::fprintf(f, "%s{%u,%u},", n++ % 8 ? "" : "\n", (code - lastCode) & 0xFFFF, (point - lastPoint) & 0xFFFF);
        lastCode = code;
        lastPoint = point;
    }
    std::fprintf(f, "\n};\nconst std::uint32_t CP%u_ENCODE[][2] = {", page);
    n = 0;
    for (const auto& [point, code] : exceptions) std::fprintf(f, "%s{0x%X,0x%X},", n++ % 8 ? "" : "\n", point, code);
    if (exceptions.empty()) std::fprintf(f, "{0xFFFFFFFF,0}");
    std::fprintf(f, "\n};\nconst std::uint32_t CP%u_COMPOSE[][3] = {", page);
    n = 0;
    for (const auto& [key, point] : compose) std::fprintf(f, "%s{0x%X,0x%X,0x%X},", n++ % 6 ? "" : "\n", key.first, key.second, point);
    if (compose.empty()) std::fprintf(f, "{0xFFFFFFFF,0,0}");
    std::fprintf(f, "\n};\n");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: codepage-tables HEADER\n");
        return 2;
    }
    const std::string path = argv[1], partial = path + ".part";
    std::FILE* f = std::fopen(partial.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "codepage-tables: cannot write %s: %s\n", partial.c_str(), std::strerror(errno));
        return 1;
    }
    std::fprintf(f, "// Written by codepage-tables from this machine's iconv. Do not edit.\n#include <cstdint>\n\n");
    bool ok = true;
    for (unsigned page : CODE_PAGES) ok = ok && write_page(f, page);
    std::fprintf(f, "struct CodePageTables {\n    unsigned page;\n    const std::uint16_t (*decode)[2];\n    std::size_t decodes;\n"
                    "    const std::uint32_t (*encode)[2];\n    std::size_t encodes;\n    const std::uint32_t (*compose)[3];\n    std::size_t composes;\n};\n"
                    "#define SG_TABLE(n) {n, CP##n##_DECODE, sizeof CP##n##_DECODE / sizeof *CP##n##_DECODE, CP##n##_ENCODE, \\\n"
                    "    sizeof CP##n##_ENCODE / sizeof *CP##n##_ENCODE, CP##n##_COMPOSE, sizeof CP##n##_COMPOSE / sizeof *CP##n##_COMPOSE}\n"
                    "const CodePageTables CODE_PAGE_TABLES[] = {");
    for (unsigned page : CODE_PAGES) std::fprintf(f, "SG_TABLE(%u), ", page);
    std::fprintf(f, "};\n#undef SG_TABLE\n");
    if (std::fclose(f) != 0 || !ok || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        if (ok) std::fprintf(stderr, "codepage-tables: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
