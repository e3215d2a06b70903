// iconv for the browser build: UTF-8 <-> the Windows code pages packages
// may name, with the build machine's own tables (codepage_tables.h, written
// by codepage-tables.cpp), so that texts convert exactly as in the native
// snowglobe-pack. The browser's C library has none of these code pages; this
// replaces its iconv, and knows only these conversions.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <utility>
#include <vector>

#include "codepage_tables.h"

namespace {

using Pair = std::pair<std::uint32_t, std::uint32_t>;

bool is_utf8(const char* name) { return strcasecmp(name, "UTF-8") == 0 || strcasecmp(name, "UTF8") == 0; }

// The tables of "CP<n>" or "WINDOWS-<n>", or null.
const CodePageTables* tables_of(const char* name) {
    const char* digits = strncasecmp(name, "CP", 2) == 0 ? name + 2 : strncasecmp(name, "WINDOWS-", 8) == 0 ? name + 8 : nullptr;
    if (digits == nullptr || *digits < '1' || *digits > '9') return nullptr;
    char* end = nullptr;
    const unsigned long page = std::strtoul(digits, &end, 10);
    if (*end != '\0') return nullptr;
    for (const auto& t : CODE_PAGE_TABLES)
        if (t.page == page) return &t;
    return nullptr;
}

constexpr std::uint32_t NONE = 0xFFFFFFFF;
// A code the tables' converter refuses after passing over it.
constexpr std::uint32_t SKIPPED = 0xFFFF;

// Code -> character, sorted by code: the table's differences summed. Made
// once per code page.
const std::vector<Pair>& decoder(const CodePageTables& t) {
    static std::vector<Pair> made[sizeof CODE_PAGE_TABLES / sizeof *CODE_PAGE_TABLES];
    auto& d = made[&t - CODE_PAGE_TABLES];
    if (!d.empty()) return d;
    std::uint32_t code = 0, point = 0;
    for (std::size_t i = 0; i < t.decodes; ++i) {
        code = (code + t.decode[i][0]) & 0xFFFF;
        point = (point + t.decode[i][1]) & 0xFFFF;
        d.emplace_back(code, point);
    }
    return d;
}

// Character -> code: the first code that decodes to each character, then the
// conversions that differ from it. Made once per code page.
const std::vector<Pair>& encoder(const CodePageTables& t) {
    static std::vector<Pair> made[sizeof CODE_PAGE_TABLES / sizeof *CODE_PAGE_TABLES];
    auto& e = made[&t - CODE_PAGE_TABLES];
    if (!e.empty()) return e;
    for (const auto& [code, point] : decoder(t))
        if (point != SKIPPED) e.emplace_back(point, code);
    std::stable_sort(e.begin(), e.end(), [](const Pair& a, const Pair& b) { return a.first < b.first; });
    e.erase(std::unique(e.begin(), e.end(), [](const Pair& a, const Pair& b) { return a.first == b.first; }), e.end());
    for (std::size_t i = 0; i < t.encodes; ++i) {
        const Pair x{t.encode[i][0], t.encode[i][1]};
        if (x.first == NONE) continue;
        const auto at = std::lower_bound(e.begin(), e.end(), x.first, [](const Pair& p, std::uint32_t k) { return p.first < k; });
        if (at != e.end() && at->first == x.first) at->second = x.second;
        else e.insert(at, x);
    }
    e.erase(std::remove_if(e.begin(), e.end(), [](const Pair& p) { return p.second == NONE; }), e.end());
    return e;
}

bool decode(const CodePageTables& t, std::uint32_t code, std::uint32_t* point) {
    const auto& d = decoder(t);
    const auto at = std::lower_bound(d.begin(), d.end(), code, [](const Pair& p, std::uint32_t k) { return p.first < k; });
    if (at == d.end() || at->first != code) return false;
    *point = at->second;
    return true;
}

// The character `held` and the byte after it joined into one, if they join;
// with byte NONE, whether `held` joins with any byte.
bool compose(const CodePageTables& t, std::uint32_t held, std::uint32_t byte, std::uint32_t* point) {
    const auto* end = t.compose + t.composes;
    const auto* at = std::lower_bound(t.compose, end, std::make_pair(held, byte == NONE ? 0 : byte),
        [](const std::uint32_t(&row)[3], const Pair& k) { return std::make_pair(row[0], row[1]) < k; });
    if (at == end || (*at)[0] != held) return false;
    if (byte == NONE) return true;
    if ((*at)[1] != byte) return false;
    *point = (*at)[2];
    return true;
}

struct Conversion {
    const CodePageTables* tables;
    bool toCodePage;
    bool holding = false;  // a character that may still join the next byte's
    std::uint32_t held = 0;
};

// One character from UTF-8: its length, 0 when cut short, -1 when invalid.
int utf8_char(const unsigned char* s, std::size_t left, std::uint32_t* point) {
    const unsigned char c = s[0];
    int n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : -1;
    if (n < 0) return -1;
    if (static_cast<std::size_t>(n) > left) return 0;
    std::uint32_t u = n == 1 ? c : c & (0x7F >> n);
    for (int i = 1; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80) return -1;
        u = u << 6 | (s[i] & 0x3F);
    }
    static const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (u < least[n] || u > 0x10FFFF || (u >= 0xD800 && u < 0xE000)) return -1;
    *point = u;
    return n;
}

