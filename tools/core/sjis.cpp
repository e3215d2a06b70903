#include "tools/core/sjis.h"

#include <cstdio>
#include <iterator>
#include <utility>

#include "format/package_format.h"

namespace sg::packtool {

std::optional<std::string> code_page_to_utf8(std::string_view bytes, std::uint32_t codePage) {
    format::DecodedText text = format::code_page_to_utf8(bytes, codePage);
    if (text.replaced) return std::nullopt;
    return std::move(text.utf8);
}

std::optional<std::string> utf8_to_code_page(std::string_view utf8, std::uint32_t codePage) {
    format::EncodedText text = format::utf8_to_code_page(utf8, codePage);
    if (text.misfit) return std::nullopt;
    return std::move(text.bytes);
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
    return format::utf8_to_code_page(utf8, codePage).misfit;
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
    std::string out;
    for (unsigned char c : format::code_page_to_utf8(bytes, codePage).utf8) {
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

}  // namespace sg::packtool
