// A BMP file image: surface_load_bmp on exactly the input's bytes; an
// accepted picture is read whole and, when 24-bit, gets its mask and cut-out.
#include <climits>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "scene/mask.h"
#include "scene/surface.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace hl = pf::headless;
    if (size > INT_MAX) return 0;
    hl::reset();

    sg::Surface picture{};
    sg::surface_reset(&picture);  // the loader's callers reset the record first
    sg::BmpRefusal refusal = sg::BmpRefusal::None;
    const bool loaded = sg::surface_load_bmp(&picture, data, static_cast<int>(size), &refusal);
    sg::fuzz::check(hl::message_boxes().empty(), "the loader showed a message box");
    if (loaded) {
        sg::fuzz::check(refusal == sg::BmpRefusal::None, "an accepted picture came with a refusal");
        const int width = sg::surface_width(&picture);
        const int height = sg::surface_height(&picture);
        sg::fuzz::check(picture.bits != nullptr && width > 0 && height > 0, "accepted picture without pixels");
        // Every row the surface claims must be there (AddressSanitizer watches).
        unsigned sum = 0;
        const long long bytes = static_cast<long long>(sg::surface_stride(&picture)) * height;
        for (long long i = 0; i < bytes; ++i) sum += picture.bits[i];
        volatile unsigned keep = sum;
        (void)keep;
        if (picture.infoHeader.biBitCount == 24) {
            const int maskMode = static_cast<int>(size % 5);  // 0..3 and one out of range
            sg::Surface mask{}, cutout{};
            sg::mask_build(&mask, maskMode, &picture);
            sg::cutout_build(&cutout, maskMode, &picture);
            sg::surface_release(&mask);
            sg::surface_release(&cutout);
        }
    } else {
        sg::fuzz::check(picture.dib == nullptr && picture.memoryDC == nullptr, "a refused picture kept a bitmap");
    }
    sg::surface_release(&picture);
    sg::fuzz::check_nothing_alive("surface_release");
    return 0;
}