int utf8_put(std::uint32_t u, unsigned char* out) {
    if (u < 0x80) { out[0] = static_cast<unsigned char>(u); return 1; }
    if (u < 0x800) { out[0] = 0xC0 | u >> 6; out[1] = 0x80 | (u & 0x3F); return 2; }
    if (u < 0x10000) { out[0] = 0xE0 | u >> 12; out[1] = 0x80 | (u >> 6 & 0x3F); out[2] = 0x80 | (u & 0x3F); return 3; }
    out[0] = 0xF0 | u >> 18; out[1] = 0x80 | (u >> 12 & 0x3F); out[2] = 0x80 | (u >> 6 & 0x3F); out[3] = 0x80 | (u & 0x3F);
    return 4;
}

}  // namespace

extern "C" {

iconv_t iconv_open(const char* to, const char* from) {
    const CodePageTables* t = nullptr;
    bool toCodePage = false;
    if (is_utf8(from) && (t = tables_of(to))) toCodePage = true;
    else if (!is_utf8(to) || !(t = tables_of(from))) {
        errno = EINVAL;
        return reinterpret_cast<iconv_t>(-1);
    }
    return reinterpret_cast<iconv_t>(new Conversion{t, toCodePage});
}

int iconv_close(iconv_t cd) {
    delete reinterpret_cast<Conversion*>(cd);
    return 0;
}

std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft) {
    auto& c = *reinterpret_cast<Conversion*>(cd);
    const CodePageTables& t = *c.tables;
    unsigned char bytes[4];
    // Writes n bytes, or says there is no room.
    const auto put = [&](int n) {
        if (static_cast<std::size_t>(n) > *outLeft) return false;
        std::memcpy(*out, bytes, static_cast<std::size_t>(n));
        *out += n;
        *outLeft -= static_cast<std::size_t>(n);
        return true;
    };
    const auto e2big = [] {
        errno = E2BIG;
        return static_cast<std::size_t>(-1);
    };
    if (in == nullptr || *in == nullptr) {
        // The end of the input: the held character goes out (or is dropped
        // when there is nowhere to write it).
        if (c.holding && out != nullptr && *out != nullptr && !put(utf8_put(c.held, bytes))) return e2big();
        c.holding = false;
        return 0;
    }
    while (*inLeft > 0) {
        const auto* s = reinterpret_cast<const unsigned char*>(*in);
        int used;
        if (c.toCodePage) {
            std::uint32_t u = 0;
            used = utf8_char(s, *inLeft, &u);
            if (used == 0) { errno = EINVAL; return static_cast<std::size_t>(-1); }
            const auto& e = encoder(t);
            const auto at = std::lower_bound(e.begin(), e.end(), u, [](const Pair& p, std::uint32_t k) { return p.first < k; });
            if (used < 0 || at == e.end() || at->first != u) {
                errno = EILSEQ;
                return static_cast<std::size_t>(-1);
            }
            const std::uint32_t code = at->second;
            const int made = code > 0xFFFFFF ? 4 : code > 0xFFFF ? 3 : code > 0xFF ? 2 : 1;
            for (int i = 0; i < made; ++i) bytes[i] = static_cast<unsigned char>(code >> 8 * (made - 1 - i));
            if (!put(made)) return e2big();
        } else {
            std::uint32_t u = 0;
            used = 1;
            if (!decode(t, s[0], &u)) {
                if (*inLeft < 2) {
                    // A lead byte at the end may still be completed; anything else is wrong.
                    std::uint32_t any;
                    bool lead = false;
                    for (unsigned b = 0x40; b < 0x100 && !lead; ++b) lead = decode(t, s[0] << 8 | b, &any);
                    errno = lead ? EINVAL : EILSEQ;
                    return static_cast<std::size_t>(-1);
                }
                used = 2;
                if (!decode(t, static_cast<std::uint32_t>(s[0]) << 8 | s[1], &u)) {
                    errno = EILSEQ;
                    return static_cast<std::size_t>(-1);
                }
            }
            if (u == SKIPPED) {
                if (c.holding && !put(utf8_put(c.held, bytes))) return e2big();
                c.holding = false;
                *in += used;
                *inLeft -= static_cast<std::size_t>(used);
                errno = EILSEQ;
                return static_cast<std::size_t>(-1);
            }
            std::uint32_t joined = 0;
            if (c.holding && used == 1 && compose(t, c.held, s[0], &joined)) {
                c.held = joined;
            } else {
                if (c.holding) {
                    if (!put(utf8_put(c.held, bytes))) return e2big();
                    c.holding = false;
                }
                if (used == 1 && compose(t, u, NONE, &joined)) {
                    c.holding = true;
                    c.held = u;
                } else if (!put(utf8_put(u, bytes))) {
                    return e2big();
                }
            }
        }
        *in += used;
        *inLeft -= static_cast<std::size_t>(used);
    }
    return 0;
}

}  // extern "C"
