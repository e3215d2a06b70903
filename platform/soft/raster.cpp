// BitBlt and StretchBlt in software, byte for byte what GDI produces for
// 24-bit targets, from 24-bit sources and from 8-bit sources through their
// colour tables.
//
// Every raster operation used here is one and/xor per byte, with the two
// operands taken from the source byte s:
//
//     d' = (d & ((s & aS) | aK)) ^ ((s & xS) | xK)
//
//     operation    aS  aK  xS  xK    result
//     SRCCOPY      00  00  FF  00    s
//     SRCAND       FF  00  00  00    d & s
//     SRCINVERT    00  FF  FF  00    d ^ s
//     BLACKNESS    00  00  00  00    0
//     WHITENESS    00  00  00  FF    FF
//
// so one inner loop, run on sixteen bytes at a time, does them all; copy, AND
// and XOR, the operations of every tick, have their own.
//
// Clipping: a pixel is drawn only where the target pixel and the source
// pixels it is made of lie inside their bitmaps; the rest of the rectangle is
// left as it was. Operations without a source ignore the source entirely.
//
// Stretching follows GDI's default mode for colour bitmaps (BLACKONWHITE):
// along each axis, with S source and D target pixels of the whole rectangles,
//   enlarging (D >= S): target d shows source floor(((2d+1)S - 1) / 2D);
//   shrinking (D < S):  source s lands on target floor(((2s+1)D - 1) / 2S), and
//                       the sources landing on one target are ANDed together;
//                       shrinking to a single pixel leaves out the last source.
// Source pixels outside the source bitmap drop out of their group; a target
// pixel whose group is left empty is not drawn.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/soft/gdi_internal.h"

