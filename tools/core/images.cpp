#include "tools/core/images.h"

#include <unistd.h>

#include "tools/core/output.h"
#include "tools/core/temp_dir.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>

#include <sys/stat.h>

namespace sg::packtool {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- PNG

bool RgbaImage::anyTransparent() const {
    for (std::size_t i = 3; i < rgba.size(); i += 4)
        if (rgba[i] < 128) return true;
    return false;
}

bool is_png(std::span<const std::uint8_t> bytes) {
    static const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    return bytes.size() >= 8 && std::memcmp(bytes.data(), sig, 8) == 0;
}

namespace {

struct PngSource {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

void png_read_memory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->bytes.size() - source->at) png_error(png, "the file ends inside the picture");
    std::memcpy(out, source->bytes.data() + source->at, length);
    source->at += length;
}

void png_error_text(png_structp png, png_const_charp message) {
    auto* text = static_cast<std::string*>(png_get_error_ptr(png));
    *text = message;
    png_longjmp(png, 1);
}

void png_no_warnings(png_structp, png_const_charp) {}

// The libpng calls that may longjmp, kept apart from C++ objects with
// destructors. `rows` receives the 16-bit samples, big-endian, top-down.
bool png16_read(png_structp png, png_infop info, png_uint_32 limit, std::vector<png_byte>& rows,
                std::vector<png_bytep>& pointers, png_uint_32& width, png_uint_32& height, int& channels,
                png_color_16p& trans, bool& failedSize) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > limit || height > limit) {
        failedSize = true;
        return false;
    }
    trans = nullptr;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_get_tRNS(png, info, nullptr, nullptr, &trans);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    channels = png_get_channels(png, info);
    const png_size_t stride = png_get_rowbytes(png, info);
    rows.resize(stride * height);
    pointers.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) pointers[y] = rows.data() + stride * y;
    png_read_image(png, pointers.data());
    return true;
}

}  // namespace

RgbaImage png16_decode(std::span<const std::uint8_t> bytes, const std::string& what) {
    std::string message;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, png_error_text, png_no_warnings);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw Failure(what + ": out of memory reading the PNG");
    }
    PngSource source{bytes, 0};
    png_set_read_fn(png, &source, png_read_memory);
    std::vector<png_byte> rows;
    std::vector<png_bytep> pointers;
    png_uint_32 width = 0, height = 0;
    int channels = 0;
    png_color_16p trans = nullptr;
    bool failedSize = false;
    const bool ok = png16_read(png, info, 8192, rows, pointers, width, height, channels, trans, failedSize);
    // tRNS belongs to `info`: copy the transparent colour before freeing it.
    const bool keyed = ok && trans != nullptr;
    const png_color_16 key = keyed ? *trans : png_color_16{};
    png_destroy_read_struct(&png, &info, nullptr);
    if (failedSize)
        throw Failure(what + ": PNG of " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels is outside 1..8192 on a side");
    if (!ok) throw Failure(what + ": damaged PNG (" + message + ")");

    RgbaImage out;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    const bool grey = channels <= 2;
    const bool alpha = channels == 2 || channels == 4;
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        std::uint16_t v[4] = {};
        for (int ch = 0; ch < channels; ++ch) {
            const png_byte* p = &rows[(i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(ch)) * 2];
            v[ch] = static_cast<std::uint16_t>((p[0] << 8) | p[1]);
        }
        std::uint16_t r = v[0], g = grey ? v[0] : v[1], b = grey ? v[0] : v[2];
        std::uint16_t a = alpha ? v[channels - 1] : 0xffff;
        if (keyed && !alpha && (grey ? r == key.gray : (r == key.red && g == key.green && b == key.blue))) a = 0;
        // 16-bit samples are the same scale as 8-bit ones: 65535 is 255.
        const std::uint16_t samples[4] = {r, g, b, a};
        for (int ch = 0; ch < 4; ++ch) out.rgba[i * 4 + static_cast<std::size_t>(ch)] = static_cast<std::uint8_t>((samples[ch] + 128) / 257);
    }
    return out;
}

RgbaImage png_decode(std::span<const std::uint8_t> bytes, const std::string& what) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        throw Failure(what + ": not a readable PNG (" + image.message + ")");
    // The simplified read takes 16-bit samples for linear light and would
    // brighten them on the way to 8 bits; those files are read sample by sample.
    if (image.format & PNG_FORMAT_FLAG_LINEAR) {
        png_image_free(&image);
        return png16_decode(bytes, what);
    }
    image.format = PNG_FORMAT_RGBA;
    // A picture wider or taller than this is no screen-saver sprite; the
    // limit also keeps a hostile header from asking for gigabytes.
    if (image.width == 0 || image.height == 0 || image.width > 8192 || image.height > 8192) {
        png_image_free(&image);
        throw Failure(what + ": PNG of " + std::to_string(image.width) + " x " +
                      std::to_string(image.height) + " pixels is outside 1..8192 on a side");
    }
    RgbaImage out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        std::string message = image.message;
        png_image_free(&image);
        throw Failure(what + ": damaged PNG (" + message + ")");
    }
    return out;
}

