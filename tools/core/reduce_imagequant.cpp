// Reducing a picture to 256 colours, with libimagequant.
#include "tools/core/images.h"

#include <libimagequant.h>

#include <unordered_set>

namespace sg::packtool {

Bytes bmp8_reduced(const Image& image, std::size_t& colours) {
    const std::size_t n = static_cast<std::size_t>(image.width) * image.height;
    std::vector<std::uint8_t> rgba(n * 4);
    std::unordered_set<std::uint32_t> distinct;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = &image.bgr[i * 3];
        rgba[4 * i] = p[2], rgba[4 * i + 1] = p[1], rgba[4 * i + 2] = p[0], rgba[4 * i + 3] = 255;
        distinct.insert(p[0] | (p[1] << 8) | (p[2] << 16));
    }
    colours = distinct.size();
    struct Freer {
        liq_attr* attr = nullptr;
        liq_image* image = nullptr;
        liq_result* result = nullptr;
        ~Freer() {
            if (result) liq_result_destroy(result);
            if (image) liq_image_destroy(image);
            if (attr) liq_attr_destroy(attr);
        }
    } liq;
    liq.attr = liq_attr_create();
    if (!liq.attr) throw Failure("out of memory reducing colours");
    liq_set_max_colors(liq.attr, 256);
    liq.image = liq_image_create_rgba(liq.attr, rgba.data(), image.width, image.height, 0);
    if (!liq.image || liq_image_quantize(liq.image, liq.attr, &liq.result) != LIQ_OK)
        throw Failure("colour reduction failed");
    liq_set_dithering_level(liq.result, 1.0f);
    std::vector<std::uint8_t> indices(n);
    if (liq_write_remapped_image(liq.result, liq.image, indices.data(), indices.size()) != LIQ_OK)
        throw Failure("colour reduction failed");
    const liq_palette* found = liq_get_palette(liq.result);
    pack::Palette8 palette;
    for (unsigned i = 0; i < found->count; ++i)
        palette.entries.push_back({found->entries[i].b, found->entries[i].g, found->entries[i].r, 0});
    return pack::bmp8(image.width, image.height, indices, palette);
}

}  // namespace sg::packtool
