// Surfaces and the BMP decoder.
//
// A BMP file image is untrusted: every size it states is checked against the
// bytes given (plus the 1,000 zero bytes of grace after them) before anything
// is read at an offset computed from it.
#include "scene/surface.h"

#include <cstdint>
#include <cstring>

#include "format/bmp_rules.h"
#include "format/package_format.h"

namespace sg {


namespace {

constexpr std::size_t BMP_GRACE = format::READ_GRACE_BYTES;
constexpr std::size_t FILE_HEADER_SIZE = format::BMP_FILE_HEADER_SIZE;
constexpr std::size_t INFO_HEADER_SIZE = format::BMP_INFO_HEADER_SIZE;
constexpr std::size_t HEADERS_SIZE = format::BMP_HEADERS_SIZE;

// BITMAPINFO with room for a full colour table.
struct DibInfo {
    pf::BITMAPINFOHEADER header;
    pf::RGBQUAD colors[256];
};

// Row size in bytes: rows are filled up to a multiple of 4.
std::uint64_t row_bytes(std::int64_t width, int bitCount) {
    return static_cast<std::uint64_t>((width * bitCount + 31) / 32 * 4);
}

// The information context and the memory DC around a new DIB section; false
// (with nothing left alive) when GDI refuses the bitmap.
bool build_dib(Surface* surface, const DibInfo& info) {
    pf::HDC reference = pf::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    void* bits = nullptr;
    surface->dib = pf::CreateDIBSection(reference, reinterpret_cast<const pf::BITMAPINFO*>(&info),
                                        pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    surface->bits = static_cast<pf::BYTE*>(bits);
    if (surface->dib == nullptr || bits == nullptr) {
        if (surface->dib != nullptr) pf::DeleteObject(surface->dib);
        surface->dib = nullptr;
        surface->bits = nullptr;
        pf::DeleteDC(reference);
        return false;
    }
    surface->memoryDC = pf::CreateCompatibleDC(reference);
    surface->previousObject = pf::SelectObject(surface->memoryDC, surface->dib);
    pf::DeleteDC(reference);
    return true;
}

// The DC gets its first bitmap back before it is deleted, and the DIB is
// deleted only once no DC holds it.
void release_objects(Surface* surface) {
    if (surface->previousObject != nullptr) {
        pf::SelectObject(surface->memoryDC, surface->previousObject);
        pf::DeleteDC(surface->memoryDC);
        surface->previousObject = nullptr;
        surface->memoryDC = nullptr;
    }
    if (surface->dib != nullptr) {
        pf::DeleteObject(surface->dib);
        surface->dib = nullptr;
    }
}

}  // namespace

Surface::Surface(Surface&& other) noexcept
    : initialized(other.initialized),
      fileHeader(other.fileHeader),
      infoHeader(other.infoHeader),
      stride(other.stride),
      memoryDC(other.memoryDC),
      bits(other.bits),
      dib(other.dib),
      previousObject(other.previousObject) {
    other.memoryDC = nullptr;
    other.bits = nullptr;
    other.dib = nullptr;
    other.previousObject = nullptr;
    other.initialized = 0;
}

Surface& Surface::operator=(Surface&& other) noexcept {
    if (this == &other) return *this;
    surface_release(this);
    initialized = other.initialized;
    fileHeader = other.fileHeader;
    infoHeader = other.infoHeader;
    stride = other.stride;
    memoryDC = other.memoryDC;
    bits = other.bits;
    dib = other.dib;
    previousObject = other.previousObject;
    other.memoryDC = nullptr;
    other.bits = nullptr;
    other.dib = nullptr;
    other.previousObject = nullptr;
    other.initialized = 0;
    return *this;
}

Surface::~Surface() { surface_release(this); }

void surface_reset(Surface* surface) {
    if (surface->initialized != 0) {
        release_objects(surface);
        std::memset(&surface->infoHeader, 0, sizeof surface->infoHeader);
        surface->stride = 0;
        surface->bits = nullptr;
    }
    surface->initialized = 1;
}

bool surface_create(Surface* surface, int width, int height, int bitCount) {
    surface_reset(surface);
    pf::BITMAPINFOHEADER& h = surface->infoHeader;
    h.biSize = INFO_HEADER_SIZE;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<pf::WORD>(bitCount);
    h.biCompression = pf::BI_RGB;
    h.biSizeImage = static_cast<pf::DWORD>(row_bytes(width, bitCount) * static_cast<std::uint64_t>(height));
    h.biXPelsPerMeter = 0;
    h.biYPelsPerMeter = 0;
    h.biClrUsed = 0;
    h.biClrImportant = 0;

    // A blank 8-bit surface gets an all-black table; every caller asks for 24 bits.
    static const DibInfo blank{};
    DibInfo info = blank;
    info.header = h;
    // A size GDI refuses leaves the record empty rather than half built.
    return build_dib(surface, info);
}

bool surface_load_bmp(Surface* surface, const void* image, int size, BmpRefusal* refusal) {
    BmpRefusal unused = BmpRefusal::None;
    if (refusal == nullptr) refusal = &unused;
    *refusal = BmpRefusal::None;
    const std::size_t given = (image != nullptr && size > 0) ? static_cast<std::size_t>(size) : 0;

    // Working copy with zeros after the end, so short files read as zero-filled.
    const std::size_t copySize = given + BMP_GRACE;
    auto* copy = static_cast<std::uint8_t*>(block_alloc(copySize));
    if (copy == nullptr) return false;
    if (given != 0) std::memcpy(copy, image, given);

    std::memcpy(&surface->fileHeader, copy, FILE_HEADER_SIZE);
    std::memcpy(&surface->infoHeader, copy + FILE_HEADER_SIZE, INFO_HEADER_SIZE);
    const pf::BITMAPINFOHEADER& h = surface->infoHeader;

    // The decision is the format's (the authoring tool reports the same).
    const format::BmpLayout layout = format::bmp_layout(copy, given);
    if (layout.refusal == format::BmpRefusal::NotBmp) *refusal = BmpRefusal::UnsupportedFile;
    else if (layout.refusal != format::BmpRefusal::None) *refusal = BmpRefusal::UnsupportedBmp;
    const std::uint64_t stride = layout.stride;
    const std::uint64_t pixelOffset = layout.pixelOffset;
    const std::uint64_t colorCount = layout.colorCount;
    if (*refusal != BmpRefusal::None) {
        surface->bits = nullptr;
        block_free(copy);
        return false;
    }

    // The DIB gets the file's header taken as 40 bytes long, whatever its size field
    // says, and a local colour table: entries the file does not have stay black.
    static const DibInfo blank{};
    DibInfo info = blank;
    info.header = h;
    info.header.biSize = INFO_HEADER_SIZE;
    info.header.biSizeImage = static_cast<pf::DWORD>(stride * static_cast<std::uint64_t>(h.biHeight));
    if (h.biBitCount == 8) {
        std::memcpy(info.colors, copy + HEADERS_SIZE, static_cast<std::size_t>(4 * colorCount));
    } else {
        info.header.biClrUsed = 0;
    }
    if (!build_dib(surface, info)) {
        block_free(copy);
        return false;
    }
    surface->stride = static_cast<pf::LONG>(stride);

    // GDI may still be drawing into DIB memory from its batch: finish that first.
    pf::GdiFlush();
    std::memcpy(surface->bits, copy + pixelOffset,
                static_cast<std::size_t>(stride * static_cast<std::uint64_t>(h.biHeight)));
    block_free(copy);
    return true;
}

void surface_release(Surface* surface) {
    release_objects(surface);
    if (surface->initialized != 0) surface_reset(surface);
}

int surface_width(const Surface* surface) { return surface->infoHeader.biWidth; }
int surface_height(const Surface* surface) { return surface->infoHeader.biHeight; }
int surface_stride(const Surface* surface) { return surface->stride; }

void* block_alloc(std::size_t bytes) {
    pf::HGLOBAL block = pf::GlobalAlloc(pf::GMEM_MOVEABLE | pf::GMEM_ZEROINIT, bytes);
    if (block == nullptr) return nullptr;
    void* pointer = pf::GlobalLock(block);
    if (pointer == nullptr) pf::GlobalFree(block);
    return pointer;
}

int block_free(void* block) {
    if (block == nullptr) return 1;
    pf::HGLOBAL handle = pf::GlobalHandle(block);
    if (handle == nullptr) return 0;
    pf::GlobalUnlock(handle);
    return pf::GlobalFree(handle) == nullptr ? 1 : 0;
}

}  // namespace sg
