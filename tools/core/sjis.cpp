#include "tools/core/sjis.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <iterator>

#include "format/package_format.h"

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

// glibc's name for a Windows code page.
std::string iconv_name(std::uint32_t codePage) { return "CP" + std::to_string(codePage); }

// Length of the UTF-8 sequence that starts with lead (1 for a stray byte).
std::size_t sequence_length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

std::uint32_t code_point(std::string_view c) {
    const auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(c[i])); };
    switch (c.size()) {
    case 2: return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
    case 3: return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    case 4: return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
    default: return b(0);
    }
}

}  // namespace

std::optional<std::string> code_page_to_utf8(std::string_view bytes, std::uint32_t codePage) {
    return convert("UTF-8", iconv_name(codePage).c_str(), bytes);
}

std::optional<std::string> utf8_to_code_page(std::string_view utf8, std::uint32_t codePage) {
    return convert(iconv_name(codePage).c_str(), "UTF-8", utf8);
}

std::optional<std::string> sjis_to_utf8(std::string_view sjis) { return code_page_to_utf8(sjis, 932); }

std::optional<std::string> utf8_to_sjis(std::string_view utf8) { return utf8_to_code_page(utf8, 932); }

std::string sjis_display(std::string_view sjis) { return code_page_display(sjis, 932); }

std::string code_page_label(std::uint32_t codePage) {
    const char* what = nullptr;
    switch (codePage) {
    case 874: what = "Thai"; break;
    case 932: what = "Japanese, Shift-JIS"; break;
    case 936: what = "Simplified Chinese"; break;
    case 949: what = "Korean"; break;
    case 950: what = "Traditional Chinese"; break;
    case 1250: what = "Central European"; break;
    case 1251: what = "Cyrillic"; break;
    case 1252: what = "Western European"; break;
    case 1253: what = "Greek"; break;
    case 1254: what = "Turkish"; break;
    case 1255: what = "Hebrew"; break;
    case 1256: what = "Arabic"; break;
    case 1257: what = "Baltic"; break;
    case 1258: what = "Vietnamese"; break;
    }
    return std::to_string(codePage) + (what ? std::string(" (") + what + ")" : std::string());
}

std::optional<Misfit> first_misfit(std::string_view utf8, std::uint32_t codePage) {
    std::size_t position = 0;
    for (std::size_t i = 0; i < utf8.size(); ++position) {
        const std::size_t n = std::min(sequence_length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view c = utf8.substr(i, n);
        if (!utf8_to_code_page(c, codePage)) return Misfit{std::string(c), code_point(c), position + 1};
        i += n;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> code_page_holding(std::string_view utf8) {
    // Western pages first: they are what most authors who leave 932 want.
    constexpr std::uint32_t ORDER[] = {1252, 1250, 1251, 1253, 1254, 1257, 1258, 1255, 1256, 874, 936, 949, 950, 932};
    static_assert(std::size(ORDER) == std::size(format::textrecord::CODE_PAGES));
    for (std::uint32_t codePage : ORDER)
        if (utf8_to_code_page(utf8, codePage)) return codePage;
    return std::nullopt;
}

std::string code_page_display(std::string_view bytes, std::uint32_t codePage) {
    if (auto text = code_page_to_utf8(bytes, codePage)) {
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
    for (unsigned char c : bytes) {
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
