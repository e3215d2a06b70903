// Animated GIFs read as a layer's frames: each frame composited on what the
// viewer showed before it, by the previous frame's disposal method.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "tools/core/decoders.h"

namespace sg::packtool {

namespace {

struct GifSource {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

int gif_read_memory(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), source->bytes.size() - source->at);
    std::memcpy(out, source->bytes.data() + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser() {
        int error = 0;
        if (gif) DGifCloseFile(gif, &error);
    }
};

}  // namespace

std::vector<GifFrame> gif_decode(std::span<const std::uint8_t> bytes, const std::string& what, int maxFrames) {
    GifSource source{bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, gif_read_memory, &error);
    if (!gif) throw Failure(what + ": not a readable GIF (" + gif_error_text(error) + ")");
    GifCloser closer{gif};
    auto damaged = [&](const char* doing) -> Failure {
        return Failure(what + ": damaged GIF while " + doing + " (" + gif_error_text(gif->Error) + ")");
    };
    const int width = gif->SWidth, height = gif->SHeight;
    if (width <= 0 || height <= 0 || width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE)
        throw Failure(what + ": GIF of " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels is outside 1.." + std::to_string(MAX_PICTURE_SIDE) + " on a side");

    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    std::vector<std::uint8_t> canvas(pixels * 4, 0);  // starts transparent
    std::vector<GifFrame> frames;
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    std::vector<GifByteType> line;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) throw damaged("reading its records");
        if (record == TERMINATE_RECORD_TYPE) break;
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) throw damaged("reading an extension");
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
                DGifExtensionToGCB(block[0], block + 1, &gcb);
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) throw damaged("reading an extension");
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR) throw damaged("reading a frame's header");
        if (static_cast<int>(frames.size()) == maxFrames)
            throw Failure(what + ": has more than " + std::to_string(maxFrames) + " frames; a layer shows at most " +
                          std::to_string(maxFrames));
        // Every frame is a whole picture in memory: keep them to what one
        // 8192 x 8192 picture would take.
        if ((frames.size() + 1) * pixels > static_cast<std::size_t>(MAX_PICTURE_SIDE) * MAX_PICTURE_SIDE)
            throw Failure(what + ": " + std::to_string(frames.size() + 1) + " frames of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels are more than a layer's frames hold (" +
                          std::to_string(MAX_PICTURE_SIDE) + " x " + std::to_string(MAX_PICTURE_SIDE) + " pixels in all)");
        const GifImageDesc& d = gif->Image;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        if (!map) throw Failure(what + ": frame " + std::to_string(frames.size()) + " has no colour table");
        if (d.Width <= 0 || d.Height <= 0 || d.Width > MAX_PICTURE_SIDE || d.Height > MAX_PICTURE_SIDE)
            throw Failure(what + ": frame " + std::to_string(frames.size()) + " of " + std::to_string(d.Width) + " x " +
                          std::to_string(d.Height) + " pixels is outside 1.." + std::to_string(MAX_PICTURE_SIDE));

        // "Restore to previous" needs the canvas as it was before this frame.
        std::vector<std::uint8_t> before;
        if (gcb.DisposalMode == DISPOSE_PREVIOUS) before = canvas;

        // Interlaced frames arrive in four passes of rows.
        std::vector<int> rows;
        if (d.Interlace) {
            const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = starts[pass]; y < d.Height; y += steps[pass]) rows.push_back(y);
        } else {
            for (int y = 0; y < d.Height; ++y) rows.push_back(y);
        }
        line.resize(static_cast<std::size_t>(d.Width));
        for (int y : rows) {
            if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) throw damaged("reading a frame's pixels");
            const int cy = d.Top + y;
            if (cy < 0 || cy >= height) continue;
            for (int x = 0; x < d.Width; ++x) {
                const int cx = d.Left + x;
                if (cx < 0 || cx >= width) continue;
                const int index = line[static_cast<std::size_t>(x)];
                if (index == gcb.TransparentColor) continue;
                std::uint8_t* p = &canvas[(static_cast<std::size_t>(cy) * width + cx) * 4];
                if (index < map->ColorCount) {
                    const GifColorType& c = map->Colors[index];
                    p[0] = c.Red, p[1] = c.Green, p[2] = c.Blue;
                } else {
                    p[0] = p[1] = p[2] = 0;  // an index past the table: black, as viewers show it
                }
                p[3] = 255;
            }
        }
        GifFrame frame;
        frame.image.width = width;
        frame.image.height = height;
        frame.image.rgba = canvas;
        frame.delayMs = gcb.DelayTime * 10;
        frames.push_back(std::move(frame));

        // This frame's disposal prepares the canvas for the next one.
        if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
            // Viewers clear to transparent, not to the background colour.
            for (int y = std::max(d.Top, 0); y < std::min(d.Top + d.Height, height); ++y)
                for (int x = std::max(d.Left, 0); x < std::min(d.Left + d.Width, width); ++x)
                    std::memset(&canvas[(static_cast<std::size_t>(y) * width + x) * 4], 0, 4);
        } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = std::move(before);
        }
        gcb = GraphicsControlBlock{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    }
    if (frames.empty()) throw Failure(what + ": the GIF holds no frames");
    return frames;
}

}  // namespace sg::packtool
