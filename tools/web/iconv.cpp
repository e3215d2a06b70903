// iconv for the browser build: UTF-8 <-> CP932 with the build machine's own
// tables (cp932_table.h, from tools/web/cp932-table), so that texts convert
// exactly as in the native snowglobe-pack. The browser's C library has no
// code page 932; this replaces its iconv, and knows only these two ways.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <strings.h>

#include "cp932_table.h"

namespace {

enum Way : std::uintptr_t { ToCp932 = 1, FromCp932 = 2 };

bool is_cp932(const char* name) { return strcasecmp(name, "CP932") == 0; }
bool is_utf8(const char* name) { return strcasecmp(name, "UTF-8") == 0 || strcasecmp(name, "UTF8") == 0; }

// A pair's second value for its first, in a table sorted by the first.
bool find(const std::uint32_t (*table)[2], std::size_t count, std::uint32_t key, std::uint32_t* value) {
    const auto* end = table + count;
    const auto* at = std::lower_bound(table, end, key, [](const std::uint32_t(&row)[2], std::uint32_t k) { return row[0] < k; });
    if (at == end || (*at)[0] != key) return false;
    *value = (*at)[1];
    return true;
}

bool decode_cp932(std::uint32_t code, std::uint32_t* point) {
    return find(CP932_DECODE, sizeof CP932_DECODE / sizeof *CP932_DECODE, code, point);
}

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
    if (is_cp932(to) && is_utf8(from)) return reinterpret_cast<iconv_t>(ToCp932);
    if (is_utf8(to) && is_cp932(from)) return reinterpret_cast<iconv_t>(FromCp932);
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);
}

int iconv_close(iconv_t) { return 0; }

std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft) {
    if (in == nullptr || *in == nullptr) return 0;  // no shift state to reset
    const Way way = static_cast<Way>(reinterpret_cast<std::uintptr_t>(cd));
    while (*inLeft > 0) {
        const auto* s = reinterpret_cast<const unsigned char*>(*in);
        unsigned char bytes[4];
        int used, made;
        if (way == ToCp932) {
            std::uint32_t u = 0, code = 0;
            used = utf8_char(s, *inLeft, &u);
            if (used == 0) { errno = EINVAL; return static_cast<std::size_t>(-1); }
            if (used < 0 || !find(CP932_ENCODE, sizeof CP932_ENCODE / sizeof *CP932_ENCODE, u, &code)) {
                errno = EILSEQ;
                return static_cast<std::size_t>(-1);
            }
            made = code > 0xFF ? 2 : 1;
            if (made == 2) bytes[0] = code >> 8, bytes[1] = code & 0xFF;
            else bytes[0] = static_cast<unsigned char>(code);
        } else {
            std::uint32_t u = 0;
            used = 1;
            if (!decode_cp932(s[0], &u)) {
                if (*inLeft < 2) {
                    // A lead byte at the end may still be completed; anything else is wrong.
                    std::uint32_t any;
                    bool lead = false;
                    for (unsigned t = 0x40; t < 0x100 && !lead; ++t) lead = decode_cp932(s[0] << 8 | t, &any);
                    errno = lead ? EINVAL : EILSEQ;
                    return static_cast<std::size_t>(-1);
                }
                used = 2;
                if (!decode_cp932(static_cast<std::uint32_t>(s[0]) << 8 | s[1], &u)) {
                    errno = EILSEQ;
                    return static_cast<std::size_t>(-1);
                }
            }
            made = utf8_put(u, bytes);
        }
        if (static_cast<std::size_t>(made) > *outLeft) {
            errno = E2BIG;
            return static_cast<std::size_t>(-1);
        }
        std::memcpy(*out, bytes, static_cast<std::size_t>(made));
        *out += made;
        *outLeft -= static_cast<std::size_t>(made);
        *in += used;
        *inLeft -= static_cast<std::size_t>(used);
    }
    return 0;
}

}  // extern "C"
