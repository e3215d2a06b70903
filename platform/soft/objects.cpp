// The software GDI's objects: information and memory DCs, DIB sections held
// in ordinary memory, stock objects, and window DCs over a Framebuffer.
//
// Handles are pointers to the records below, but nothing is dereferenced
// before the handle is found in the table of live objects, so a stale or
// foreign handle fails the call the way GDI fails it instead of crashing.
//
// Deleting a bitmap that is still selected succeeds, as it does in GDI: the
// handle is gone at once, the pixels stay with the DC until it lets go of them.
#include <cstdlib>
#include <cstring>
#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <unordered_set>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/soft/gdi_internal.h"
#include "platform/soft/soft.h"

namespace pf::soft {
namespace {

// Larger pixel memory than this is refused, as GDI refuses what it cannot map.
constexpr std::int64_t kMaxDibBytes = std::int64_t{1} << 30;
constexpr int kWhiteBrush = 0;

struct Dc;

enum class ObjectKind { Bitmap, Brush };

struct Object {
    ObjectKind kind;
    bool stock;
    int width;
    int height;
    int bitCount;
    int stride;
    std::uint8_t* bits;  // null for the stock bitmap and brushes
    int colorCount;
    RGBQUAD colors[256];
    Dc* selectedIn;  // a DIB can be selected into one DC at a time
    bool deleted;    // DeleteObject came while selected: freed when deselected
};

enum class DcKind { Info, Memory, Window };

struct Dc {
    DcKind kind;
    Object* bitmap;  // memory DCs: never null, the stock bitmap when nothing else
    Object* brush;
    Framebuffer* frame;  // window DCs
    std::vector<RECT> drawn;
};

Object make_stock(ObjectKind kind, int width, int height, int bitCount) {
    Object o{};
    o.kind = kind;
    o.stock = true;
    o.width = width;
    o.height = height;
    o.bitCount = bitCount;
    return o;
}

// A fresh memory DC holds a 1x1 monochrome bitmap, as on Windows; it has no
// pixels this backend draws, so blits through it do nothing.
Object stockBitmap = make_stock(ObjectKind::Bitmap, 1, 1, 1);
Object blackBrush = make_stock(ObjectKind::Brush, 0, 0, 0);
Object whiteBrush = make_stock(ObjectKind::Brush, 0, 0, 0);

struct Table {
    std::unordered_set<const void*> dcs;
    std::unordered_set<const void*> objects;
    int alive = 0;  // DIB sections + information/memory DCs
    // A tick's blits name the same few DCs hundreds of times: the last ones
    // found are kept here. Emptied whenever any DC goes, so that a stale
    // handle (or a new DC at a freed address) is always looked up afresh.
    const void* recentDcs[4] = {};
    unsigned nextRecent = 0;
};

Table& table() {
    static Table t;
    return t;
}

Dc* find_dc(HDC handle) {
    if (handle == nullptr) return nullptr;
    Table& t = table();
    for (const void* recent : t.recentDcs)
        if (recent == handle) return reinterpret_cast<Dc*>(handle);
    if (t.dcs.count(handle) == 0) return nullptr;
    t.recentDcs[t.nextRecent++ % 4] = handle;
    return reinterpret_cast<Dc*>(handle);
}

void forget_dc(Dc* dc) {
    Table& t = table();
    t.dcs.erase(dc);
    for (const void*& recent : t.recentDcs) recent = nullptr;
}

Object* find_object(HGDIOBJ handle) {
    if (handle == nullptr) return nullptr;
    if (handle == reinterpret_cast<HGDIOBJ>(&stockBitmap)) return &stockBitmap;
    if (handle == reinterpret_cast<HGDIOBJ>(&blackBrush)) return &blackBrush;
    if (handle == reinterpret_cast<HGDIOBJ>(&whiteBrush)) return &whiteBrush;
    if (table().objects.count(handle) == 0) return nullptr;
    return reinterpret_cast<Object*>(handle);
}

// Screen-sized pixel memory is written whole right after it is made. On
// Linux its 2 MiB-aligned interior asks for huge pages: a few page faults
// instead of one per 4 KiB, which is most of the start-up time in a virtual
// machine. The ends keep small pages, so the resident size stays what the
// pixels need. Only a hint: the kernel may refuse it. (Unused where there
// are no huge pages, as in the browser.)
[[maybe_unused]] constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

void advise_huge_pages(void* memory, std::size_t bytes) {
#if defined(__linux__)
    const auto begin = reinterpret_cast<std::uintptr_t>(memory);
    const std::uintptr_t first = (begin + kHugePage - 1) / kHugePage * kHugePage;
    const std::uintptr_t last = (begin + bytes) / kHugePage * kHugePage;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)memory;
    (void)bytes;
#endif
}

// Zero-filled pixel memory; large blocks aligned so that all of it but the
// tail can be huge pages.
std::uint8_t* allocate_pixels(std::size_t bytes) {
#if defined(__linux__)
    if (bytes >= kHugePage) {
        void* memory = nullptr;
        if (posix_memalign(&memory, kHugePage, bytes) != 0) return nullptr;
        advise_huge_pages(memory, bytes);
        std::memset(memory, 0, bytes);
        return static_cast<std::uint8_t*>(memory);
    }
#endif
    return static_cast<std::uint8_t*>(std::calloc(bytes, 1));
}

void free_bitmap(Object* o) {
    std::free(o->bits);
    delete o;
}

// The DC lets go of its bitmap.
void deselect(Dc* dc) {
    Object* o = dc->bitmap;
    if (o == nullptr || o->stock) return;
    o->selectedIn = nullptr;
    if (o->deleted) free_bitmap(o);
}

HDC register_dc(Dc* dc, bool counted) {
    table().dcs.insert(dc);
    if (counted) ++table().alive;
    return reinterpret_cast<HDC>(dc);
}

bool equals_ignoring_case(const char* a, const char* b) {
    for (; *a != 0 && *b != 0; ++a, ++b) {
        char ca = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 32) : *a;
        char cb = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 32) : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

void fill_view(const Object& o, detail::PixelView* out) {
    out->width = o.width;
    out->height = o.height;
    out->bitCount = o.bitCount;
    out->stride = o.stride;
    out->bits = o.bits;
    out->colors = o.colors;
    out->colorCount = o.colorCount;
}

detail::Access view_of(HDC handle, detail::PixelView* out, bool asSource) {
    Dc* dc = find_dc(handle);
    if (dc == nullptr || dc->kind == DcKind::Info) return detail::Access::Invalid;
    if (dc->kind == DcKind::Window) {
        const Framebuffer* f = dc->frame;
        if (f == nullptr || f->width < 0 || f->height < 0 ||
            std::int64_t{f->stride} < std::int64_t{f->width} * 3 ||
            f->pixels.size() < static_cast<std::size_t>(std::int64_t{f->stride} * f->height))
            return detail::Access::Invalid;
        out->width = f->width;
        out->height = f->height;
        out->bitCount = 24;
        out->stride = f->stride;
        out->bits = const_cast<std::uint8_t*>(f->pixels.data());
        out->colors = nullptr;
        out->colorCount = 0;
        return detail::Access::Pixels;
    }
    const Object& bitmap = *dc->bitmap;
    if (bitmap.stock) return detail::Access::Nothing;
    if (bitmap.bitCount != 24 && !(asSource && bitmap.bitCount == 8))
        return detail::Access::Invalid;
    fill_view(bitmap, out);
    return detail::Access::Pixels;
}

}  // namespace