namespace pf::soft {
namespace {

using detail::Access;
using detail::PixelView;

struct Rop {
    bool usesSource;
    std::uint8_t aS, aK, xS, xK;
};

bool rop_of(DWORD code, Rop* out) {
    switch (code) {
        case SRCCOPY: *out = {true, 0x00, 0x00, 0xFF, 0x00}; return true;
        case SRCAND: *out = {true, 0xFF, 0x00, 0x00, 0x00}; return true;
        case SRCINVERT: *out = {true, 0x00, 0xFF, 0xFF, 0x00}; return true;
        case BLACKNESS: *out = {false, 0x00, 0x00, 0x00, 0x00}; return true;
        case WHITENESS: *out = {false, 0x00, 0x00, 0x00, 0xFF}; return true;
        default: return false;
    }
}

// The core, sixteen bytes at a time in a vector register (plain SSE2 on x86),
// then byte by byte for the rest. `d` and `s` never overlap: a blit within
// one bitmap reads from a copy.
using Block = std::uint8_t __attribute__((vector_size(16)));

template <class Op>
inline void row_apply(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, std::size_t n,
                      Op op) {
    std::size_t i = 0;
    for (; i + sizeof(Block) <= n; i += sizeof(Block)) {
        Block dv, sv;
        std::memcpy(&dv, d + i, sizeof dv);
        std::memcpy(&sv, s + i, sizeof sv);
        dv = op(dv, sv);
        std::memcpy(d + i, &dv, sizeof dv);
    }
    for (; i < n; ++i) d[i] = static_cast<std::uint8_t>(op(d[i], s[i]));
}

// The three operations a tick uses get loops of their own; the general form
// costs six vector operations per block, where these are memory-bound.
enum class RowKind { Copy, And, Xor, General };
constexpr std::size_t SHORT_ROW = 256;

RowKind row_kind(const Rop& r) {
    if (r.aS == 0x00 && r.aK == 0x00 && r.xS == 0xFF && r.xK == 0x00) return RowKind::Copy;
    if (r.aS == 0xFF && r.aK == 0x00 && r.xS == 0x00 && r.xK == 0x00) return RowKind::And;
    if (r.aS == 0x00 && r.aK == 0xFF && r.xS == 0xFF && r.xK == 0x00) return RowKind::Xor;
    return RowKind::General;
}

// Calls body(rowOp) with the row loop of `r`, so that a caller's loop over
// rows is compiled once per operation instead of choosing it on every row.
template <class Body>
void with_row_op(const Rop& r, Body body) {
    switch (row_kind(r)) {
        case RowKind::Copy:
            // A copy must not read the target: sprite rows are short and scattered
            // over screen-sized bitmaps, so each row starts with a cache miss, and
            // a load stalls on it where stores alone are just queued.
            body([](std::uint8_t* __restrict d, const std::uint8_t* __restrict s, std::size_t n) {
                if (n > SHORT_ROW) {
                    std::memcpy(d, s, n);
                    return;
                }
                // Sprite rows: sixteen bytes at a time inline, cheaper than the call.
                std::size_t i = 0;
                for (; i + sizeof(Block) <= n; i += sizeof(Block)) std::memcpy(d + i, s + i, sizeof(Block));
                for (; i < n; ++i) d[i] = s[i];
            });
            return;
        case RowKind::And:
            body([](std::uint8_t* __restrict d, const std::uint8_t* __restrict s, std::size_t n) {
                row_apply(d, s, n, [](auto a, auto b) { return a & b; });
            });
            return;
        case RowKind::Xor:
            body([](std::uint8_t* __restrict d, const std::uint8_t* __restrict s, std::size_t n) {
                row_apply(d, s, n, [](auto a, auto b) { return a ^ b; });
            });
            return;
        case RowKind::General: {
            const std::uint8_t aS = r.aS, aK = r.aK, xS = r.xS, xK = r.xK;
            body([=](std::uint8_t* __restrict d, const std::uint8_t* __restrict s, std::size_t n) {
                row_apply(d, s, n, [=](auto a, auto b) { return (a & ((b & aS) | aK)) ^ ((b & xS) | xK); });
            });
            return;
        }
    }
}

void rop_row(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, std::size_t n,
             const Rop& r) {
    with_row_op(r, [&](auto rowOp) { rowOp(d, s, n); });
}

// The same with s = 0, for the operations without a source.
void rop_fill(std::uint8_t* __restrict d, std::size_t n, const Rop& r) {
    const std::uint8_t aK = r.aK, xK = r.xK;
    std::size_t i = 0;
    for (; i + sizeof(Block) <= n; i += sizeof(Block)) {
        Block dv;
        std::memcpy(&dv, d + i, sizeof dv);
        dv = (dv & aK) ^ xK;
        std::memcpy(d + i, &dv, sizeof dv);
    }
    for (; i < n; ++i) d[i] = static_cast<std::uint8_t>((d[i] & aK) ^ xK);
}

// Row y counted from the top.
std::uint8_t* row_at(const PixelView& v, int y) {
    return v.bits + static_cast<std::size_t>(v.height - 1 - y) * static_cast<std::size_t>(v.stride);
}

// Source pixels [x, x + n) of row y as 24-bit bytes: straight from a 24-bit
// bitmap, or looked up into `scratch` from an 8-bit one.
const std::uint8_t* source_pixels(const PixelView& v, int y, int x, int n,
                                  std::vector<std::uint8_t>& scratch) {
    const std::uint8_t* row = row_at(v, y);
    if (v.bitCount == 24) return row + static_cast<std::size_t>(x) * 3;
    scratch.resize(static_cast<std::size_t>(n) * 3);
    std::uint8_t* out = scratch.data();
    for (int i = 0; i < n; ++i) {
        const int index = row[x + i];
        if (index < v.colorCount) {
            out[0] = v.colors[index].rgbBlue;
            out[1] = v.colors[index].rgbGreen;
            out[2] = v.colors[index].rgbRed;
        } else {
            out[0] = out[1] = out[2] = 0;  // past the colour table: black, as GDI shows it
        }
        out += 3;
    }
    return scratch.data();
}

// A blit within one bitmap reads a private copy of the source pixels.
void detach_if_shared(PixelView& source, const PixelView& target,
                      std::vector<std::uint8_t>& copy) {
    if (source.bits != target.bits) return;
    const std::size_t bytes =
        static_cast<std::size_t>(source.stride) * static_cast<std::size_t>(source.height);
    copy.assign(source.bits, source.bits + bytes);
    source.bits = copy.data();
}

// Clip [pos, pos + len) to [0, limit); false when nothing is left.
bool clip_span(std::int64_t& pos, std::int64_t& len, std::int64_t limit) {
    if (pos < 0) {
        len += pos;
        pos = 0;
    }
    if (pos + len > limit) len = limit - pos;
    return len > 0;
}

BOOL fill_rect(HDC target, const PixelView& t, int x, int y, int w, int h, const Rop& rop) {
    std::int64_t cx = x, cy = y, cw = w, ch = h;
    if (!clip_span(cx, cw, t.width) || !clip_span(cy, ch, t.height)) return 1;
    for (std::int64_t j = 0; j < ch; ++j)
        rop_fill(row_at(t, static_cast<int>(cy + j)) + cx * 3, static_cast<std::size_t>(cw) * 3, rop);
    detail::note_drawn(target, static_cast<int>(cx), static_cast<int>(cy), static_cast<int>(cw),
                       static_cast<int>(ch));
    return 1;
}

// One axis of a stretch: for each target pixel that gets drawn, the source
// pixels [first, last) (bitmap coordinates) that make it. The drawn target
// pixels are consecutive from `start`.
struct Axis {
    int start = 0;
    std::vector<int> first;
    std::vector<int> last;
};

// Target pixels [t0, t0 + D) from source pixels [s0, s0 + S), visible target
// [0, tLimit), existing source [0, sLimit).
bool stretch_axis(std::int64_t t0, std::int64_t D, std::int64_t s0, std::int64_t S,
                  std::int64_t tLimit, std::int64_t sLimit, Axis& out) {
    out.first.clear();
    out.last.clear();
    // Rectangle-relative ranges of visible target and existing source pixels.
    const std::int64_t tLo = std::max<std::int64_t>(0, -t0), tHi = std::min(D, tLimit - t0);
    const std::int64_t sLo = std::max<std::int64_t>(0, -s0), sHi = std::min(S, sLimit - s0);
    if (tLo >= tHi || sLo >= sHi) return false;

    if (D >= S) {
        // Bresenham over the target: source = (num / den), num grows by 2S per pixel.
        const std::int64_t den = 2 * D, step = 2 * S;
        std::int64_t num = (2 * tLo + 1) * S - 1;
        std::int64_t q = num / den, r = num % den;
        for (std::int64_t d = tLo; d < tHi; ++d) {
            if (q >= sLo && q < sHi) {
                if (out.first.empty()) out.start = static_cast<int>(t0 + d);
                out.first.push_back(static_cast<int>(s0 + q));
                out.last.push_back(static_cast<int>(s0 + q + 1));
            } else if (!out.first.empty()) {
                break;
            }
            r += step;
            if (r >= den) {
                r -= den;
                ++q;
            }
        }
        return !out.first.empty();
    }

    // Shrinking: walk the existing sources, each landing on target (num / den).
    const std::int64_t sEnd = (D == 1) ? std::min(sHi, S - 1) : sHi;
    const std::int64_t den = 2 * S, step = 2 * D;
    std::int64_t num = (2 * sLo + 1) * D - 1;
    std::int64_t q = (D == 1) ? 0 : num / den, r = num % den;
    std::int64_t current = -1;
    for (std::int64_t s = sLo; s < sEnd; ++s) {
        if (q >= tLo && q < tHi) {
            if (q != current) {
                if (out.first.empty()) out.start = static_cast<int>(t0 + q);
                out.first.push_back(static_cast<int>(s0 + s));
                out.last.push_back(static_cast<int>(s0 + s + 1));
                current = q;
            } else {
                out.last.back() = static_cast<int>(s0 + s + 1);
            }
        } else if (q >= tHi) {
            break;
        }
        if (D != 1) {
            r += step;
            if (r >= den) {
                r -= den;
                ++q;
            }
        }
    }
    return !out.first.empty();
}

}  // namespace
}  // namespace pf::soft

