// Surfaces: a DIB section with directly addressable bottom-up rows, selected
// into a memory DC. A Surface owns its bitmap and DC: it moves but is never
// copied, and releases them when it is released, reset or destroyed. Whatever
// draws from a surface it does not own holds a `const Surface*` view, valid
// as long as the owner is.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace sg {

// The colour table of an 8-bit picture is needed only while the loader builds
// the DIB (which keeps its own copy), so it is not part of the record.
struct Surface {
    pf::LONG initialized = 0;
    pf::BITMAPFILEHEADER fileHeader{};
    pf::BITMAPINFOHEADER infoHeader{};
    pf::LONG stride = 0;
    pf::HDC memoryDC = nullptr;
    pf::BYTE* bits = nullptr;
    pf::HBITMAP dib = nullptr;
    pf::HGDIOBJ previousObject = nullptr;

    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    Surface(Surface&& other) noexcept;
    Surface& operator=(Surface&& other) noexcept;
    ~Surface();
};

// Why the loader refused a file image.
enum class BmpRefusal { None, UnsupportedFile, UnsupportedBmp };

// Releases what a live surface holds (its DIB, and its DC with the DC's
// first bitmap selected back) and leaves an empty record ready for use.
void surface_reset(Surface* surface);
// A blank surface; false (and an empty record) when GDI refuses the size.
bool surface_create(Surface* surface, int width, int height, int bitCount);
// Decodes a BMP file image (untrusted) into the surface. False when the
// image is refused (*refusal, when asked for, says why, for the caller to
// report; None when only GDI or memory failed) or its DIB cannot be made.
bool surface_load_bmp(Surface* surface, const void* image, int size,
                      BmpRefusal* refusal = nullptr);
void surface_release(Surface* surface);
int surface_width(const Surface* surface);
int surface_height(const Surface* surface);
int surface_stride(const Surface* surface);

void* block_alloc(std::size_t bytes);
int block_free(void* block);

// Texts of the loader's refusals (Shift-JIS) and their caption, and the one
// that goes with a refusal.
// "未対応のファイル形式です。"
inline constexpr char MSG_UNSUPPORTED_FILE[] =
    "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x8c\x60\x8e\xae\x82\xc5"
    "\x82\xb7\x81\x42";
// "未対応のＢＭＰファイル形式です。"
inline constexpr char MSG_UNSUPPORTED_BMP[] =
    "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x82\x61\x82\x6c\x82\x6f\x83\x74\x83\x40\x83\x43\x83\x8b"
    "\x8c\x60\x8e\xae\x82\xc5\x82\xb7\x81\x42";
inline constexpr char CAPTION_ERROR[] = "Error";
inline const char* bmp_refusal_text(BmpRefusal refusal) {
    return refusal == BmpRefusal::UnsupportedFile ? MSG_UNSUPPORTED_FILE : MSG_UNSUPPORTED_BMP;
}

}  // namespace sg