Bytes png_encode(const Image& picture) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_BGR;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, picture.bgr.data(), 0, nullptr))
        throw Failure(std::string("PNG encoding failed: ") + image.message);
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, picture.bgr.data(), 0, nullptr))
        throw Failure(std::string("PNG encoding failed: ") + image.message);
    out.resize(size);
    return out;
}

// ---------------------------------------------------------------- BMP

bool bmp_storable(const pack::BmpHeader& h, bool allow8) {
    return h.typeOk && h.compression == 0 && (h.bitCount == 24 || (allow8 && h.bitCount == 8)) &&
           h.headerSize == 40 && h.width > 0 && h.height > 0 && h.colorsUsed <= 256 && h.rowsInside;
}

bool bmp8_from_image(const Image& image, Bytes& out) {
    std::map<std::uint32_t, std::uint8_t> colours;
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(image.width) * image.height);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const std::uint8_t* p = &image.bgr[i * 3];
        std::uint32_t key = p[0] | (p[1] << 8) | (p[2] << 16);
        colours.emplace(key, 0);
        if (colours.size() > 256) return false;
    }
    pack::Palette8 palette;
    for (auto& [key, index] : colours) {
        index = static_cast<std::uint8_t>(palette.entries.size());
        palette.entries.push_back({static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                   static_cast<std::uint8_t>(key >> 16), 0});
    }
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const std::uint8_t* p = &image.bgr[i * 3];
        indices[i] = colours[p[0] | (p[1] << 8) | (p[2] << 16)];
    }
    out = pack::bmp8(image.width, image.height, indices, palette);
    return true;
}

// ---------------------------------------------------------------- GIF

std::string gif_error_text(int code) {
    const char* text = GifErrorString(code);
    return text ? text : "giflib error " + std::to_string(code);
}

struct GifWriter::State {
    fs::path path;
    fs::path temp;
    GifFileType* gif = nullptr;
    int width = 0;
    int height = 0;
    Image shown;         // what the viewer shows after the frames written so far
    bool anyWritten = false;
    Image pending;       // the frame waiting for its full delay
    bool havePending = false;
    int pendingMs = 0;
    int carryMs = 0;     // rounding left over from earlier delays, keeps the pace exact
    std::string error;

    void fail(const std::string& what) {
        throw Failure(path.string() + ": " + what + " (" + gif_error_text(gif ? gif->Error : 0) + ")");
    }

    void write(const Image& frame, int delayMs) {
        int total = delayMs + carryMs;
        int cs = (total + 5) / 10;
        if (cs < 1) cs = 1;
        carryMs = total - cs * 10;

        int left = 0, top = 0, right = width - 1, bottom = height - 1;
        if (anyWritten) {
            left = width, top = height, right = -1, bottom = -1;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
                    if (std::memcmp(&frame.bgr[at], &shown.bgr[at], 3) != 0) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
                }
            if (right < 0) left = top = right = bottom = 0;  // nothing changed: one pixel, same colour
        }
        int w = right - left + 1, h = bottom - top + 1;
        std::size_t n = static_cast<std::size_t>(w) * h;
        // Pixels that did not change are written transparent: long runs of one
        // index compress far better than the picture itself.
        const bool keyed = anyWritten;
        const int limit = keyed ? 255 : 256;
        std::vector<GifByteType> r(n), g(n), b(n), index(n);
        std::vector<bool> same(n, false);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::size_t at = (static_cast<std::size_t>(top + y) * width + left + x) * 3;
                const std::uint8_t* p = &frame.bgr[at];
                std::size_t i = static_cast<std::size_t>(y) * w + x;
                b[i] = p[0], g[i] = p[1], r[i] = p[2];
                same[i] = keyed && std::memcmp(p, &shown.bgr[at], 3) == 0;
            }
        GifColorType colours[256] = {};
        int colourCount = 0;
        std::unordered_map<std::uint32_t, int> exact;
        bool fits = true;
        for (std::size_t i = 0; i < n; ++i) {
            if (same[i]) continue;
            std::uint32_t key = r[i] | (g[i] << 8) | (b[i] << 16);
            auto [it, added] = exact.emplace(key, colourCount);
            if (added) {
                if (colourCount == limit) {
                    fits = false;
                    break;
                }
                colours[colourCount++] = {r[i], g[i], b[i]};
            }
            index[i] = static_cast<GifByteType>(it->second);
        }
        if (!fits) {
            colourCount = limit;
            if (GifQuantizeBuffer(static_cast<unsigned>(w), static_cast<unsigned>(h), &colourCount, r.data(),
                                  g.data(), b.data(), index.data(), colours) == GIF_ERROR)
                fail("colour reduction failed");
        }
        int transparent = NO_TRANSPARENT_COLOR;
        if (keyed) {
            transparent = colourCount++;
            for (std::size_t i = 0; i < n; ++i)
                if (same[i]) index[i] = static_cast<GifByteType>(transparent);
        }
        int bits = 1;
        while ((1 << bits) < colourCount) ++bits;
        ColorMapObject* map = GifMakeMapObject(1 << bits, colours);
        if (!map) fail("out of memory");

        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSE_DO_NOT;
        gcb.UserInputFlag = false;
        gcb.DelayTime = cs;
        gcb.TransparentColor = transparent;
        GifByteType ext[4];
        std::size_t extLen = EGifGCBToExtension(&gcb, ext);
        bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extLen), ext) != GIF_ERROR &&
                  EGifPutImageDesc(gif, left, top, w, h, false, map) != GIF_ERROR;
        for (int y = 0; ok && y < h; ++y)
            ok = EGifPutLine(gif, index.data() + static_cast<std::size_t>(y) * w, w) != GIF_ERROR;
        GifFreeMapObject(map);
        if (!ok) fail("write failed");

        // The viewer now shows the written (possibly colour-reduced) pixels.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::size_t i = static_cast<std::size_t>(y) * w + x;
                if (same[i]) continue;
                const GifColorType& c = colours[index[i]];
                std::uint8_t* p = &shown.bgr[(static_cast<std::size_t>(top + y) * width + left + x) * 3];
                p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red;
            }
        anyWritten = true;
    }
};

