// The captions of the boxes the shell shows. A package without a code page
// record is Japanese and keeps the Japanese captions; one that names another
// code page is shown with English ones. Captions are plain Shift-JIS (ASCII
// for the English ones), as the message box calls take them.
#pragma once

#include <cstdint>

namespace sg {

// "バージョン情報", or "About".
const char* about_caption(std::uint32_t textCodePage);
// "無効な引数", or "Invalid argument".
const char* bad_argument_caption(std::uint32_t textCodePage);

}  // namespace sg
