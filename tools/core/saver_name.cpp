#include "tools/core/saver_name.h"

#include <array>
#include <cctype>

#include "tools/core/sjis.h"

namespace sg::packtool {

namespace {

constexpr std::size_t MAX_STEM_BYTES = 200;
constexpr char32_t REPLACEMENT = 0xFFFD;

// The code point at text[i] (advancing i); REPLACEMENT for a bad sequence.
char32_t next_code_point(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i++);
    if (lead < 0x80) return lead;
    int extra = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; least = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; least = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; least = 0x10000; }
    else return REPLACEMENT;
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80) return REPLACEMENT;
        cp = (cp << 6) | (byte(i++) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return REPLACEMENT;
    return cp;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool is_device_name(std::string_view stem) {
    // The part before the first dot names the device ("con.txt" too).
    std::string base(stem.substr(0, stem.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* name : {"CON", "PRN", "AUX", "NUL"})
        if (base == name) return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
           base[3] <= '9';
}

}  // namespace

std::string title_utf8(std::string_view titleBytes, std::uint32_t codePage) {
    return code_page_to_utf8(titleBytes, codePage).value_or(code_page_display(titleBytes, codePage));
}

std::u16string utf8_to_utf16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = next_code_point(utf8, i);
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view utf16) {
    std::string out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = REPLACEMENT;
        }
        append_utf8(out, cp);
    }
    return out;
}

std::string saver_file_stem(std::string_view utf8Title) {
    std::string out;
    for (std::size_t i = 0; i < utf8Title.size();) {
        const std::size_t start = i;
        const char32_t cp = next_code_point(utf8Title, i);
        std::string piece;
        if (cp < 0x20 || cp == 0x7F || std::u32string_view(U"<>:\"/\\|?*").find(cp) != std::u32string_view::npos)
            piece = "_";
        else if (cp == REPLACEMENT && utf8Title.substr(start, i - start) != "\xEF\xBF\xBD")
            piece = "_";
        else
            piece = std::string(utf8Title.substr(start, i - start));
        if (out.size() + piece.size() > MAX_STEM_BYTES) break;
        out += piece;
    }
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
    if (out.empty()) return "snowglobe";
    if (is_device_name(out)) out.insert(out.find('.') == std::string::npos ? out.size() : out.find('.'), "_");
    return out;
}

}  // namespace sg::packtool