GifWriter::GifWriter(const fs::path& path, int width, int height) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.path = path;
    // A name nobody can have planted, opened once: giflib writes to the handle.
    const TempFile made = make_temp_file_beside(path);
    s.temp = made.path;
    s.width = width;
    s.height = height;
    s.shown.width = width;
    s.shown.height = height;
    s.shown.bgr.assign(static_cast<std::size_t>(width) * height * 3, 0);
    // The usual permissions of a new file, not mkstemp's private ones.
    set_file_mode(made.fd, 0666, false);
    int error = 0;
    s.gif = EGifOpenFileHandle(made.fd, &error);
    if (!s.gif) {
        ::close(made.fd);
        std::error_code ec;
        fs::remove(s.temp, ec);
        untrack_temp(s.temp);
        throw Failure(path.string() + ": cannot write (" + gif_error_text(error) + ")");
    }
    EGifSetGifVersion(s.gif, true);
    ColorMapObject* global = GifMakeMapObject(2, nullptr);
    bool ok = global && EGifPutScreenDesc(s.gif, width, height, 8, 0, global) != GIF_ERROR;
    GifFreeMapObject(global);
    // Loop for ever, as the saver does.
    static const GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType loop[] = {1, 0, 0};
    ok = ok && EGifPutExtensionLeader(s.gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
         EGifPutExtensionBlock(s.gif, sizeof netscape, netscape) != GIF_ERROR &&
         EGifPutExtensionBlock(s.gif, sizeof loop, loop) != GIF_ERROR &&
         EGifPutExtensionTrailer(s.gif) != GIF_ERROR;
    if (!ok) {
        EGifCloseFile(s.gif, &error);
        s.gif = nullptr;
        std::error_code ec;
        fs::remove(s.temp, ec);
        untrack_temp(s.temp);
        throw Failure(path.string() + ": cannot write the GIF header");
    }
}

GifWriter::~GifWriter() {
    if (state_ && state_->gif) {
        int error = 0;
        EGifCloseFile(state_->gif, &error);
        std::error_code ec;
        fs::remove(state_->temp, ec);
        untrack_temp(state_->temp);
    }
}

void GifWriter::add(const Image& frame, int delayMs) {
    State& s = *state_;
    if (frame.width != s.width || frame.height != s.height) throw Failure("GIF frame of the wrong size");
    if (s.havePending && s.pending.bgr == frame.bgr) {
        s.pendingMs += delayMs;
        return;
    }
    if (s.havePending) s.write(s.pending, s.pendingMs);
    s.pending = frame;
    s.pendingMs = delayMs;
    s.havePending = true;
}

fs::path GifWriter::finish() {
    State& s = *state_;
    if (s.havePending) s.write(s.pending, s.pendingMs);
    s.havePending = false;
    int error = 0;
    int result = EGifCloseFile(s.gif, &error);
    s.gif = nullptr;
    if (result == GIF_ERROR) {
        std::error_code ec;
        fs::remove(s.temp, ec);
        untrack_temp(s.temp);
        throw Failure(s.path.string() + ": cannot finish the GIF (" + gif_error_text(error) + ")");
    }
    return s.temp;
}

}  // namespace sg::packtool
