// sg_play: the saver in the page, by the headless renderer, tick by tick.
//
// It runs the engine's real message loop. After every tick the picture
// callback hands the frame to the page and sleeps (ASYNCIFY unwinds to the
// browser); the page wakes it for the next tick, or asks it to stop, which
// closes the saver's window as render::run itself ends a run.
//
// Built without exception catching, as the engine is: a call that may catch
// goes through a JavaScript frame (invoke_*), which ASYNCIFY cannot unwind.
#include <emscripten.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "format/wav_rules.h"
#include "platform/headless/headless.h"
#include "tools/core/sjis.h"
#include "tools/render/render.h"

// studio.cpp, where exceptions are caught.
bool studio_package_of(const char* path, std::vector<std::uint8_t>* package);
void studio_set_output(std::string text);
const std::string& studio_output();

namespace {

// ---- the running saver ----
std::vector<std::uint8_t> frame;  // RGBA, top-down, what the canvas takes
int frameWidth = 0, frameHeight = 0;
int skipUntil = 0;                // ticks before this one are not handed out

void to_rgba(const pf::soft::Framebuffer& fb) {
    frameWidth = fb.width;
    frameHeight = fb.height;
    frame.resize(static_cast<std::size_t>(fb.width) * fb.height * 4);
    std::uint8_t* out = frame.data();
    for (int y = 0; y < fb.height; ++y) {
        const std::uint8_t* p = &fb.pixels[static_cast<std::size_t>(fb.height - 1 - y) * fb.stride];
        for (int x = 0; x < fb.width; ++x, p += 3, out += 4) {
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
            out[3] = 255;
        }
    }
}

// Ends the run: the preview goes with its pane, the full-screen saver with its
// window, as render::run itself ends a run.
void close_saver() {
    namespace hl = pf::headless;
    bool closed = false;
    for (const auto& w : hl::windows())
        if (w.alive && w.foreign) closed = pf::DestroyWindow(w.handle) || closed;
    if (closed) return;
    for (const auto& w : hl::windows())
        if (w.alive && !w.foreign && w.parent == nullptr) pf::DestroyWindow(w.handle);
}

// The saver's sound goes to the page: the image the engine hands its player,
// as many bytes as its RIFF header claims (the engine plays only an image
// whose RIFF data lies inside the package), and whether the players take it.
void sound_played(const void* wav, pf::UINT flags);
pf::headless::Observer sound_observer() {
    pf::headless::Observer observer{};
    observer.sound = sound_played;
    return observer;
}
const pf::headless::Observer observer = sound_observer();

}  // namespace

EM_JS(void, studio_sound, (const std::uint8_t* wav, int bytes, int plays), {
    if (Module.onSound) Module.onSound(wav ? HEAPU8.slice(wav, wav + bytes) : null, plays !== 0);
});

namespace {

void sound_played(const void* wav, pf::UINT) {
    if (wav == nullptr) {
        studio_sound(nullptr, 0, 0);
        return;
    }
    const auto* image = static_cast<const std::uint8_t*>(wav);
    const std::uint64_t bytes = sg::format::wav_riff_bytes(image);
    studio_sound(image, static_cast<int>(bytes), sg::format::wav_plays(image, static_cast<std::size_t>(bytes)));
}

}  // namespace

// Hands tick `tick` to the page and waits for its answer: 1 go on, 0 stop.
EM_JS(int, studio_wait, (int tick), {
    return Asyncify.handleSleep(function(wakeUp) { Module.onTick(tick, wakeUp); });
});

extern "C" {

// Frames before tick `tick` are run but not handed to the page (going to a
// moment quickly).
EMSCRIPTEN_KEEPALIVE void sg_skip_until(int tick) { skipUntil = tick; }

EMSCRIPTEN_KEEPALIVE const std::uint8_t* sg_frame() { return frame.data(); }
EMSCRIPTEN_KEEPALIVE int sg_frame_width() { return frameWidth; }
EMSCRIPTEN_KEEPALIVE int sg_frame_height() { return frameHeight; }

// Runs the scene in the file `path` (a package, .scr or Linux program) on a screen of width x height (or in a
// preview pane of that size) for at most `ticks` ticks. Each handed-out tick
// calls Module.onTick(tick, wakeUp). frames = 0 leaves the pixels alone (for
// timing the engine alone). Returns the saver's exit status; sg_output() then
// holds the message boxes it showed, as `snowglobe-pack render` prints them.
EMSCRIPTEN_KEEPALIVE int sg_play(const char* path, int width, int height, int preview, int ticks, int frames) {
    sg::render::Options options;
    options.width = width;
    options.height = height;
    options.preview = preview != 0;
    options.ticks = ticks;
    std::vector<std::uint8_t> package;
    if (!studio_package_of(path, &package)) {
        studio_set_output("snowglobe-pack render: " + studio_output());
        return -1;
    }
    bool stopped = false;
    pf::headless::set_observer(&observer);
    sg::render::Outcome outcome = sg::render::run(package, options, [&](int tick, const pf::soft::Framebuffer& fb) {
        if (stopped || tick < skipUntil) return;
        if (frames) to_rgba(fb);
        if (!studio_wait(tick)) {
            stopped = true;
            close_saver();
        }
    });
    std::ostringstream text;
    for (const sg::render::Message& m : outcome.messages)
        text << "the saver showed a message box: [" << sg::packtool::sjis_display(m.caption) << "] "
             << sg::packtool::sjis_display(m.text) << "\n";
    if (!outcome.windowCreated)
        text << path << ": the saver did not run (exit status " << outcome.exitStatus
             << "); snowglobe-pack validate says why\n";
    studio_set_output(text.str());
    const int status = outcome.exitStatus;
    skipUntil = 0;
    return status;
}

}  // extern "C"