void Framebuffer::resize(int w, int h) {
    width = w > 0 ? w : 0;
    height = h > 0 ? h : 0;
    stride = (width * 3 + 3) / 4 * 4;
    const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    // Fresh memory, advised before the zeros touch it (see advise_huge_pages).
    std::vector<std::uint8_t>().swap(pixels);
    pixels.reserve(bytes);
    soft::advise_huge_pages(pixels.data(), bytes);
    pixels.resize(bytes);
}

HDC window_dc_create(Framebuffer* target) {
    if (target == nullptr) return nullptr;
    Dc* dc = new Dc{DcKind::Window, nullptr, &whiteBrush, target, {}};
    return register_dc(dc, false);
}

std::vector<RECT> window_dc_take_drawn(HDC handle) {
    Dc* dc = find_dc(handle);
    if (dc == nullptr || dc->kind != DcKind::Window) return {};
    return std::exchange(dc->drawn, {});
}

void window_dc_delete(HDC handle) {
    Dc* dc = find_dc(handle);
    if (dc == nullptr || dc->kind != DcKind::Window) return;
    forget_dc(dc);
    delete dc;
}

int live_gdi_objects() { return table().alive; }

bool dib_view(HDC handle, DibView* out) {
    Dc* dc = find_dc(handle);
    if (out == nullptr || dc == nullptr || dc->kind != DcKind::Memory || dc->bitmap->stock)
        return false;
    *out = DibView{dc->bitmap->width, dc->bitmap->height, dc->bitmap->bitCount,
                   dc->bitmap->stride, dc->bitmap->bits};
    return true;
}

namespace detail {

Access target_view(HDC dc, PixelView* out) { return view_of(dc, out, false); }
Access source_view(HDC dc, PixelView* out) { return view_of(dc, out, true); }

void note_drawn(HDC handle, int x, int y, int width, int height) {
    Dc* dc = find_dc(handle);
    if (dc == nullptr || dc->kind != DcKind::Window || width <= 0 || height <= 0) return;
    dc->drawn.push_back(RECT{x, y, x + width, y + height});
}

}  // namespace detail
}  // namespace pf::soft

