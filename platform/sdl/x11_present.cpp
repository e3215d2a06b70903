// Presenting on X11 straight from the engine's framebuffer, one band of rows
// at a time, on SDL's own connection (so it is ordered with SDL's requests).
//
// SDL's window surface is a second copy of the whole window in the server's
// pixel format (8 MiB of shared memory at 1920 x 1080), kept only to be
// copied from; the framebuffer already holds the window's picture. Here only
// a band of at most BAND_PIXELS is converted and sent, so that memory is not
// needed at all.
//
// What it cannot do: draw into a window whose visual is not true or direct
// colour with 8-bit red, green and blue fields in 32-bit pixels (the usual 24- and 32-bit
// depths are), or a window that is not an X11 window. put_rects() says so by
// returning false, and the caller uses SDL's window surface instead.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/sdl/sdl_host.h"

namespace pf::sdl {

namespace {

constexpr int BAND_PIXELS = 32 * 1024;  // 128 KiB a request: within the core protocol's limit

struct Target {
    SDL_Window* sdl = nullptr;
    bool usable = false;
    Display* display = nullptr;
    ::Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    int redShift = 0, greenShift = 0, blueShift = 0;
    std::uint32_t fixedBits = 0;  // alpha of a 32-bit visual: opaque
};

std::vector<Target> targets;
std::vector<std::uint32_t> band;

// The shift of an 8-bit colour field, or -1 when the mask is something else.
int field_shift(unsigned long mask) {
    for (int shift = 0; shift <= 24; shift += 8)
        if (mask == (0xFFul << shift)) return shift;
    return -1;
}

int bits_per_pixel(Display* display, int depth) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    int bpp = 0;
    for (int i = 0; formats && i < count; ++i)
        if (formats[i].depth == depth) bpp = formats[i].bits_per_pixel;
    if (formats) XFree(formats);
    return bpp;
}

Target examine(SDL_Window* sdl) {
    Target t;
    t.sdl = sdl;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return t;
    t.display = info.info.x11.display;
    t.window = info.info.x11.window;
    XWindowAttributes attributes;
    if (!t.display || !t.window || !XGetWindowAttributes(t.display, t.window, &attributes)) return t;
    Visual* v = attributes.visual;
    t.redShift = field_shift(v->red_mask);
    t.greenShift = field_shift(v->green_mask);
    t.blueShift = field_shift(v->blue_mask);
    // A direct-colour visual takes the same pixel values (SDL gives its own
    // windows of one an identity colour map, and writes the same values).
    if ((v->c_class != TrueColor && v->c_class != DirectColor) || t.redShift < 0 || t.greenShift < 0 || t.blueShift < 0 ||
        (attributes.depth != 24 && attributes.depth != 32) ||
        bits_per_pixel(t.display, attributes.depth) != 32)
        return t;
    t.visual = v;
    t.depth = attributes.depth;
    if (t.depth == 32) t.fixedBits = ~std::uint32_t(v->red_mask | v->green_mask | v->blue_mask);
    t.gc = XCreateGC(t.display, t.window, 0, nullptr);
    t.usable = t.gc != nullptr;
    return t;
}

Target& target_for(SDL_Window* sdl) {
    for (Target& t : targets)
        if (t.sdl == sdl) return t;
    targets.push_back(examine(sdl));
    return targets.back();
}

void put_band(const Target& t, const soft::Framebuffer& fb, int x, int y, int w, int h) {
    std::uint32_t* out = band.data();
    for (int row = y; row < y + h; ++row) {
        // Framebuffer rows run bottom-up; the window's top-down.
        const std::uint8_t* p = fb.pixels.data() + std::size_t(fb.height - 1 - row) * fb.stride + std::size_t(x) * 3;
        for (int i = 0; i < w; ++i, p += 3)
            *out++ = (std::uint32_t(p[2]) << t.redShift) | (std::uint32_t(p[1]) << t.greenShift) |
                     (std::uint32_t(p[0]) << t.blueShift) | t.fixedBits;
    }
    XImage* image = XCreateImage(t.display, t.visual, unsigned(t.depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(band.data()), unsigned(w), unsigned(h), 32, w * 4);
    if (!image) return;
    // The pixels are in this machine's byte order; Xlib swaps them if the
    // server's differs.
    const std::uint16_t probe = 1;
    image->byte_order = *reinterpret_cast<const std::uint8_t*>(&probe) == 1 ? LSBFirst : MSBFirst;
    XPutImage(t.display, t.window, t.gc, image, 0, 0, x, y, unsigned(w), unsigned(h));
    image->data = nullptr;  // ours, not Xlib's to free
    XDestroyImage(image);
}

}  // namespace

bool x11_can_put(SDL_Window* sdl) { return sdl && target_for(sdl).usable; }

bool x11_put_rects(SDL_Window* sdl, const soft::Framebuffer& fb, const RECT* rects, int count) {
    if (!sdl) return false;
    const Target& t = target_for(sdl);
    if (!t.usable) return false;
    if (fb.width <= 0 || fb.height <= 0 || fb.pixels.size() < std::size_t(fb.stride) * fb.height) return true;
    int windowWidth = 0, windowHeight = 0;
    SDL_GetWindowSize(sdl, &windowWidth, &windowHeight);
    const int maxW = std::min(fb.width, windowWidth), maxH = std::min(fb.height, windowHeight);
    const RECT whole{0, 0, fb.width, fb.height};
    if (!rects) {
        rects = &whole;
        count = 1;
    }
    for (int i = 0; i < count; ++i) {
        const int l = std::max<int>(rects[i].left, 0), top = std::max<int>(rects[i].top, 0);
        const int r = std::min<int>(rects[i].right, maxW), b = std::min<int>(rects[i].bottom, maxH);
        if (r <= l || b <= top) continue;
        const int w = r - l;
        const int rowsPerBand = std::max(1, BAND_PIXELS / w);
        band.resize(std::size_t(w) * std::size_t(std::min(rowsPerBand, b - top)));
        for (int y = top; y < b; y += rowsPerBand) put_band(t, fb, l, y, w, std::min(rowsPerBand, b - y));
    }
    XFlush(t.display);
    return true;
}

void x11_forget_window(SDL_Window* sdl) {
    auto it = std::find_if(targets.begin(), targets.end(), [&](const Target& t) { return t.sdl == sdl; });
    if (it == targets.end()) return;
    if (it->gc) XFreeGC(it->display, it->gc);
    targets.erase(it);
    if (targets.empty()) std::vector<std::uint32_t>().swap(band);
}

}  // namespace pf::sdl
