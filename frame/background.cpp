// The background: black, white, the desktop, a tiled picture or one picture,
// drawn once into both full-screen surfaces at window creation.
#include "frame/background.h"

#include "scene/package.h"

namespace sg {

namespace {

// Decodes a picture of the scene chunk. Only the bytes that exist are handed
// to the loader: a picture placed outside the package reaches it empty and is
// refused with the loader's own message.
bool load_scene_picture(const Package& package, Surface* target, std::int32_t offset,
                        std::int32_t size, BmpRefusal* refusal) {
    surface_reset(target);
    int available = 0;
    const std::uint8_t* bytes = package_scene_bytes(package, offset, size, &available);
    if (bytes == nullptr) return false;
    return surface_load_bmp(target, bytes, available, refusal);
}

void fill(Surface* surface, int width, int height, pf::DWORD rop) {
    pf::BitBlt(surface->memoryDC, 0, 0, width, height, nullptr, 0, 0, rop);
}

void copy_desktop(Surface* surface, int width, int height, const DesktopArea& area) {
    pf::HWND desktop = pf::GetDesktopWindow();
    pf::HDC dc = pf::GetDC(desktop);
    if (dc != nullptr) {
        if (area.width == width && area.height == height) {
            pf::BitBlt(surface->memoryDC, 0, 0, width, height, dc, area.x, area.y, pf::SRCCOPY);
        } else {
            pf::StretchBlt(surface->memoryDC, 0, 0, width, height, dc, area.x, area.y, area.width,
                           area.height, pf::SRCCOPY);
        }
        pf::ReleaseDC(desktop, dc);
    }
}

void draw_tiles(Surface* surface, const Surface& tile, int columns, int rows, int tileWidth, int tileHeight) {
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < columns; ++j) {
            pf::BitBlt(surface->memoryDC, j * tileWidth, i * tileHeight, tileWidth, tileHeight,
                       tile.memoryDC, 0, 0, pf::SRCCOPY);
        }
    }
}

void draw_picture(Surface* surface, const Surface& picture, int fit, int width, int height) {
    fill(surface, width, height, pf::BLACKNESS);
    if (picture.memoryDC == nullptr) return;  // refused: stays black
    const int pw = surface_width(&picture);
    const int ph = surface_height(&picture);
    if (fit == 0) {
        // C++ division truncates toward zero, as the centring requires:
        // one pixel too wide stays at 0, three pixels too wide go to -1.
        pf::BitBlt(surface->memoryDC, (width - pw) / 2, (height - ph) / 2, pw, ph,
                   picture.memoryDC, 0, 0, pf::SRCCOPY);
    } else if (fit == 1) {
        pf::StretchBlt(surface->memoryDC, 0, 0, width, height, picture.memoryDC, 0, 0, pw,
                       ph, pf::SRCCOPY);
    }
}

}  // namespace

void background_tile_grid(int width, int height, int tileWidth, int tileHeight, int* columns,
                          int* rows) {
    if (tileWidth <= 0 || tileHeight <= 0) {
        *columns = 0;
        *rows = 0;
        return;
    }
    *columns = width / tileWidth + 1;
    *rows = height / tileHeight + 1;
}

BmpRefusal build_background(Frame& frame, const Package& package, int width, int height,
                            const DesktopArea& desktop) {
    BmpRefusal refusal = BmpRefusal::None;
    const SceneHeader& header = package.sceneHeader;
    surface_reset(&frame.backgroundSurface);
    surface_reset(&frame.workSurface);
    surface_create(&frame.backgroundSurface, width, height, 24);
    surface_create(&frame.workSurface, width, height, 24);

    Surface* const targets[2] = {&frame.backgroundSurface, &frame.workSurface};
    switch (format::background_mode(header.backgroundMode)) {
    case BackgroundMode::Black:
        for (Surface* s : targets) fill(s, width, height, pf::BLACKNESS);
        break;
    case BackgroundMode::White:
        for (Surface* s : targets) fill(s, width, height, pf::WHITENESS);
        break;
    case BackgroundMode::Desktop:
        // Taken while the saver window is still invisible: the desktop alone.
        for (Surface* s : targets) copy_desktop(s, width, height, desktop);
        break;
    case BackgroundMode::Tiled: {
        Surface& tile = frame.tileSurface;
        if (!load_scene_picture(package, &tile, header.tileOffset, header.tileSize, &refusal)) break;
        const int tw = surface_width(&tile);
        const int th = surface_height(&tile);
        int columns = 0;
        int rows = 0;
        background_tile_grid(width, height, tw, th, &columns, &rows);
        for (Surface* s : targets) draw_tiles(s, tile, columns, rows, tw, th);
        break;
    }
    case BackgroundMode::Picture:
        load_scene_picture(package, &frame.pictureSurface, header.pictureOffset, header.pictureSize,
                           &refusal);
        for (Surface* s : targets)
            draw_picture(s, frame.pictureSurface, header.pictureFit, width, height);
        break;
    case BackgroundMode::Unknown:
        break;  // the surfaces stay as created
    }
    return refusal;
}

}  // namespace sg
