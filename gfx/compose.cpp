// Frame composition: each tick, restore last tick's sprite rectangles from
// the clean background, draw every visible sprite over it, move it, and put
// only the changed rectangles on the window (the whole picture once, or the
// whole picture stretched in the preview).
#include "gfx/compose.h"

#include <cstring>

#include "gfx/background.h"
#include "motion/delays.h"
#include "motion/frames.h"
#include "motion/layers.h"
#include "motion/placement.h"
#include "shell/shell.h"

namespace sg {

DirtyRect restoreList[DIRTY_CAPACITY];
std::int32_t restoreCount = 0;
DirtyRect presentList[DIRTY_CAPACITY];
std::int32_t presentCount = 0;
DirtyRect previousPresentList[DIRTY_CAPACITY];
std::int32_t previousPresentCount = 0;
std::int32_t stretchPresent = 0;
std::int32_t firstPresentDone = 0;

namespace {

// Counts are only ever 0..DIRTY_CAPACITY, but they are plain globals: never
// let a stray value walk a list past its end.
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

void copy_rects(pf::HDC windowDC, const Surface* work, const DirtyRect* list, int count) {
    if (windowDC == nullptr || work->memoryDC == nullptr) return;
    for (int k = 0; k < count; ++k) {
        const DirtyRect& r = list[k];
        pf::BitBlt(windowDC, r.x, r.y, r.width, r.height, work->memoryDC, r.x, r.y, pf::SRCCOPY);
    }
}

void blit(Surface* work, int x, int y, int width, int height, const Surface& source,
          pf::DWORD rop) {
    // A slot before its first frame step (or a frame the loader refused) has
    // no bitmap: nothing to draw, but its rectangle is still recorded.
    if (source.memoryDC == nullptr) return;
    pf::BitBlt(work->memoryDC, x, y, width, height, source.memoryDC, 0, 0, rop);
}

void draw_layer(Surface* work, int layer) {
    LayerRecord& record = layerTable[layer];
    const int count = clamp_instance_count(record.instanceCount);
    for (int j = 0; j < count; ++j) {
        record.drawMaskMode = slot_mask_mode(layer, j);
        slot_current_picture(&record.drawPicture, layer, j);
        slot_current_mask(&record.drawMask, layer, j);
        slot_current_cutout(&record.drawCutout, layer, j);

        cycle_reentry_check(layer, j);

        if (!slot_waits(layer, j)) {
            // Drawn where the previous tick (or the re-entry just above) left it;
            // this tick's move is first seen on the next tick.
            const int x = record.x[j];
            const int y = record.y[j];
            const int w = surface_width(&record.drawPicture);
            const int h = surface_height(&record.drawPicture);
            if (record.drawMaskMode == 3) {
                blit(work, x, y, w, h, record.drawPicture, pf::SRCCOPY);
            } else {
                blit(work, x, y, w, h, record.drawMask, pf::SRCAND);
                blit(work, x, y, w, h, record.drawCutout, pf::SRCINVERT);
            }
            restore_list_add(x, y, w, h);
            present_list_add(x, y, w, h);
        }

        motion_step(layer, j);
    }

    if (wait_after_cycle_on(layer)) {
        if (!any_cycle_wait_running(layer)) cycle_waits_draw(layer);
        cycle_waits_count_down(layer);
    }
    if (wait_after_exit_on(layer)) {
        exit_waits_draw(layer);
        exit_waits_count_down(layer);
    }
}

}  // namespace

void restore_list_clear() {
    std::memset(restoreList, 0, sizeof restoreList);
    restoreCount = 0;
}

void present_list_clear() {
    std::memset(presentList, 0, sizeof presentList);
    presentCount = 0;
}

void restore_list_add(int x, int y, int width, int height) {
    list_add(restoreList, &restoreCount, x, y, width, height);
}

void present_list_add(int x, int y, int width, int height) {
    list_add(presentList, &presentCount, x, y, width, height);
}

void stretch_present_set(int on) { stretchPresent = on; }

void compose_reset() {
    restore_list_clear();
    present_list_clear();
    std::memset(previousPresentList, 0, sizeof previousPresentList);
    previousPresentCount = 0;
    stretchPresent = 0;
    firstPresentDone = 0;
}

int background_restore(Surface* target, const Surface* source) {
    const int count = used(restoreCount);
    for (int k = 0; k < count; ++k) {
        const DirtyRect& r = restoreList[k];
        pf::BitBlt(target->memoryDC, r.x, r.y, r.width, r.height, source->memoryDC, r.x, r.y,
                   pf::SRCCOPY);
    }
    return 1;
}

int frame_present(pf::HDC windowDC, const Surface* work) {
    // The bookkeeping below runs even when there is nothing to draw on or from.
    const bool drawable = windowDC != nullptr && work->memoryDC != nullptr;
    if (stretchPresent != 0) {
        if (drawable) {
            pf::StretchBlt(windowDC, 0, 0, previewWidth, previewHeight, work->memoryDC, 0, 0,
                           screenWidth, screenHeight, pf::SRCCOPY);
        }
        present_list_clear();
        return 1;
    }
    if (firstPresentDone == 0) {
        if (drawable) {
            pf::BitBlt(windowDC, 0, 0, screenWidth, screenHeight, work->memoryDC, 0, 0,
                       pf::SRCCOPY);
        }
        firstPresentDone = 1;
    }
    // Where sprites were last tick (now background, or a sprite drawn over it),
    // then where they are now.
    copy_rects(windowDC, work, previousPresentList, used(previousPresentCount));
    copy_rects(windowDC, work, presentList, used(presentCount));
    previousPresentCount = used(presentCount);
    std::memcpy(previousPresentList, presentList, sizeof previousPresentList);
    present_list_clear();
    return 1;
}

int frame_compose(Surface* work) {
    background_restore(work, &backgroundSurface);
    restore_list_clear();
    for (int layer = 0; layer < MAX_LAYERS; ++layer) {
        if (layerTable[layer].active != 0) draw_layer(work, layer);
    }
    pf::HDC windowDC = pf::GetDC(saverWindow);
    frame_present(windowDC, work);
    pf::ReleaseDC(saverWindow, windowDC);
    return 1;
}

}  // namespace sg
