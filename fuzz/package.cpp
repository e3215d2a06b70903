// The package container and scene header: package_copy_out on the input as
// the "KAVREN"/103 resource, exactly as many bytes as the input has.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace hl = pf::headless;
    hl::reset();
    // The package globals only: engine_reset() also clears the 6 MB slot
    // table, which would cost more than most inputs.
    sg::package_globals_reset();
    hl::set_package(data, size);

    const int ok = sg::package_copy_out(nullptr);
    // Accepted: every fixed block was inside and the title ends in its 300 bytes.
    // Refused: the one "err"/"hres" box, and nothing else happened.
    if (ok) {
        sg::fuzz::check(hl::message_boxes().empty(), "an accepted package showed a message box");
        sg::fuzz::check(std::memchr(sg::sceneHeader.title, 0, sizeof sg::sceneHeader.title) != nullptr,
                        "an accepted title has no NUL");
        sg::fuzz::check(sg::packageSize == size, "packageSize is not the resource size");
    } else {
        sg::fuzz::check(hl::message_boxes().size() == 1, "a refused package did not show exactly one box");
    }
    sg::fuzz::check_nothing_alive("package_copy_out");
    return 0;
}