namespace pf {

using soft::detail::Access;
using soft::detail::PixelView;

namespace {
std::uint64_t blitCalls = 0;

BOOL blit(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD code);
}  // namespace

std::uint64_t diagnostics::gdi_blit_calls() { return blitCalls; }

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
            DWORD code) {
    ++blitCalls;
    return blit(target, x, y, width, height, source, sx, sy, code);
}

namespace {

BOOL blit(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
          DWORD code) {
    soft::Rop rop;
    if (!soft::rop_of(code, &rop)) return 0;
    PixelView t{};
    const Access ta = soft::detail::target_view(target, &t);
    if (ta == Access::Invalid) return 0;
    PixelView s{};
    Access sa = Access::Nothing;
    if (rop.usesSource) {
        sa = soft::detail::source_view(source, &s);
        if (sa == Access::Invalid) return 0;
    }
    if (width < 0 || height < 0) return 0;  // mirrored blits are not supported
    if (ta == Access::Nothing || (rop.usesSource && sa == Access::Nothing)) return 1;
    if (!rop.usesSource) return soft::fill_rect(target, t, x, y, width, height, rop);

    // Clip the target rectangle and the source rectangle together.
    std::int64_t tx = x, ty = y, w = width, h = height, ux = sx, uy = sy;
    if (ux < 0) { tx -= ux; w += ux; ux = 0; }
    if (uy < 0) { ty -= uy; h += uy; uy = 0; }
    if (tx < 0) { ux -= tx; w += tx; tx = 0; }
    if (ty < 0) { uy -= ty; h += ty; ty = 0; }
    w = std::min({w, t.width - tx, s.width - ux});
    h = std::min({h, t.height - ty, s.height - uy});
    if (w <= 0 || h <= 0) return 1;

    static std::vector<std::uint8_t> copy, scratch;
    soft::detach_if_shared(s, t, copy);
    const std::size_t bytes = static_cast<std::size_t>(w) * 3;
    soft::with_row_op(rop, [&](auto rowOp) {
        for (std::int64_t j = 0; j < h; ++j) {
            // Sprite rows are short: a 24-bit source row is used in place without a call.
            const std::uint8_t* from =
                s.bitCount == 24 ? soft::row_at(s, static_cast<int>(uy + j)) + ux * 3
                                 : soft::source_pixels(s, static_cast<int>(uy + j), static_cast<int>(ux),
                                                       static_cast<int>(w), scratch);
            rowOp(soft::row_at(t, static_cast<int>(ty + j)) + tx * 3, from, bytes);
        }
    });
    copy.clear();
    soft::detail::note_drawn(target, static_cast<int>(tx), static_cast<int>(ty), static_cast<int>(w),
                             static_cast<int>(h));
    return 1;
}

}  // namespace

