// Shift-JIS (or a package's own code page) to UTF-8 for everything a person
// reads: the engine keeps its texts as the package's bytes, and only the host
// converts them for display.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/sdl/host_state.h"

namespace pf::sdl {

namespace {

// glibc knows every Windows ANSI code page as "CP<n>"; other iconvs may
// spell them "WINDOWS-<n>" (874 also "TIS-620", 932 "SHIFT_JIS").
iconv_t open_from(UINT codePage) {
    char name[32];
    std::snprintf(name, sizeof name, "CP%u", codePage);
    iconv_t cd = iconv_open("UTF-8", name);
    if (cd != reinterpret_cast<iconv_t>(-1)) return cd;
    std::snprintf(name, sizeof name, "WINDOWS-%u", codePage);
    cd = iconv_open("UTF-8", name);
    if (cd != reinterpret_cast<iconv_t>(-1)) return cd;
    if (codePage == 874) return iconv_open("UTF-8", "TIS-620");
    if (codePage == 932) return iconv_open("UTF-8", "SHIFT_JIS");
    return cd;
}

}  // namespace

std::string sjis_to_utf8(const char* text) { return code_page_to_utf8(text, 932); }

void set_title_code_page(UINT codePage) { detail::host().titleCodePage = codePage; }

std::string code_page_to_utf8(const char* text, UINT codePage) {
    if (!text) return {};
    std::size_t length = std::strlen(text);
    iconv_t cd = open_from(codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter at all: keep ASCII, mark the rest.
        std::string out;
        for (std::size_t i = 0; i < length; ++i)
            out += (static_cast<unsigned char>(text[i]) < 0x80) ? text[i] : '?';
        return out;
    }
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(text);  // iconv's signature; the input is not written
    std::size_t inLeft = length;
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL (a lead byte at the very end): skip one byte.
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace pf::sdl
