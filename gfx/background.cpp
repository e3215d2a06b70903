// The background: black, white, the desktop, a tiled picture or one picture,
// drawn once into both full-screen surfaces at window creation.
#include "gfx/background.h"

#include "package/package.h"
#include "shell/shell.h"

namespace sg {

Surface backgroundSurface;
Surface workSurface;
Surface tileSurface;
Surface pictureSurface;

namespace {

// Decodes a picture of the scene chunk. Only the bytes that exist are handed
// to the loader: a picture placed outside the package reaches it empty and is
// refused with the loader's own message.
int load_scene_picture(Surface* target, std::int32_t offset, std::int32_t size) {
    surface_reset(target);
    int available = 0;
    const std::uint8_t* bytes = package_scene_bytes(offset, size, &available);
    if (bytes == nullptr) return 0;
    return surface_load_bmp(target, bytes, available);
}

void fill(Surface* surface, int width, int height, pf::DWORD rop) {
    pf::BitBlt(surface->memoryDC, 0, 0, width, height, nullptr, 0, 0, rop);
}

void copy_desktop(Surface* surface, int width, int height) {
    pf::HWND desktop = pf::GetDesktopWindow();
    pf::HDC dc = pf::GetDC(desktop);
    if (dc != nullptr) {
        pf::BitBlt(surface->memoryDC, 0, 0, width, height, dc, 0, 0, pf::SRCCOPY);
        pf::ReleaseDC(desktop, dc);
    }
}

void draw_tiles(Surface* surface, int columns, int rows, int tileWidth, int tileHeight) {
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < columns; ++j) {
            pf::BitBlt(surface->memoryDC, j * tileWidth, i * tileHeight, tileWidth, tileHeight,
                       tileSurface.memoryDC, 0, 0, pf::SRCCOPY);
        }
    }
}

void draw_picture(Surface* surface, int width, int height) {
    fill(surface, width, height, pf::BLACKNESS);
    if (pictureSurface.memoryDC == nullptr) return;  // refused: stays black
    const int pw = surface_width(&pictureSurface);
    const int ph = surface_height(&pictureSurface);
    if (sceneHeader.pictureFit == 0) {
        // C++ division truncates toward zero, as the centring requires:
        // one pixel too wide stays at 0, three pixels too wide go to -1.
        pf::BitBlt(surface->memoryDC, (width - pw) / 2, (height - ph) / 2, pw, ph,
                   pictureSurface.memoryDC, 0, 0, pf::SRCCOPY);
    } else if (sceneHeader.pictureFit == 1) {
        pf::StretchBlt(surface->memoryDC, 0, 0, width, height, pictureSurface.memoryDC, 0, 0, pw,
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

void build_background() {
    const int width = screenWidth;
    const int height = screenHeight;
    surface_reset(&backgroundSurface);
    surface_reset(&workSurface);
    surface_create(&backgroundSurface, width, height, 24);
    surface_create(&workSurface, width, height, 24);

    Surface* const targets[2] = {&backgroundSurface, &workSurface};
    switch (sceneHeader.backgroundMode) {
    case Black:
        for (Surface* s : targets) fill(s, width, height, pf::BLACKNESS);
        break;
    case White:
        for (Surface* s : targets) fill(s, width, height, pf::WHITENESS);
        break;
    case Desktop:
        // Taken while the saver window is still invisible: the desktop alone.
        for (Surface* s : targets) copy_desktop(s, width, height);
        break;
    case Tiled: {
        if (!load_scene_picture(&tileSurface, sceneHeader.tileOffset, sceneHeader.tileSize)) break;
        const int tw = surface_width(&tileSurface);
        const int th = surface_height(&tileSurface);
        int columns = 0;
        int rows = 0;
        background_tile_grid(width, height, tw, th, &columns, &rows);
        for (Surface* s : targets) draw_tiles(s, columns, rows, tw, th);
        break;
    }
    case Picture:
        load_scene_picture(&pictureSurface, sceneHeader.pictureOffset, sceneHeader.pictureSize);
        for (Surface* s : targets) draw_picture(s, width, height);
        break;
    default:
        break;  // unknown modes keep the surfaces as created
    }
}

}  // namespace sg
