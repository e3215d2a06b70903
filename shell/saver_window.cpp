// The saver window: builds the scene on creation, ticks it from a 33 ms
// timer, closes on input in full screen, and releases everything on
// destruction.
#include <cstring>

#include "gfx/background.h"
#include "gfx/compose.h"
#include "motion/frames.h"
#include "motion/layer_setup.h"
#include "motion/layers.h"
#include "package/animset.h"
#include "package/package.h"
#include "shell/shell.h"

namespace sg {

namespace {

// SND_ASYNC | SND_NODEFAULT | SND_MEMORY | SND_LOOP | SND_NOSTOP: loop from
// memory, silence when it cannot play, and leave a playing sound alone.
constexpr pf::UINT SOUND_FLAGS =
    pf::SND_ASYNC | pf::SND_NODEFAULT | pf::SND_MEMORY | pf::SND_LOOP | pf::SND_NOSTOP;

// The player is handed a pointer without a length and reads the RIFF chunk
// size from the image itself, so the whole chunk must lie inside the package.
// Anything else (not RIFF, or running past the end) stays silent.
const void* scene_sound() {
    constexpr int RIFF_HEADER = 8;
    int available = 0;
    const std::uint8_t* wav = package_scene_bytes(sceneHeader.soundOffset, RIFF_HEADER, &available);
    if (wav == nullptr || available < RIFF_HEADER || std::memcmp(wav, "RIFF", 4) != 0) {
        return nullptr;
    }
    const std::int64_t chunk = std::int64_t{wav[4]} | std::int64_t{wav[5]} << 8 |
                               std::int64_t{wav[6]} << 16 | std::int64_t{wav[7]} << 24;
    const std::int64_t whole = RIFF_HEADER + chunk;
    if (whole > 0x7fffffff) return nullptr;
    package_scene_bytes(sceneHeader.soundOffset, whole, &available);
    return available == whole ? wav : nullptr;
}

void on_create(pf::HWND window) {
    if (runMode == Saver) pf::ShowCursor(0);
    layers_clear();
    slots_clear();
    stretch_present_set(runMode != Saver ? 1 : 0);
    if (runMode == Saver) {
        pf::ImmAssociateContext(window, nullptr);
    } else {
        // Everything is built and moved at this logical size; presenting
        // stretches it onto the pane.
        screenWidth = 320;
        screenHeight = 240;
    }
    for (int k = 0; k < PACKAGE_LAYERS; ++k) {
        if (layerBlocks[k].enabled != 0) layer_setup(k);
    }
    build_background();
    if (sceneHeader.soundEnabled != 0) {
        const void* wav = scene_sound();
        if (wav != nullptr) pf::sndPlaySoundA(static_cast<const char*>(wav), SOUND_FLAGS);
    }
    pf::SetTimer(window, TICK_TIMER_ID, TICK_PERIOD_MS, nullptr);
}

void on_mouse_move(pf::HWND window) {
    // The message's own coordinates are client-relative and not used: the
    // test is on the cursor's step between two mouse-move messages.
    pf::POINT current{};
    pf::GetCursorPos(&current);
    if (firstMouseMove == 1) {
        // However far the cursor is from anything, the first move only records.
        firstMouseMove = 0;
        lastCursorPos = current;
        return;
    }
    const std::int64_t dx = std::int64_t{current.x} - lastCursorPos.x;
    const std::int64_t dy = std::int64_t{current.y} - lastCursorPos.y;
    if (dx > MOUSE_MOVE_THRESHOLD || -dx > MOUSE_MOVE_THRESHOLD || dy > MOUSE_MOVE_THRESHOLD ||
        -dy > MOUSE_MOVE_THRESHOLD) {
        pf::PostMessageA(window, pf::WM_CLOSE, 0, 0);
    }
    lastCursorPos = current;
}

void on_close(pf::HWND window) {
    if (sceneHeader.soundEnabled != 0) pf::sndPlaySoundA(nullptr, 0);
    pf::CloseHandle(instanceGuard);
    instanceGuard = nullptr;
    pf::DestroyWindow(window);
}

void on_destroy(pf::HWND window) {
    if (runMode == Saver) pf::ShowCursor(1);
    pf::KillTimer(window, TICK_TIMER_ID);
    animset_release_all();
    surface_release(&backgroundSurface);
    surface_release(&workSurface);
    if (sceneHeader.backgroundMode == Tiled) surface_release(&tileSurface);
    // The single picture is drawn once into both surfaces and not needed
    // after; release it too so that teardown leaves no GDI object behind.
    if (sceneHeader.backgroundMode == Picture) surface_release(&pictureSurface);
    pf::PostQuitMessage(0);
}

}  // namespace

pf::LRESULT saver_window_proc(pf::HWND window, pf::UINT message, pf::WPARAM wParam,
                              pf::LPARAM lParam) {
    switch (message) {
    case pf::WM_CREATE:
        on_create(window);
        break;
    case pf::WM_TIMER:
        if (wParam == TICK_TIMER_ID) {
            frames_step();
            frame_compose(&workSurface);
        }
        break;
    case pf::WM_KEYDOWN:
    case pf::WM_SYSKEYDOWN:
    case pf::WM_LBUTTONDOWN:
    case pf::WM_RBUTTONDOWN:
    case pf::WM_MBUTTONDOWN:
        if (runMode == Saver) pf::PostMessageA(window, pf::WM_CLOSE, 0, 0);
        break;
    case pf::WM_MOUSEMOVE:
        if (runMode == Saver) on_mouse_move(window);
        break;
    case pf::WM_PAINT: {
        // Nothing is drawn here: the window shows only what the ticks present.
        pf::PAINTSTRUCT paint{};
        pf::BeginPaint(window, &paint);
        pf::EndPaint(window, &paint);
        break;
    }
    case pf::WM_CLOSE:
        on_close(window);
        return 1;
    case pf::WM_DESTROY:
        on_destroy(window);
        return 1;
    default:
        break;
    }
    return pf::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace sg
