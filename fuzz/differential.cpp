// validate against the engine: for any package, validate's verdict (errors
// or none) is what the saver does with it. The saver refuses a package by
// showing no window, a picture by a message box, a layer's set by leaving
// the layer's slots empty, and the sound by the player's refusing what the
// saver handed it; it accepts a package when it refuses none of these. A
// disagreement either way is a finding. Runs small (64 x 48, 5 ticks) so
// that the package decides.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/headless/scripting.h"
#include "shell/shell.h"
#include "tools/core/check.h"
#include "tools/render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const sg::packtool::Checked checked = sg::packtool::check_package(bytes);

    sg::render::Options options;
    options.width = 64;
    options.height = 48;
    options.ticks = 5;
    options.every = 5;
    bool layerRefused = false, soundRefused = false;
    options.inspect = [&](int tick, const sg::SaverState& saver) {
        if (tick != 1) return;
        for (int k = 0; k < sg::PACKAGE_LAYERS; ++k) {
            if (saver.package.layerBlocks[k].enabled != 0 && saver.world.slotTable[k][0].inUse == 0)
                layerRefused = true;
        }
        // The saver hands the player any RIFF data inside the package; the
        // player is what refuses one that is not a WAV it can read.
        if (saver.package.sceneHeader.soundEnabled != 0) soundRefused = !pf::headless::a_sound_plays();
    };
    const sg::render::Outcome outcome = sg::render::run(std::span(data, size), options, nullptr);
    const bool refused =
        !outcome.windowCreated || !outcome.messages.empty() || layerRefused || soundRefused;
    if (refused == checked.ok()) {
        std::fprintf(stderr,
                     "validate says %s (%d errors), the engine %s (%s, %zu message boxes%s%s)\n",
                     checked.ok() ? "OK" : "refused", checked.errors(), refused ? "refused" : "played",
                     outcome.windowCreated ? "a window" : "no window", outcome.messages.size(),
                     layerRefused ? ", a layer's set refused" : "", soundRefused ? ", the sound refused" : "");
        for (const auto& p : checked.problems)
            std::fprintf(stderr, "  %s\n", sg::pack::to_string(p).c_str());
    }
    sg::fuzz::check(refused != checked.ok(), "validate and the engine disagree");
    sg::fuzz::check_nothing_alive("the window was destroyed");
    return 0;
}
