// Presenting on X11 straight from the engine's framebuffer, on SDL's own
// connection (so it is ordered with SDL's requests).
//
// SDL's window surface is a second copy of the whole window in the server's
// pixel format (8 MiB at 1920 x 1080), kept only to be copied from; the
// framebuffer already holds the window's picture. Here each tick's
// rectangles are merged where that sends fewer bytes (rect_merge.h), and only
// what is sent is converted:
//  - through MIT-SHM when the server offers it: the pixels go into a small
//    shared segment used as a ring, and each rectangle is one XShmPutImage
//    naming its place in it, all flushed at once; nothing is copied through
//    the socket. The ring is waited on (XSync) only when it wraps.
//  - otherwise with XPutImage, one band of at most BAND_PIXELS at a time.
// SNOWGLOBE_NO_SHM=1 in the environment takes the second way on any server.
//
// What it cannot do: draw into a window whose visual is not true or direct
// colour with 8-bit red, green and blue fields in 32-bit pixels (the usual 24- and 32-bit
// depths are), or a window that is not an X11 window. put_rects() says so by
// returning false, and the caller uses SDL's window surface instead.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/sdl/rect_merge.h"
#include "platform/sdl/sdl_host.h"

namespace pf::sdl {

namespace {

constexpr int BAND_PIXELS = 32 * 1024;  // 128 KiB a request: within the core protocol's limit
// The shared ring: a tick of the default scene at 1920 x 1080 sends about
// 0.5 MiB, so it is waited on about once a tick. Its pages count in the
// program's resident memory, which is why it is not window-sized (and not
// larger: 1 MiB took the default scene past 40 MiB).
constexpr std::size_t SHM_BYTES = std::size_t(512) << 10;
// What one request more is worth in pixels when merging: an XPutImage is a
// write to the socket of its own; shared-memory requests are queued together.
constexpr std::int64_t PUT_REQUEST_PIXELS = 1024;
constexpr std::int64_t SHM_REQUEST_PIXELS = 64;

// The boxes the last present sent or found unchanged, with a copy of their
// framebuffer bytes (those that fit in LAST_SENT_BYTES). A box at exactly
// the same place whose bytes are the same again is on the screen already: a
// sprite that stands still is drawn again by every tick, and sent by none.
// Only the previous present's boxes count, and any present of the whole
// window starts over, so the screen always holds what a kept copy says.
constexpr std::size_t LAST_SENT_BYTES = 64 * 1024;
constexpr std::size_t LAST_SENT_BOXES = 128;  // more, and looking them up costs more than it saves

struct LastSent {
    const std::uint8_t* pixels = nullptr;  // the framebuffer they were taken from, and its shape
    int width = 0, height = 0, stride = 0;
    std::vector<Box> boxes;
    std::vector<std::size_t> offsets;  // of each box's bytes in store
    std::vector<std::uint8_t> store;
};

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
    LastSent last;
};

// The shared segment, attached to SDL's display while any window is drawn.
struct Shared {
    Display* display = nullptr;
    bool tried = false;
    bool attached = false;
    XShmSegmentInfo info{};
    XImage* shape = nullptr;  // an image of the segment: depth, format, byte order
    std::size_t used = 0;     // bytes of the ring handed to the server since it was last waited on
};

struct Presenter {
    std::vector<Target> targets;
    std::vector<std::uint32_t> band;
    Shared shm;
};

Presenter presenter;

bool shmFailed = false;
int on_shm_error(Display*, XErrorEvent*) {
    shmFailed = true;
    return 0;
}

bool shm_disabled() {
    const char* v = std::getenv("SNOWGLOBE_NO_SHM");
    return v && *v && std::strcmp(v, "0") != 0;
}

void release_shm() {
    Shared& s = presenter.shm;
    if (s.attached) {
        XShmDetach(s.display, &s.info);
        XSync(s.display, False);
        shmdt(s.info.shmaddr);
    }
    if (s.shape) XDestroyImage(s.shape);  // XShm's own: frees the header only
    s = Shared{};
}

// Attaches the segment on first use; false when the server has no MIT-SHM or
// cannot reach our memory (another machine's server refuses the attach).
bool use_shm(const Target& t) {
    Shared& s = presenter.shm;
    if (s.tried) return s.attached && s.display == t.display && s.shape->depth == t.depth;
    s.tried = true;
    s.display = t.display;
    if (shm_disabled() || !XShmQueryExtension(t.display)) return false;
    s.info.shmid = shmget(IPC_PRIVATE, SHM_BYTES, IPC_CREAT | 0600);
    if (s.info.shmid < 0) return false;
    void* at = shmat(s.info.shmid, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) {
        shmctl(s.info.shmid, IPC_RMID, nullptr);
        return false;
    }
    s.info.shmaddr = static_cast<char*>(at);
    s.info.readOnly = True;
    shmFailed = false;
    XSync(t.display, False);
    XErrorHandler previous = XSetErrorHandler(on_shm_error);
    const bool attached = XShmAttach(t.display, &s.info) && (XSync(t.display, False), !shmFailed);
    XSetErrorHandler(previous);
    // Gone with the last process that has it attached, however that ends.
    shmctl(s.info.shmid, IPC_RMID, nullptr);
    if (attached)
        s.shape = XShmCreateImage(t.display, t.visual, unsigned(t.depth), ZPixmap, s.info.shmaddr, &s.info, 1, 1);
    if (!attached || !s.shape) {
        if (attached) {
            XShmDetach(t.display, &s.info);
            XSync(t.display, False);
        }
        shmdt(s.info.shmaddr);
        return false;
    }
    s.attached = true;
    return true;
}

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
    for (Target& t : presenter.targets)
        if (t.sdl == sdl) return t;
    presenter.targets.push_back(examine(sdl));
    return presenter.targets.back();
}

