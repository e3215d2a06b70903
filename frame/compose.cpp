// Frame composition: each tick, restore last tick's sprite rectangles from
// the clean background, draw every sprite the world left visible over it, and
// put only the changed rectangles on the window (the whole picture once, or
// the whole picture stretched in the preview). Nothing here moves anything.
#include "frame/compose.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "world/world.h"

namespace sg {

namespace {

// Counts are only ever 0..DIRTY_CAPACITY; never let a stray value walk a
// list past its end.
int used(std::int32_t count) {
    if (count < 0) return 0;
    return count > DIRTY_CAPACITY ? DIRTY_CAPACITY : count;
}

void list_add(DirtyRect* list, std::int32_t* count, int x, int y, int width, int height) {
    // At most 10 layers x 50 slots are drawn per pass, which is exactly the
    // capacity; anything beyond it is dropped rather than written past the end.
    if (*count < 0 || *count >= DIRTY_CAPACITY) return;
    list[*count] = DirtyRect{x, y, width, height};
    ++*count;
}

// One rectangle of the work surface enlarged onto the window, nearest
// neighbour (a whole-number StretchBlt repeats each pixel). The rectangle is
// clipped to the surface first, so the enlarged copy stays exact at its edges.
void copy_scaled(pf::HDC windowDC, const Surface* work, const DirtyRect& r,
                 const PresentGeometry& g) {
    const std::int64_t x0 = r.x < 0 ? 0 : r.x;
    const std::int64_t y0 = r.y < 0 ? 0 : r.y;
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{r.x} + r.width, g.screenWidth);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{r.y} + r.height, g.screenHeight);
    if (x1 <= x0 || y1 <= y0) return;
    const int s = g.scale;
    pf::StretchBlt(windowDC, int(x0 * s), int(y0 * s), int((x1 - x0) * s), int((y1 - y0) * s),
                   work->memoryDC, int(x0), int(y0), int(x1 - x0), int(y1 - y0), pf::SRCCOPY);
}

void copy_rects(pf::HDC windowDC, const Surface* work, const DirtyRect* list, int count,
                const PresentGeometry& g) {
    if (windowDC == nullptr || work->memoryDC == nullptr) return;
    for (int k = 0; k < count; ++k) {
        const DirtyRect& r = list[k];
        if (g.scale > 1) {
            copy_scaled(windowDC, work, r, g);
        } else {
            pf::BitBlt(windowDC, r.x, r.y, r.width, r.height, work->memoryDC, r.x, r.y,
                       pf::SRCCOPY);
        }
    }
}

std::int64_t area(const DirtyRect& r) {
    return r.width > 0 && r.height > 0 ? std::int64_t{r.width} * r.height : 0;
}

// Last tick's rectangles and this tick's, in as few copies as moves no more
// bytes: the k-th sprite drawn is mostly the same sprite as last tick's k-th,
// a few pixels on, so the two become their union when that is no larger than
// both. The window equals the work surface outside the changed areas, so a
// larger copy shows exactly the same picture.
int merge_changes(const DirtyRect* previous, int previousCount, const DirtyRect* now,
                  int nowCount, DirtyRect* out) {
    int n = 0;
    const int pairs = previousCount > nowCount ? previousCount : nowCount;
    for (int k = 0; k < pairs; ++k) {
        const bool hasPrevious = k < previousCount && area(previous[k]) > 0;
        const bool hasNow = k < nowCount && area(now[k]) > 0;
        if (hasPrevious && hasNow) {
            const DirtyRect& a = previous[k];
            const DirtyRect& b = now[k];
            const std::int64_t x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
            const std::int64_t x1 = std::max(std::int64_t{a.x} + a.width, std::int64_t{b.x} + b.width);
            const std::int64_t y1 = std::max(std::int64_t{a.y} + a.height, std::int64_t{b.y} + b.height);
            const std::int64_t w = x1 - x0, h = y1 - y0;
            if (w <= INT32_MAX && h <= INT32_MAX && w * h <= area(a) + area(b)) {
                out[n++] = DirtyRect{static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
                                     static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
                continue;
            }
        }
        if (hasPrevious) out[n++] = previous[k];
        if (hasNow) out[n++] = now[k];
    }
    return n;
}

// The whole picture, the first time: at a factor, enlarged, with the strips
// it leaves at the right and bottom painted black.
void present_whole(pf::HDC windowDC, const Surface* work, const PresentGeometry& g) {
    if (g.scale <= 1) {
        pf::BitBlt(windowDC, 0, 0, g.screenWidth, g.screenHeight, work->memoryDC, 0, 0,
                   pf::SRCCOPY);
        return;
    }
    const int w = g.screenWidth * g.scale;
    const int h = g.screenHeight * g.scale;
    pf::StretchBlt(windowDC, 0, 0, w, h, work->memoryDC, 0, 0, g.screenWidth, g.screenHeight,
                   pf::SRCCOPY);
    if (g.windowWidth > w)
        pf::BitBlt(windowDC, w, 0, g.windowWidth - w, g.windowHeight, nullptr, 0, 0, pf::BLACKNESS);
    if (g.windowHeight > h)
        pf::BitBlt(windowDC, 0, h, w, g.windowHeight - h, nullptr, 0, 0, pf::BLACKNESS);
}

void blit(Surface* work, const SpriteDraw& sprite, const Surface* source, pf::DWORD rop) {
    // A slot before its first frame step (or a frame the loader refused) has
    // no bitmap: nothing to draw, but its rectangle is still recorded.
    if (source->memoryDC == nullptr) return;
    pf::BitBlt(work->memoryDC, sprite.x, sprite.y, sprite.width, sprite.height, source->memoryDC,
               0, 0, rop);
}

void draw_sprites(Frame& frame, const World& world) {
    Surface* work = &frame.workSurface;
    const int count = world.drawCount < MAX_SPRITE_DRAWS ? world.drawCount : MAX_SPRITE_DRAWS;
    for (int k = 0; k < count; ++k) {
        const SpriteDraw& sprite = world.drawList[k];
        if (sprite.maskMode == 3) {
            blit(work, sprite, sprite.picture, pf::SRCCOPY);
        } else {
            blit(work, sprite, sprite.mask, pf::SRCAND);
            blit(work, sprite, sprite.cutout, pf::SRCINVERT);
        }
        restore_list_add(frame, sprite.x, sprite.y, sprite.width, sprite.height);
        present_list_add(frame, sprite.x, sprite.y, sprite.width, sprite.height);
    }
}

}  // namespace