namespace pf {

using soft::Dc;
using soft::DcKind;
using soft::Object;
using soft::ObjectKind;

HDC CreateICA(const char* driver, const char*, const char*, const void*) {
    if (driver == nullptr || !soft::equals_ignoring_case(driver, "DISPLAY")) return nullptr;
    return soft::register_dc(new Dc{DcKind::Info, nullptr, &soft::whiteBrush, nullptr, {}}, true);
}

HDC CreateCompatibleDC(HDC reference) {
    if (reference != nullptr && soft::find_dc(reference) == nullptr) return nullptr;
    return soft::register_dc(
        new Dc{DcKind::Memory, &soft::stockBitmap, &soft::whiteBrush, nullptr, {}}, true);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
    if (bits != nullptr) *bits = nullptr;
    if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    // Only the plain and the later (V4, V5) info headers; the colour table follows
    // the header at biSize bytes, as GDI reads it.
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 124) return nullptr;
    if (h.biPlanes != 1 || h.biCompression != BI_RGB) return nullptr;
    if (h.biBitCount != 8 && h.biBitCount != 24) return nullptr;
    if (h.biWidth <= 0 || h.biHeight <= 0) return nullptr;

    const std::int64_t stride = (std::int64_t{h.biWidth} * h.biBitCount + 31) / 32 * 4;
    const std::int64_t bytes = stride * h.biHeight;
    if (bytes > soft::kMaxDibBytes) return nullptr;

    std::uint8_t* pixels = soft::allocate_pixels(static_cast<std::size_t>(bytes));
    if (pixels == nullptr) return nullptr;
    auto* o = new Object{};
    o->kind = ObjectKind::Bitmap;
    o->width = h.biWidth;
    o->height = h.biHeight;
    o->bitCount = h.biBitCount;
    o->stride = static_cast<int>(stride);
    o->bits = pixels;
    if (h.biBitCount == 8) {
        o->colorCount = (h.biClrUsed == 0 || h.biClrUsed > 256) ? 256 : static_cast<int>(h.biClrUsed);
        const auto* table = reinterpret_cast<const std::uint8_t*>(info) + h.biSize;
        std::memcpy(o->colors, table, sizeof(RGBQUAD) * static_cast<std::size_t>(o->colorCount));
    }
    soft::table().objects.insert(o);
    ++soft::table().alive;
    if (bits != nullptr) *bits = pixels;
    return reinterpret_cast<HBITMAP>(o);
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    Dc* dc = soft::find_dc(handle);
    Object* o = soft::find_object(object);
    if (dc == nullptr || o == nullptr) return nullptr;
    if (o->kind == ObjectKind::Brush) {
        Object* previous = dc->brush;
        dc->brush = o;
        return reinterpret_cast<HGDIOBJ>(previous);
    }
    // Bitmaps go only into memory DCs, and a DIB only into one DC at a time.
    if (dc->kind != DcKind::Memory) return nullptr;
    if (!o->stock && o->selectedIn != nullptr && o->selectedIn != dc) return nullptr;
    Object* previous = dc->bitmap;
    if (previous == o) return object;
    soft::deselect(dc);
    dc->bitmap = o;
    if (!o->stock) o->selectedIn = dc;
    return reinterpret_cast<HGDIOBJ>(previous);
}

BOOL DeleteDC(HDC handle) {
    Dc* dc = soft::find_dc(handle);
    if (dc == nullptr || dc->kind == DcKind::Window) return 0;  // window DCs go back by ReleaseDC
    soft::deselect(dc);
    soft::forget_dc(dc);
    --soft::table().alive;
    delete dc;
    return 1;
}

BOOL DeleteObject(HGDIOBJ object) {
    Object* o = soft::find_object(object);
    if (o == nullptr) return 0;
    if (o->stock) return 1;
    soft::table().objects.erase(o);
    --soft::table().alive;
    if (o->selectedIn != nullptr)
        o->deleted = true;
    else
        soft::free_bitmap(o);
    return 1;
}

HGDIOBJ GetStockObject(int which) {
    if (which == BLACK_BRUSH) return reinterpret_cast<HGDIOBJ>(&soft::blackBrush);
    if (which == soft::kWhiteBrush) return reinterpret_cast<HGDIOBJ>(&soft::whiteBrush);
    return nullptr;
}

// Pixel memory is written at once; there is no batch to flush.
BOOL GdiFlush() { return 1; }

int diagnostics::gdi_objects_alive() { return soft::live_gdi_objects(); }

}  // namespace pf