// The usual layout (blue, green, red from the low byte up, as X servers on
// little-endian machines have it) is the framebuffer's own byte order: each
// pixel is its three bytes and a fourth byte of fixedBits. Returns how many
// pixels of the row it did; it never reads past the row's last pixel.
using UsualRow = int (*)(const std::uint8_t* p, std::uint32_t* out, int w, std::uint32_t fixedBits);

int usual_row_scalar(const std::uint8_t* p, std::uint32_t* out, int w, std::uint32_t fixedBits) {
    int i = 0;
    for (; i + 1 < w; ++i, p += 3) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);  // the fourth byte is the next pixel's, masked off
        out[i] = (v & 0xFFFFFFu) | fixedBits;
    }
    return i;
}

#if defined(__x86_64__) || defined(__i386__)
// Four pixels a step: twelve bytes spread into sixteen by one shuffle.
__attribute__((target("ssse3"))) int usual_row_ssse3(const std::uint8_t* p, std::uint32_t* out, int w,
                                                     std::uint32_t fixedBits) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i fixed = _mm_set1_epi32(int(fixedBits));
    int i = 0;
    // A load takes sixteen bytes: pixels i .. i + 5 must exist.
    for (; i + 6 <= w; i += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + std::size_t(i) * 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(_mm_shuffle_epi8(v, spread), fixed));
    }
    return i + usual_row_scalar(p + std::size_t(i) * 3, out + i, w - i, fixedBits);
}
#endif

UsualRow pick_usual_row() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("ssse3")) return usual_row_ssse3;
#endif
    return usual_row_scalar;
}

