// Reducing a picture to 256 colours where there is no libimagequant (the
// studio in a browser): refused, with what to do instead.
#include "tools/core/images.h"

#include <unordered_set>

namespace sg::packtool {

Bytes bmp8_reduced(const Image& image, std::size_t& colours) {
    std::unordered_set<std::uint32_t> distinct;
    for (std::size_t i = 0; i + 2 < image.bgr.size(); i += 3)
        distinct.insert(image.bgr[i] | (image.bgr[i + 1] << 8) | (image.bgr[i + 2] << 16));
    colours = distinct.size();
    throw Failure(std::to_string(colours) + " colours do not fit in 8 bits, and the studio cannot "
                  "reduce them; use bits = 24, or build the scene with snowglobe-pack");
}

}  // namespace sg::packtool
