#include "format/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace sg::format {

namespace {

constexpr char REPLACEMENT[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// One open iconv conversion between UTF-8 and a Windows code page. glibc
// knows every Windows ANSI code page as "CP<n>"; other iconvs may spell them
// "WINDOWS-<n>" (874 also "TIS-620", 932 "SHIFT_JIS").
class Converter {
public:
    Converter(std::uint32_t codePage, bool toUtf8) {
        char name[32];
        std::snprintf(name, sizeof name, "CP%u", static_cast<unsigned>(codePage));
        if (open(name, toUtf8)) return;
        std::snprintf(name, sizeof name, "WINDOWS-%u", static_cast<unsigned>(codePage));
        if (open(name, toUtf8)) return;
        if (codePage == 874) open("TIS-620", toUtf8);
        if (codePage == 932) open("SHIFT_JIS", toUtf8);
    }
    ~Converter() {
        if (*this) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    explicit operator bool() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts from *in as far as it can; on return *in is where it stopped:
    // the end, or the first byte it could not convert.
    bool run(const char*& in, std::size_t& left, std::string& out) {
        char buffer[256];
        // iconv's signature takes char**; the input is not written.
        char* from = const_cast<char*>(in);
        while (left > 0) {
            char* to = buffer;
            std::size_t room = sizeof buffer;
            const std::size_t r = iconv(cd_, &from, &left, &to, &room);
            out.append(buffer, static_cast<std::size_t>(to - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                in = from;
                flush(out);
                return false;
            }
        }
        in = from;
        flush(out);
        return true;
    }

private:
    // Writes out what the converter still holds (code pages 1255 and 1258
    // keep a letter back until they know whether an accent joins it), and
    // starts afresh.
    void flush(std::string& out) {
        char buffer[16];
        char* to = buffer;
        std::size_t room = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &to, &room);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }

    bool open(const char* name, bool toUtf8) {
        cd_ = toUtf8 ? iconv_open("UTF-8", name) : iconv_open(name, "UTF-8");
        return static_cast<bool>(*this);
    }

    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

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

// The character of utf8 that starts at byte `at`, and its place; a
// sequence cut short or with a wrong continuation byte is its lead byte.
CodePageMisfit misfit_at(std::string_view utf8, std::size_t at) {
    CodePageMisfit m;
    std::size_t i = 0;
    for (; i < at; ++m.position) i += std::min(sequence_length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
    ++m.position;
    std::size_t n = sequence_length(static_cast<unsigned char>(utf8[at]));
    bool whole = n <= utf8.size() - at;
    for (std::size_t k = 1; whole && k < n; ++k) whole = (static_cast<unsigned char>(utf8[at + k]) & 0xC0) == 0x80;
    if (!whole) n = 1;
    m.character = std::string(utf8.substr(at, n));
    m.codePoint = code_point(m.character);
    return m;
}

}  // namespace

DecodedText code_page_to_utf8(std::string_view bytes, std::uint32_t codePage) {
    DecodedText d;
    Converter cd(codePage, true);
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        if (cd) {
            if (cd.run(in, left, d.utf8)) break;
        } else if (static_cast<unsigned char>(*in) < 0x80) {
            // Without a converter only ASCII, which every Windows code page
            // shares, is known.
            d.utf8 += *in;
            ++in;
            --left;
            continue;
        }
        // *in does not begin a character of the code page.
        d.utf8 += REPLACEMENT;
        ++d.replaced;
        ++in;
        --left;
    }
    return d;
}

EncodedText utf8_to_code_page(std::string_view utf8, std::uint32_t codePage) {
    EncodedText e;
    Converter cd(codePage, false);
    const char* in = utf8.data();
    std::size_t left = utf8.size();
    bool whole = true;
    if (cd) {
        whole = cd.run(in, left, e.bytes);
    } else {
        for (; left > 0 && static_cast<unsigned char>(*in) < 0x80; ++in, --left) e.bytes += *in;
        whole = left == 0;
    }
    if (!whole) {
        e.bytes.clear();
        e.misfit = misfit_at(utf8, static_cast<std::size_t>(in - utf8.data()));
    }
    return e;
}

}  // namespace sg::format