// Rows y .. y + h - 1, columns x .. x + w - 1 of the framebuffer as the
// window's 32-bit pixels, top-down.
void convert(const Target& t, const soft::Framebuffer& fb, int x, int y, int w, int h, std::uint32_t* out) {
    static const UsualRow usualRow = pick_usual_row();
    const bool usual = t.blueShift == 0 && t.greenShift == 8 && t.redShift == 16 &&
                       std::endian::native == std::endian::little;
    for (int row = y; row < y + h; ++row, out += w) {
        // Framebuffer rows run bottom-up; the window's top-down.
        const std::uint8_t* p = fb.pixels.data() + std::size_t(fb.height - 1 - row) * fb.stride + std::size_t(x) * 3;
        int i = usual ? usualRow(p, out, w, t.fixedBits) : 0;
        for (p += std::size_t(i) * 3; i < w; ++i, p += 3)
            out[i] = (std::uint32_t(p[2]) << t.redShift) | (std::uint32_t(p[1]) << t.greenShift) |
                     (std::uint32_t(p[0]) << t.blueShift) | t.fixedBits;
    }
}

// Where a window's pixel (0, 0) is in the framebuffer: a window shown in
// several pieces (one per X screen it spans) shows a part of it in each.
struct Origin {
    int x = 0, y = 0;
};

void put_band(const Target& t, const soft::Framebuffer& fb, Origin o, int x, int y, int w, int h) {
    std::vector<std::uint32_t>& band = presenter.band;
    convert(t, fb, x + o.x, y + o.y, w, h, band.data());
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

void put_socket(const Target& t, const soft::Framebuffer& fb, Origin o, const Box& b) {
    const int w = b.right - b.left;
    const int rowsPerBand = std::max(1, BAND_PIXELS / w);
    presenter.band.resize(std::size_t(w) * std::size_t(std::min(rowsPerBand, b.bottom - b.top)));
    for (int y = b.top; y < b.bottom; y += rowsPerBand)
        put_band(t, fb, o, b.left, y, w, std::min(rowsPerBand, b.bottom - y));
}

// The server reads the segment when it gets to the request, so a place in
// the ring is written again only after waiting for everything sent before.
void put_shared(const Target& t, const soft::Framebuffer& fb, Origin o, const Box& b) {
    Shared& s = presenter.shm;
    const int w = b.right - b.left;
    const std::size_t rowBytes = std::size_t(w) * 4;  // a window is at most 32767 wide: a row fits
    const int rowsPerPut = int(std::max<std::size_t>(1, SHM_BYTES / rowBytes));
    for (int y = b.top; y < b.bottom;) {
        int rows = std::min(rowsPerPut, b.bottom - y);
        if (s.used + rowBytes * std::size_t(rows) > SHM_BYTES) {
            XSync(t.display, False);
            s.used = 0;
        }
        char* at = s.info.shmaddr + s.used;
        convert(t, fb, b.left + o.x, y + o.y, w, rows, reinterpret_cast<std::uint32_t*>(at));
        // XShmPutImage reads only the header: the segment, the offset of
        // data in it, the size, depth and format.
        XImage image = *s.shape;
        image.width = w;
        image.height = rows;
        image.bytes_per_line = int(rowBytes);
        image.data = at;
        XShmPutImage(t.display, t.window, t.gc, &image, 0, 0, b.left, y, unsigned(w), unsigned(rows), False);
        s.used += rowBytes * std::size_t(rows);
        y += rows;
    }
}

std::size_t box_bytes(const Box& b) { return std::size_t(b.right - b.left) * 3 * std::size_t(b.bottom - b.top); }

const std::uint8_t* fb_row(const soft::Framebuffer& fb, Origin o, const Box& b, int y) {
    // Framebuffer rows run bottom-up.
    return fb.pixels.data() + std::size_t(fb.height - 1 - (y + o.y)) * fb.stride + std::size_t(b.left + o.x) * 3;
}

bool same_as_kept(const soft::Framebuffer& fb, Origin o, const Box& b, const std::uint8_t* kept) {
    const std::size_t row = std::size_t(b.right - b.left) * 3;
    for (int y = b.top; y < b.bottom; ++y, kept += row)
        if (std::memcmp(fb_row(fb, o, b, y), kept, row) != 0) return false;
    return true;
}

// Drops from boxes those the screen already shows, and keeps this present's
// boxes for the next one.
void drop_unchanged(LastSent& last, const soft::Framebuffer& fb, Origin o, std::vector<Box>& boxes, bool whole) {
    const bool sameFramebuffer = last.pixels == fb.pixels.data() && last.width == fb.width &&
                                 last.height == fb.height && last.stride == fb.stride;
    LastSent next;
    next.pixels = fb.pixels.data();
    next.width = fb.width;
    next.height = fb.height;
    next.stride = fb.stride;
    if (boxes.size() > LAST_SENT_BOXES) {
        last = std::move(next);
        return;
    }
    next.store.reserve(LAST_SENT_BYTES);
    std::vector<Box> send;
    for (const Box& b : boxes) {
        const std::size_t bytes = box_bytes(b);
        const std::uint8_t* kept = nullptr;
        if (!whole && sameFramebuffer)
            for (std::size_t i = 0; i < last.boxes.size(); ++i)
                if (std::memcmp(&last.boxes[i], &b, sizeof b) == 0) {
                    kept = last.store.data() + last.offsets[i];
                    break;
                }
        const bool unchanged = kept && same_as_kept(fb, o, b, kept);
        if (!unchanged) send.push_back(b);
        if (next.store.size() + bytes > LAST_SENT_BYTES) continue;
        next.boxes.push_back(b);
        next.offsets.push_back(next.store.size());
        if (unchanged) {
            next.store.insert(next.store.end(), kept, kept + bytes);
        } else {
            for (int y = b.top; y < b.bottom; ++y) {
                const std::uint8_t* r = fb_row(fb, o, b, y);
                next.store.insert(next.store.end(), r, r + std::size_t(b.right - b.left) * 3);
            }
        }
    }
    boxes.swap(send);
    last = std::move(next);
}

}  // namespace

