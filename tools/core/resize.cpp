#include "tools/core/resize.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "tools/core/decoders.h"
#include "tools/core/manifest.h"

// The resampler is a single header that holds its own implementation; its
// code is not held to this project's warning flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#include <stb/stb_image_resize.h>
#pragma GCC diagnostic pop

namespace sg::packtool {

std::optional<PictureSize> parse_resize(const std::string& text, std::string& why) {
    if (text == "screen") return PictureSize{SMALL_SCREEN_WIDTH, SMALL_SCREEN_HEIGHT};
    const std::size_t x = text.find_first_of("xX");
    auto side = [&](std::string_view digits, int& out) {
        if (digits.empty() || digits.size() > 9) return false;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
        return ec == std::errc() && end == digits.data() + digits.size();
    };
    PictureSize size;
    if (x == std::string::npos || !side(std::string_view(text).substr(0, x), size.width) ||
        !side(std::string_view(text).substr(x + 1), size.height)) {
        why = "\"" + text + "\" is not a size; write \"WIDTHxHEIGHT\" (e.g. \"1366x768\") or \"screen\"";
        return std::nullopt;
    }
    if (size.width < 1 || size.height < 1 || size.width > MAX_PICTURE_SIDE || size.height > MAX_PICTURE_SIDE) {
        why = std::to_string(size.width) + " x " + std::to_string(size.height) + " is outside 1.." +
              std::to_string(MAX_PICTURE_SIDE) + " pixels on a side";
        return std::nullopt;
    }
    return size;
}

RgbaImage cover(const RgbaImage& image, PictureSize to) {
    // The covering size, rounded to whole pixels, and the window of it that
    // is kept: the source region that window shows is what gets resampled.
    const double scale = std::max(static_cast<double>(to.width) / image.width, static_cast<double>(to.height) / image.height);
    const double coverW = std::max<double>(to.width, std::floor(image.width * scale + 0.5));
    const double coverH = std::max<double>(to.height, std::floor(image.height * scale + 0.5));
    const double left = std::floor((coverW - to.width) / 2), top = std::floor((coverH - to.height) / 2);
    RgbaImage out;
    out.width = to.width;
    out.height = to.height;
    out.rgba.assign(static_cast<std::size_t>(to.width) * to.height * 4, 0);
    if (coverW == image.width && coverH == image.height) {
        // Already the covering size: only cropped, every pixel as it was.
        const std::size_t x = static_cast<std::size_t>(left), y = static_cast<std::size_t>(top), w = static_cast<std::size_t>(to.width);
        for (std::size_t row = 0; row < static_cast<std::size_t>(to.height); ++row)
            std::copy_n(image.rgba.begin() + static_cast<std::ptrdiff_t>(((y + row) * static_cast<std::size_t>(image.width) + x) * 4),
                        w * 4, out.rgba.begin() + static_cast<std::ptrdiff_t>(row * w * 4));
        return out;
    }
    const int done = stbir_resize_region(image.rgba.data(), image.width, image.height, image.width * 4, out.rgba.data(), to.width,
                        to.height, to.width * 4, STBIR_TYPE_UINT8, 4, 3, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP,
                        STBIR_FILTER_DEFAULT, STBIR_FILTER_DEFAULT, STBIR_COLORSPACE_LINEAR, nullptr,
                        static_cast<float>(left / coverW), static_cast<float>(top / coverH),
                        static_cast<float>((left + to.width) / coverW), static_cast<float>((top + to.height) / coverH));
    if (!done)
        throw Failure("not enough memory to resize a picture of " + std::to_string(image.width) + " x " +
                      std::to_string(image.height) + " to " + std::to_string(to.width) + " x " + std::to_string(to.height));
    return out;
}

void mirror(RgbaImage& image, bool horizontal) {
    auto pixel = [&](int x, int y) { return image.rgba.begin() + (static_cast<std::ptrdiff_t>(y) * image.width + x) * 4; };
    if (horizontal) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width / 2; ++x) std::swap_ranges(pixel(x, y), pixel(x, y) + 4, pixel(image.width - 1 - x, y));
    } else {
        for (int y = 0; y < image.height / 2; ++y) std::swap_ranges(pixel(0, y), pixel(0, y + 1), pixel(0, image.height - 1 - y));
    }
}

RgbaImage rgba_of(const Image& image) {
    RgbaImage out;
    out.width = image.width;
    out.height = image.height;
    const std::size_t n = static_cast<std::size_t>(image.width) * image.height;
    out.rgba.resize(n * 4);
    for (std::size_t p = 0; p < n; ++p) {
        for (int ch = 0; ch < 3; ++ch) out.rgba[4 * p + ch] = image.bgr[3 * p + 2 - ch];
        out.rgba[4 * p + 3] = 255;
    }
    return out;
}

Image bgr_of(const RgbaImage& image) {
    Image out;
    out.width = image.width;
    out.height = image.height;
    const std::size_t n = static_cast<std::size_t>(image.width) * image.height;
    out.bgr.resize(n * 3);
    for (std::size_t p = 0; p < n; ++p)
        for (int ch = 0; ch < 3; ++ch) out.bgr[3 * p + ch] = image.rgba[4 * p + 2 - ch];
    return out;
}

}  // namespace sg::packtool
