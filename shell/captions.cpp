#include "shell/captions.h"

#include "format/package_format.h"

namespace sg {

namespace {

const char* const CAPTION_VERSION_INFO = "\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x8f\xee\x95\xf1";
const char* const CAPTION_BAD_ARGUMENT = "\x96\xb3\x8c\xf8\x82\xc8\x88\xf8\x90\x94";

bool japanese(std::uint32_t textCodePage) { return textCodePage == format::textrecord::DEFAULT_CODE_PAGE; }

}  // namespace

const char* about_caption(std::uint32_t textCodePage) {
    return japanese(textCodePage) ? CAPTION_VERSION_INFO : "About";
}

const char* bad_argument_caption(std::uint32_t textCodePage) {
    return japanese(textCodePage) ? CAPTION_BAD_ARGUMENT : "Invalid argument";
}

}  // namespace sg
