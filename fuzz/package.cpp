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

    // The package part of a saver only: a whole saver would cost more than
    // most inputs.
    static sg::Package package;  // static: 54 KB, too much for the stack of every run
    const bool ok = sg::package_copy_out(package, nullptr);
    // Accepted: every fixed block was inside and the title ends in its 300 bytes.
    // Refused: nothing happened and nothing can be read through the package
    // (the program shows the "err"/"hres" box). Neither shows a box here.
    sg::fuzz::check(hl::message_boxes().empty(), "the package reader showed a message box");
    if (ok) {
        const char* title = package.sceneHeader.title;
        sg::fuzz::check(std::memchr(title, 0, sizeof package.sceneHeader.title) != nullptr,
                        "an accepted title has no NUL");
        sg::fuzz::check(package.packageSize == size, "packageSize is not the resource size");
    } else {
        sg::fuzz::check(package.packageBase == nullptr && package.packageSize == 0,
                        "a refused package can still be read");
    }
    sg::fuzz::check_nothing_alive("package_copy_out");
    return 0;
}