void restore_list_clear(Frame& frame) {
    std::memset(frame.restoreList, 0, sizeof frame.restoreList);
    frame.restoreCount = 0;
}

void present_list_clear(Frame& frame) {
    std::memset(frame.presentList, 0, sizeof frame.presentList);
    frame.presentCount = 0;
}

void restore_list_add(Frame& frame, int x, int y, int width, int height) {
    list_add(frame.restoreList, &frame.restoreCount, x, y, width, height);
}

void present_list_add(Frame& frame, int x, int y, int width, int height) {
    list_add(frame.presentList, &frame.presentCount, x, y, width, height);
}

void stretch_present_set(Frame& frame, int on) { frame.stretchPresent = on; }

void background_restore(Frame& frame, Surface* target, const Surface* source) {
    const int count = used(frame.restoreCount);
    for (int k = 0; k < count; ++k) {
        const DirtyRect& r = frame.restoreList[k];
        pf::BitBlt(target->memoryDC, r.x, r.y, r.width, r.height, source->memoryDC, r.x, r.y,
                   pf::SRCCOPY);
    }
}

void frame_present(Frame& frame, pf::HDC windowDC, const PresentGeometry& g) {
    const Surface* work = &frame.workSurface;
    // The bookkeeping below runs even when there is nothing to draw on or from.
    const bool drawable = windowDC != nullptr && work->memoryDC != nullptr;
    if (frame.stretchPresent != 0) {
        if (drawable) {
            pf::StretchBlt(windowDC, 0, 0, g.previewWidth, g.previewHeight, work->memoryDC, 0, 0,
                           g.screenWidth, g.screenHeight, pf::SRCCOPY);
        }
        present_list_clear(frame);
        return;
    }
    if (frame.firstPresentDone == 0) {
        if (drawable) present_whole(windowDC, work, g);
        frame.firstPresentDone = 1;
    }
    // Where sprites were last tick (now background, or a sprite drawn over it),
    // and where they are now.
    DirtyRect changes[2 * DIRTY_CAPACITY];
    const int count = merge_changes(frame.previousPresentList, used(frame.previousPresentCount),
                                    frame.presentList, used(frame.presentCount), changes);
    copy_rects(windowDC, work, changes, count, g);
    frame.previousPresentCount = used(frame.presentCount);
    std::memcpy(frame.previousPresentList, frame.presentList, sizeof frame.previousPresentList);
    present_list_clear(frame);
}

void frame_compose(Frame& frame, const World& world, pf::HWND window,
                  const PresentGeometry& geometry) {
    background_restore(frame, &frame.workSurface, &frame.backgroundSurface);
    restore_list_clear(frame);
    draw_sprites(frame, world);
    pf::HDC windowDC = pf::GetDC(window);
    frame_present(frame, windowDC, geometry);
    pf::ReleaseDC(window, windowDC);
}

}  // namespace sg
