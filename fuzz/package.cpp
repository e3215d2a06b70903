// The package container and scene header: package_copy_out on the input as
// the "KAVREN"/103 resource, exactly as many bytes as the input has.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace hl = pf::headless;
    hl::reset();
    hl::set_package(data, size);

    // The package part of a saver only: a whole saver holds the 6 MB slot
    // table, which would cost more than most inputs.
    static sg::Package package;  // static: 54 KB, too much for the stack of every run
    const int ok = sg::package_copy_out(package, nullptr);
    // Accepted: every fixed block was inside and the title ends in its 300 bytes.
    // Refused: the one "err"/"hres" box, and nothing else happened.
    if (ok) {
        sg::fuzz::check(hl::message_boxes().empty(), "an accepted package showed a message box");
        const char* title = package.sceneHeader.title;
        sg::fuzz::check(std::memchr(title, 0, sizeof package.sceneHeader.title) != nullptr,
                        "an accepted title has no NUL");
        sg::fuzz::check(package.packageSize == size, "packageSize is not the resource size");
    } else {
        sg::fuzz::check(hl::message_boxes().size() == 1, "a refused package did not show exactly one box");
    }
    sg::fuzz::check_nothing_alive("package_copy_out");
    return 0;
}
