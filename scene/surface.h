// Surfaces: a DIB section with directly addressable bottom-up rows, selected
// into a memory DC. A Surface is a plain value: byte copies borrow the owner's
// bitmap and DC and are never released themselves.
#pragma once

#include "platform/platform.h"

namespace sg {

// The colour table of an 8-bit picture is needed only while the loader builds
// the DIB (which keeps its own copy), so it is not part of the record: the slot
// table holds 1,000 copies of these records per frame set.
struct Surface {
    pf::LONG initialized;
    pf::BITMAPFILEHEADER fileHeader;
    pf::BITMAPINFOHEADER infoHeader;
    pf::LONG stride;
    pf::HDC memoryDC;
    pf::BYTE* bits;
    pf::HBITMAP dib;
    pf::HGDIOBJ previousObject;
};

int surface_reset(Surface* surface);
int surface_create(Surface* surface, int width, int height, int bitCount);
int surface_load_bmp(Surface* surface, const void* image, int size);
int surface_release(Surface* surface);
int surface_width(const Surface* surface);
int surface_height(const Surface* surface);
int surface_stride(const Surface* surface);

void* block_alloc(std::size_t bytes);
int block_free(void* block);

// Texts of the loader's refusals (Shift-JIS) and their caption.
// "未対応のファイル形式です。"
inline constexpr char MSG_UNSUPPORTED_FILE[] =
    "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x8c\x60\x8e\xae\x82\xc5"
    "\x82\xb7\x81\x42";
// "未対応のＢＭＰファイル形式です。"
inline constexpr char MSG_UNSUPPORTED_BMP[] =
    "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x82\x61\x82\x6c\x82\x6f\x83\x74\x83\x40\x83\x43\x83\x8b"
    "\x8c\x60\x8e\xae\x82\xc5\x82\xb7\x81\x42";
inline constexpr char CAPTION_ERROR[] = "Error";

}  // namespace sg
