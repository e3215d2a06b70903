#include "tools/core/codepage_choice.h"

#include <algorithm>
#include <cstdio>

#include "format/package_format.h"
#include "tools/core/sjis.h"

namespace sg::packtool {

namespace {

bool holds_all(const std::vector<std::string>& texts, std::uint32_t codePage) {
    return std::all_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return utf8_to_code_page(t, codePage).has_value(); });
}

// The length of the UTF-8 character at s[i] (1 for a byte that is not UTF-8).
std::size_t char_length(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    return i + n <= s.size() ? n : 1;
}

std::uint32_t code_point(const std::string& ch) {
    const auto* s = reinterpret_cast<const unsigned char*>(ch.data());
    if (ch.size() == 1) return s[0];
    std::uint32_t u = s[0] & (0x7F >> ch.size());
    for (std::size_t i = 1; i < ch.size(); ++i) u = u << 6 | (s[i] & 0x3F);
    return u;
}

std::string hex_escape(unsigned char byte) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
    return buffer;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One character of `bytes` from `at` (one byte, or a lead and trail byte)
// that converts to UTF-8 and back to the same bytes; its length, or 0.
std::size_t character_at(const std::string& bytes, std::size_t at, std::uint32_t codePage, std::string* utf8) {
    for (std::size_t n = 1; n <= 2 && at + n <= bytes.size(); ++n) {
        const std::string piece = bytes.substr(at, n);
        auto text = code_page_to_utf8(piece, codePage);
        if (!text || text->empty()) continue;
        auto back = utf8_to_code_page(*text, codePage);
        if (back && *back == piece) {
            *utf8 = std::move(*text);
            return n;
        }
    }
    return 0;
}

}  // namespace

const std::vector<std::uint32_t>& code_page_order() {
    static const std::vector<std::uint32_t> order = [] {
        std::vector<std::uint32_t> o{932};
        for (std::uint32_t c : {1252u, 1250u, 1251u, 1253u, 1254u, 1257u, 1258u, 1255u, 1256u, 874u, 936u, 949u, 950u})
            o.push_back(c);
        return o;
    }();
    return order;
}

CodePageChoice choose_code_page(const std::vector<std::string>& utf8Texts, std::uint32_t current) {
    CodePageChoice choice;
    if (format::textrecord::code_page_allowed(current) && holds_all(utf8Texts, current)) {
        choice.codePage = current;
        choice.kept = true;
        return choice;
    }
    for (std::uint32_t c : code_page_order())
        if (holds_all(utf8Texts, c)) {
            choice.codePage = c;
            return choice;
        }
    // Every character that some code page lacks, once, in the order met.
    for (const std::string& text : utf8Texts)
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t n = char_length(text, i);
            const std::string ch = text.substr(i, n);
            i += n;
            if (std::any_of(choice.clashes.begin(), choice.clashes.end(),
                            [&](const CodePageClash& c) { return c.character == ch; }))
                continue;
            CodePageClash clash{ch, code_point(ch), {}};
            for (std::uint32_t c : code_page_order())
                if (utf8_to_code_page(ch, c)) clash.holders.push_back(c);
            if (clash.holders.size() < code_page_order().size()) choice.clashes.push_back(std::move(clash));
        }
    return choice;
}

std::string clash_message(const std::vector<CodePageClash>& clashes) {
    std::string out = "no one code page holds every text:";
    const std::size_t shown = std::min<std::size_t>(clashes.size(), 8);
    for (std::size_t i = 0; i < shown; ++i) {
        const CodePageClash& c = clashes[i];
        char point[16];
        std::snprintf(point, sizeof point, "U+%04X", static_cast<unsigned>(c.codePoint));
        out += std::string(i ? ";" : "") + " \"" + c.character + "\" (" + point + ") ";
        if (c.holders.empty()) {
            out += "is in none";
            continue;
        }
        out += c.holders.size() == 1 ? "only in " : "is in ";
        for (std::size_t k = 0; k < c.holders.size(); ++k)
            out += (k ? ", " : "") + code_page_label(c.holders[k]);
    }
    if (clashes.size() > shown) out += "; and " + std::to_string(clashes.size() - shown) + " more";
    return out;
}

std::string bytes_as_text(const std::string& bytes, std::uint32_t codePage) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        std::string utf8;
        const std::size_t n = bytes[at] == '\\' ? 0 : character_at(bytes, at, codePage, &utf8);
        if (bytes[at] == '\\') {
            out += "\\\\";
            ++at;
        } else if (n == 0 || static_cast<unsigned char>(utf8[0]) < 0x20 || utf8 == "\x7f") {
            out += hex_escape(static_cast<unsigned char>(bytes[at]));
            ++at;
        } else {
            out += utf8;
            at += n;
        }
    }
    // Characters converted one by one may join differently as a whole (a
    // letter and its accent); then every byte beyond ASCII is escaped.
    std::string why;
    if (text_as_bytes(out, codePage, &why) == bytes) return out;
    out.clear();
    for (unsigned char b : bytes)
        out += b == '\\' ? "\\\\" : b >= 0x20 && b < 0x7f ? std::string(1, static_cast<char>(b)) : hex_escape(b);
    return out;
}

std::optional<std::string> text_as_bytes(const std::string& text, std::uint32_t codePage, std::string* why) {
    std::string out, run;
    const auto flush = [&]() -> bool {
        if (run.empty()) return true;
        format::EncodedText encoded = format::utf8_to_code_page(run, codePage);
        if (encoded.misfit) {
            *why = "\"" + encoded.misfit->character + "\" is not in code page " + code_page_label(codePage);
            return false;
        }
        out += encoded.bytes;
        run.clear();
        return true;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            run += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            run += '\\';
            ++i;
            continue;
        }
        const int hi = i + 3 < text.size() && text[i + 1] == 'x' ? hex_digit(text[i + 2]) : -1;
        const int lo = hi >= 0 ? hex_digit(text[i + 3]) : -1;
        if (lo < 0) {
            *why = "a backslash starts \\xNN (a byte in hexadecimal) or \\\\ (a backslash)";
            return std::nullopt;
        }
        if (!flush()) return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
        i += 3;
    }
    if (!flush()) return std::nullopt;
    return out;
}

}  // namespace sg::packtool