bool x11_can_put(SDL_Window* sdl) { return sdl && target_for(sdl).usable; }

bool x11_put_rects(SDL_Window* sdl, const soft::Framebuffer& fb, const RECT* rects, int count, POINT origin) {
    if (!sdl) return false;
    Target& t = target_for(sdl);
    if (!t.usable) return false;
    if (fb.width <= 0 || fb.height <= 0 || fb.pixels.size() < std::size_t(fb.stride) * fb.height) return true;
    int windowWidth = 0, windowHeight = 0;
    SDL_GetWindowSize(sdl, &windowWidth, &windowHeight);
    // In the window's own coordinates from here on.
    const Origin o{int(std::clamp<long>(origin.x, 0, fb.width)), int(std::clamp<long>(origin.y, 0, fb.height))};
    std::vector<Box> boxes;
    if (rects) {
        boxes.reserve(std::size_t(std::max(count, 0)));
        for (int i = 0; i < count; ++i)
            boxes.push_back(Box{int(rects[i].left) - o.x, int(rects[i].top) - o.y, int(rects[i].right) - o.x,
                                int(rects[i].bottom) - o.y});
    } else {
        boxes.push_back(Box{0, 0, fb.width - o.x, fb.height - o.y});
    }
    const bool shared = use_shm(t);
    boxes = merge_boxes(boxes, std::min(fb.width - o.x, windowWidth), std::min(fb.height - o.y, windowHeight),
                        shared ? SHM_REQUEST_PIXELS : PUT_REQUEST_PIXELS);
    drop_unchanged(t.last, fb, o, boxes, rects == nullptr);
    if (boxes.empty()) return true;  // nothing to send: not even a flush
    for (const Box& b : boxes) shared ? put_shared(t, fb, o, b) : put_socket(t, fb, o, b);
    XFlush(t.display);
    return true;
}

void x11_forget_window(SDL_Window* sdl) {
    auto& targets = presenter.targets;
    auto it = std::find_if(targets.begin(), targets.end(), [&](const Target& t) { return t.sdl == sdl; });
    if (it == targets.end()) return;
    if (it->gc) XFreeGC(it->display, it->gc);
    targets.erase(it);
    if (!targets.empty()) return;
    // The last window: the display may close next.
    std::vector<std::uint32_t>().swap(presenter.band);
    release_shm();
}

}  // namespace pf::sdl
