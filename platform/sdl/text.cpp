// Shift-JIS (or a package's own code page) to UTF-8 for everything a person
// reads: the engine keeps its texts as the package's bytes, and only the host
// converts them for display.
#include "format/codepage.h"
#include "platform/sdl/host_state.h"

namespace pf::sdl {

std::string sjis_to_utf8(const char* text) { return code_page_to_utf8(text, 932); }

void set_title_code_page(UINT codePage) { detail::host().titleCodePage = codePage; }

// Bytes the code page does not define show as U+FFFD (format/codepage.h).
std::string code_page_to_utf8(const char* text, UINT codePage) {
    if (!text) return {};
    return sg::format::code_page_to_utf8(text, codePage).utf8;
}

}  // namespace pf::sdl
