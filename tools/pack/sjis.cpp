#include "tools/pack/sjis.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>

namespace sg::packtool {

namespace {

std::optional<std::string> convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    std::string input(in);
    char* src = input.data();
    std::size_t srcLeft = input.size();
    char buffer[1024];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::string> sjis_to_utf8(std::string_view sjis) { return convert("UTF-8", "CP932", sjis); }

std::optional<std::string> utf8_to_sjis(std::string_view utf8) { return convert("CP932", "UTF-8", utf8); }

std::string sjis_display(std::string_view sjis) {
    if (auto text = sjis_to_utf8(sjis)) {
        std::string out;
        for (unsigned char c : *text) {
            if (c < 0x20 || c == 0x7f) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\x%02x", c);
                out += esc;
            } else {
                out += static_cast<char>(c);
            }
        }
        return out;
    }
    std::string out;
    for (unsigned char c : sjis) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    return out;
}

}  // namespace sg::packtool
