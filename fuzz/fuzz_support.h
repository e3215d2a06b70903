// What the fuzz targets share: resetting the engine's state between inputs
// cheaply, and the checks that turn a quiet fault into a saved crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "package/package.h"
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
    const int gdi = pf::gdi_objects_alive();
    const int blocks = pf::headless::live_global_blocks();
    if (gdi != 0 || blocks != 0) {
        std::fprintf(stderr, "fuzz check failed: %d GDI objects and %d memory blocks alive after %s\n", gdi,
                     blocks, after);
        std::abort();
    }
}

// The package globals only: engine_reset() also clears the 6 MB slot table,
// which would cost more than most inputs.
inline void reset_package_globals() {
    packageBase = nullptr;
    packageSize = 0;
    std::memset(&packageDirectory, 0, sizeof packageDirectory);
    std::memset(&sceneHeader, 0, sizeof sceneHeader);
    std::memset(layerBlocks, 0, sizeof layerBlocks);
    std::memset(&infoBlock, 0, sizeof infoBlock);
    std::memset(optionalBlock1, 0, sizeof optionalBlock1);
    std::memset(optionalBlock2, 0, sizeof optionalBlock2);
}

}  // namespace sg::fuzz
