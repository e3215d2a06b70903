// Shift-JIS (or a package's own code page) to UTF-8 for everything a person
// reads: the engine keeps its texts as the package's bytes, and only the host
// converts them for display.
#include "format/codepage.h"
#include "format/package_format.h"
#include "platform/sdl/sdl_host.h"

namespace pf::sdl {

std::string sjis_to_utf8(const char* text) { return code_page_to_utf8(text, 932); }

UINT package_text_code_page() {
    // Any non-null token: the package is found through the executable itself.
    auto* instance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});
    HRSRC resource = pf::FindResourceA(instance, pf::MAKEINTRESOURCEA(sg::format::PACKAGE_RESOURCE_ID),
                                       sg::format::PACKAGE_RESOURCE_TYPE);
    HGLOBAL loaded = resource ? pf::LoadResource(instance, resource) : nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(loaded ? pf::LockResource(loaded) : nullptr);
    const std::int64_t size = bytes ? pf::SizeofResource(instance, resource) : 0;
    if (size < static_cast<std::int64_t>(sizeof(sg::format::PackageDirectory)))
        return sg::format::textrecord::DEFAULT_CODE_PAGE;
    const std::int64_t at = sg::format::read_i32(bytes + 8 * sg::format::OPTIONAL1_ENTRY);
    if (at < 0 || at > size - sg::format::textrecord::SIZE) return sg::format::textrecord::DEFAULT_CODE_PAGE;
    return sg::format::text_record_code_page(bytes + at, sg::format::textrecord::SIZE);
}

// Bytes the code page does not define show as U+FFFD (format/codepage.h).
std::string code_page_to_utf8(const char* text, UINT codePage) {
    if (!text) return {};
    return sg::format::code_page_to_utf8(text, codePage).utf8;
}

}  // namespace pf::sdl
