// JPEG pictures where there is no libjpeg (the studio in a browser): refused,
// with what to do instead.
#include "tools/core/decoders.h"

namespace sg::packtool {

RgbaImage jpeg_decode(std::span<const std::uint8_t>, const std::string& what) {
    throw Failure(what + ": a JPEG picture, which the studio cannot read; convert it to PNG, or "
                         "build the scene with snowglobe-pack");
}

}  // namespace sg::packtool
