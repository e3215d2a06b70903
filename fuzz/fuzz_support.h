// What the fuzz targets share: resetting the engine's state between inputs
// cheaply, and the checks that turn a quiet fault into a saved crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/diagnostics.h"
#include "scene/package.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace sg::fuzz {

// Stops the run; libFuzzer keeps the input that got here as a crash.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char* what) {
    if (!holds) fail(what);
}

// Whatever the engine built for an input must be gone once it released it.
inline void check_nothing_alive(const char* after) {
    const int gdi = pf::diagnostics::gdi_objects_alive();
    const int blocks = pf::headless::live_global_blocks();
    if (gdi != 0 || blocks != 0) {
        std::fprintf(stderr, "fuzz check failed: %d GDI objects and %d memory blocks alive after %s\n", gdi,
                     blocks, after);
        std::abort();
    }
}

}  // namespace sg::fuzz