BOOL StretchBlt(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
                int sw, int sh, DWORD code) {
    ++blitCalls;
    if (width == sw && height == sh)
        return blit(target, x, y, width, height, source, sx, sy, code);
    soft::Rop rop;
    if (!soft::rop_of(code, &rop)) return 0;
    PixelView t{};
    const Access ta = soft::detail::target_view(target, &t);
    if (ta == Access::Invalid) return 0;
    PixelView s{};
    Access sa = Access::Nothing;
    if (rop.usesSource) {
        sa = soft::detail::source_view(source, &s);
        if (sa == Access::Invalid) return 0;
    }
    if (width < 0 || height < 0 || sw < 0 || sh < 0) return 0;  // no mirroring
    if (ta == Access::Nothing || (rop.usesSource && sa == Access::Nothing)) return 1;
    if (width == 0 || height == 0) return 1;
    if (!rop.usesSource) return soft::fill_rect(target, t, x, y, width, height, rop);
    if (sw == 0 || sh == 0) return 1;

    // A whole-number enlargement of a 24-bit picture that lies wholly inside
    // both bitmaps (the present of a scaled screen): every source pixel is a
    // k x k block, as the general rule gives, made one row at a time.
    if (code == SRCCOPY && s.bitCount == 24 && width % sw == 0 && height % sh == 0 &&
        width / sw == height / sh && width / sw > 1 && x >= 0 && y >= 0 && sx >= 0 && sy >= 0 &&
        std::int64_t{x} + width <= t.width && std::int64_t{y} + height <= t.height &&
        std::int64_t{sx} + sw <= s.width && std::int64_t{sy} + sh <= s.height &&
        s.bits != t.bits) {
        const int k = width / sw;
        static std::vector<std::uint8_t> wide;
        wide.resize(static_cast<std::size_t>(width) * 3);
        for (int r = 0; r < sh; ++r) {
            const std::uint8_t* from = soft::row_at(s, sy + r) + static_cast<std::size_t>(sx) * 3;
            std::uint8_t* to = wide.data();
            for (int i = 0; i < sw; ++i, from += 3)
                for (int c = 0; c < k; ++c, to += 3) to[0] = from[0], to[1] = from[1], to[2] = from[2];
            for (int c = 0; c < k; ++c)
                std::memcpy(soft::row_at(t, y + r * k + c) + static_cast<std::size_t>(x) * 3, wide.data(),
                            wide.size());
        }
        soft::detail::note_drawn(target, x, y, width, height);
        return 1;
    }

    static soft::Axis cols, rows;
    if (!soft::stretch_axis(x, width, sx, sw, t.width, s.width, cols) ||
        !soft::stretch_axis(y, height, sy, sh, t.height, s.height, rows))
        return 1;

    static std::vector<std::uint8_t> copy, scratch, acc, out;
    soft::detach_if_shared(s, t, copy);
    const int nCols = static_cast<int>(cols.first.size());
    const int nRows = static_cast<int>(rows.first.size());
    const int srcLo = cols.first.front(), srcHi = cols.last.back();
    const std::size_t accBytes = static_cast<std::size_t>(srcHi - srcLo) * 3;
    acc.resize(accBytes);
    out.resize(static_cast<std::size_t>(nCols) * 3);

    int madeFirst = -1, madeLast = -1;  // source rows that `out` was made from
    for (int j = 0; j < nRows; ++j) {
        if (rows.first[j] != madeFirst || rows.last[j] != madeLast) {
            // AND the source rows of this target row, then the columns of each target pixel.
            for (int r = rows.first[j]; r < rows.last[j]; ++r) {
                const std::uint8_t* p = soft::source_pixels(s, r, srcLo, srcHi - srcLo, scratch);
                if (r == rows.first[j]) {
                    std::memcpy(acc.data(), p, accBytes);
                } else {
                    for (std::size_t i = 0; i < accBytes; ++i) acc[i] &= p[i];
                }
            }
            for (int i = 0; i < nCols; ++i) {
                const std::uint8_t* c = acc.data() + static_cast<std::size_t>(cols.first[i] - srcLo) * 3;
                std::uint8_t b = c[0], g = c[1], red = c[2];
                for (int k = cols.first[i] + 1; k < cols.last[i]; ++k) {
                    c += 3;
                    b &= c[0];
                    g &= c[1];
                    red &= c[2];
                }
                out[static_cast<std::size_t>(i) * 3] = b;
                out[static_cast<std::size_t>(i) * 3 + 1] = g;
                out[static_cast<std::size_t>(i) * 3 + 2] = red;
            }
            madeFirst = rows.first[j];
            madeLast = rows.last[j];
        }
        soft::rop_row(soft::row_at(t, rows.start + j) + static_cast<std::size_t>(cols.start) * 3,
                      out.data(), out.size(), rop);
    }
    copy.clear();
    soft::detail::note_drawn(target, cols.start, rows.start, nCols, nRows);
    return 1;
}

}  // namespace pf
