// The saver window: builds the scene on creation, ticks it from a 33 ms
// timer, closes on input in full screen, and releases everything on
// destruction.
#include <cstring>

#include "format/wav_rules.h"
#include "frame/background.h"
#include "frame/compose.h"
#include "shell/shell.h"
#include "world/layer_setup.h"

namespace sg {

namespace {

// SND_ASYNC | SND_NODEFAULT | SND_MEMORY | SND_LOOP | SND_NOSTOP: loop from
// memory, silence when it cannot play, and leave a playing sound alone.
constexpr pf::UINT SOUND_FLAGS =
    pf::SND_ASYNC | pf::SND_NODEFAULT | pf::SND_MEMORY | pf::SND_LOOP | pf::SND_NOSTOP;

// The player is handed a pointer without a length and reads the RIFF chunk
// size from the image itself, so the whole chunk must lie inside the package.
// Anything else (not RIFF, or running past the end) stays silent.
const void* scene_sound(const Package& package) {
    constexpr int RIFF_HEADER = 8;
    const std::int32_t offset = package.sceneHeader.soundOffset;
    int available = 0;
    const std::uint8_t* wav = package_scene_bytes(package, offset, RIFF_HEADER, &available);
    if (wav == nullptr || available < RIFF_HEADER || std::memcmp(wav, "RIFF", 4) != 0) {
        return nullptr;
    }
    const auto whole = static_cast<std::int64_t>(format::wav_riff_bytes(wav));
    if (whole > 0x7fffffff) return nullptr;
    package_scene_bytes(package, offset, whole, &available);
    return available == whole ? wav : nullptr;
}

PresentGeometry present_geometry(const SaverState& saver) {
    return PresentGeometry{saver.world.screenWidth, saver.world.screenHeight, saver.previewWidth,
                           saver.previewHeight, saver.displayScale, saver.windowWidth,
                           saver.windowHeight};
}

// The pictures set-up refused, each with the loader's message, in the order met.
void show_refusals(RefusalLog& log) {
    const int count = log.count < RefusalLog::CAPACITY ? log.count : RefusalLog::CAPACITY;
    for (int k = 0; k < count; ++k)
        pf::MessageBoxA(nullptr, bmp_refusal_text(log.refusals[k]), CAPTION_ERROR, pf::MB_OK);
    log.count = 0;
}

void on_create(SaverState& saver, pf::HWND window) {
    World& world = saver.world;
    const Package& package = saver.package;
    // The savers of other monitors share the primary's cursor, sound and timer.
    const bool lead = saver.primarySaver == nullptr;
    if (saver.runMode == RunMode::Saver && lead) pf::ShowCursor(0);
    layers_clear(world.layerTable);
    animset_release_all(world.frameSets);
    std::memset(world.slotTable, 0, sizeof world.slotTable);
    world.pictureIndex.count = 0;
    world.refusals.count = 0;
    stretch_present_set(saver.frame, saver.runMode != RunMode::Saver ? 1 : 0);
    if (saver.runMode == RunMode::Saver) {
        pf::ImmAssociateContext(window, nullptr);
    } else {
        // Everything is built and moved at this logical size; presenting
        // stretches it onto the pane.
        world.screenWidth = 320;
        world.screenHeight = 240;
    }
    for (int k = 0; k < PACKAGE_LAYERS; ++k) {
        if (package.layerBlocks[k].enabled == 0) continue;
        layer_setup(world, package, k);
        show_refusals(world.refusals);
    }
    const bool scaled = saver.runMode == RunMode::Saver && saver.displayScale > 1;
    const DesktopArea desktop{saver.windowX, saver.windowY,
                              scaled ? saver.windowWidth : world.screenWidth,
                              scaled ? saver.windowHeight : world.screenHeight};
    const BmpRefusal refused =
        build_background(saver.frame, package, world.screenWidth, world.screenHeight, desktop);
    if (refused != BmpRefusal::None)
        pf::MessageBoxA(nullptr, bmp_refusal_text(refused), CAPTION_ERROR, pf::MB_OK);
    if (!lead) return;
    if (package.sceneHeader.soundEnabled != 0) {
        const void* wav = scene_sound(package);
        if (wav != nullptr) pf::sndPlaySoundA(static_cast<const char*>(wav), SOUND_FLAGS);
    }
    pf::SetTimer(window, TICK_TIMER_ID, TICK_PERIOD_MS, nullptr);
}

}  // namespace

void saver_mouse_moved(SaverState& saver, pf::HWND window) {
    // The message's own coordinates are client-relative and not used: the
    // test is on the cursor's step between two mouse-move messages.
    pf::POINT current{};
    pf::GetCursorPos(&current);
    if (saver.firstMouseMove == 1) {
        // However far the cursor is from anything, the first move only records.
        saver.firstMouseMove = 0;
        saver.lastCursorPos = current;
        return;
    }
    const std::int64_t dx = std::int64_t{current.x} - saver.lastCursorPos.x;
    const std::int64_t dy = std::int64_t{current.y} - saver.lastCursorPos.y;
    if (dx > MOUSE_MOVE_THRESHOLD || -dx > MOUSE_MOVE_THRESHOLD || dy > MOUSE_MOVE_THRESHOLD ||
        -dy > MOUSE_MOVE_THRESHOLD) {
        pf::PostMessageA(window, pf::WM_CLOSE, 0, 0);
    }
    saver.lastCursorPos = current;
}

namespace {

void on_close(SaverState& saver, pf::HWND window) {
    if (saver.package.sceneHeader.soundEnabled != 0) pf::sndPlaySoundA(nullptr, 0);
    pf::CloseHandle(saver.instanceGuard);
    saver.instanceGuard = nullptr;
    pf::DestroyWindow(window);
}

// A monitor's saver leaves its primary's round of ticks.
void leave_ticks(SaverState& saver) {
    SaverState& lead = *saver.primarySaver;
    int kept = 0;
    for (int k = 0; k < lead.monitorSaverCount; ++k)
        if (lead.monitorSavers[k] != &saver) lead.monitorSavers[kept++] = lead.monitorSavers[k];
    for (int k = kept; k < lead.monitorSaverCount; ++k) lead.monitorSavers[k] = nullptr;
    lead.monitorSaverCount = kept;
}

void on_destroy(SaverState& saver, pf::HWND window) {
    Frame& frame = saver.frame;
    const bool lead = saver.primarySaver == nullptr;
    if (!lead) leave_ticks(saver);
    if (saver.runMode == RunMode::Saver && lead) pf::ShowCursor(1);
    pf::KillTimer(window, TICK_TIMER_ID);
    animset_release_all(saver.world.frameSets);
    surface_release(&frame.backgroundSurface);
    surface_release(&frame.workSurface);
    // The tile or single picture (whichever the background decoded) is drawn
    // once into both surfaces and not needed after.
    surface_release(&frame.tileSurface);
    surface_release(&frame.pictureSurface);
    // The program ends with the primary's window, which takes the others along.
    if (lead) pf::PostQuitMessage(0);
}

}  // namespace

void saver_tick(SaverState& saver) {
    world_tick(saver.world);
    frame_compose(saver.frame, saver.world, saver.saverWindow, present_geometry(saver));
}

void saver_tick_all(SaverState& saver) {
    if (saver.monitorSaverCount == 0) {
        saver_tick(saver);
        return;
    }
    for (int k = 0; k < saver.monitorSaverCount; ++k) saver_tick(*saver.monitorSavers[k]);
}

SaverState& lead_saver(SaverState& saver) {
    return saver.primarySaver != nullptr ? *saver.primarySaver : saver;
}

namespace {

// The window of the lead saver (this window, unless it shows another monitor).
pf::HWND lead_window(SaverState& saver, pf::HWND window) {
    return saver.primarySaver != nullptr ? saver.primarySaver->saverWindow : window;
}

}  // namespace

SaverState* saver_of_window(pf::HWND window, pf::UINT message, pf::LPARAM lParam) {
    // The way back from a window to its saver: the window is created with the
    // saver as its creation parameter, and WM_CREATE keeps it in the window's
    // GWLP_USERDATA. Messages before WM_CREATE (and any that come after the
    // storage is gone) have no saver and take the default path.
    if (message == pf::WM_CREATE && lParam != 0) {
        const auto* create = reinterpret_cast<const pf::CREATESTRUCTA*>(lParam);
        pf::SetWindowLongPtrA(window, pf::GWLP_USERDATA,
                              reinterpret_cast<std::intptr_t>(create->lpCreateParams));
    }
    return reinterpret_cast<SaverState*>(pf::GetWindowLongPtrA(window, pf::GWLP_USERDATA));
}

pf::LRESULT saver_window_proc(pf::HWND window, pf::UINT message, pf::WPARAM wParam,
                              pf::LPARAM lParam) {
    SaverState* saver = saver_of_window(window, message, lParam);
    if (saver == nullptr) return pf::DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case pf::WM_CREATE:
        on_create(*saver, window);
        break;
    case pf::WM_TIMER:
        if (wParam == TICK_TIMER_ID) saver_tick_all(*saver);
        break;
    case pf::WM_KEYDOWN:
    case pf::WM_SYSKEYDOWN:
    case pf::WM_LBUTTONDOWN:
    case pf::WM_RBUTTONDOWN:
    case pf::WM_MBUTTONDOWN:
        // Input on any monitor's window closes the primary's, and so all.
        if (saver->runMode == RunMode::Saver)
            pf::PostMessageA(lead_window(*saver, window), pf::WM_CLOSE, 0, 0);
        break;
    case pf::WM_MOUSEMOVE:
        if (saver->runMode == RunMode::Saver)
            saver_mouse_moved(lead_saver(*saver), lead_window(*saver, window));
        break;
    case pf::WM_PAINT: {
        // Nothing is drawn here: the window shows only what the ticks present.
        pf::PAINTSTRUCT paint{};
        pf::BeginPaint(window, &paint);
        pf::EndPaint(window, &paint);
        break;
    }
    case pf::WM_CLOSE:
        on_close(lead_saver(*saver), lead_window(*saver, window));
        return 1;
    case pf::WM_DESTROY:
        on_destroy(*saver, window);
        return 1;
    default:
        break;
    }
    return pf::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace sg
