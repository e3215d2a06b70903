// The test library's side of the in-memory host: setters for what only tests
// steer, queries of the host's state, and a recorder installed as the host's
// observer when the library is linked. Shipped programs do not link it, so
// they record nothing.
#include "platform/headless/scripting.h"

#include "format/wav_rules.h"
#include "platform/headless/state.h"

namespace pf::headless {

using namespace detail;

namespace {

// The record is for order tests, which look at the start of a run; a saver
// left running must not grow it by every timer message.
constexpr std::size_t MAX_DISPATCH_RECORD = 65536;

struct Record {
    std::vector<UINT> dispatched;
    std::vector<ImeCall> imeCalls;
    std::vector<SoundCall> soundCalls;
    std::vector<ShownDialog> dialogs;
};

Record& record() {
    // Never destroyed, like the host's state: a late caller may still report.
    static Record* r = new Record;
    return *r;
}

const Observer RECORDER = {
    [] { record() = Record{}; },
    [](HWND, UINT message) {
        std::vector<UINT>& d = record().dispatched;
        if (d.size() < MAX_DISPATCH_RECORD) d.push_back(message);
    },
    [](HWND window, HIMC context) { record().imeCalls.push_back(ImeCall{window, context}); },
    [](const void* wav, UINT flags) { record().soundCalls.push_back(SoundCall{wav != nullptr, wav, flags}); },
    [](const ShownDialog& dialog) { record().dialogs.push_back(dialog); },
};

// Linking this file is what makes a program record: the recorder is in place
// before main(), so a test sees a run from its first message.
const bool RECORDER_INSTALLED = (set_observer(&RECORDER), true);

}  // namespace

void set_dialog_hook(std::function<void(HWND dialog)> hook) { state().dialogHook = std::move(hook); }
void set_dialog_fails(bool fails) { state().dialogFails = fails; }
void set_process_wide_guards(bool on) { state().processWideGuards = on; }

void hold_foreign_guard(const char* name) {
    if (!name || !*name) return;
    if (Guard* g = find_guard(name)) {
        g->foreign = true;
        return;
    }
    Guard g;
    g.name = name;
    g.foreign = true;
    state().guards.push_back(g);
}

void set_cursor_pos(int x, int y) { state().cursor = POINT{x, y}; }
void inject_timer(HWND window, WPARAM id) { pf::PostMessageA(window, WM_TIMER, id, 0); }
soft::Framebuffer* desktop_pixels() { return desktop_framebuffer(); }

std::uint64_t clock_ms() { return now(); }
int cursor_show_count() { return state().cursorCount; }
int timer_messages_delivered() { return state().timerMessages; }
int live_timers() { return static_cast<int>(state().timers.size()); }

std::vector<std::string> live_guards() {
    std::vector<std::string> names;
    for (const auto& g : state().guards)
        if (g.handles > 0) names.push_back(g.name);
    return names;
}

const std::vector<UINT>& dispatched_messages() {
    (void)RECORDER_INSTALLED;
    return record().dispatched;
}
const std::vector<ImeCall>& ime_calls() { return record().imeCalls; }
const std::vector<SoundCall>& sound_calls() { return record().soundCalls; }
const std::vector<ShownDialog>& dialogs() { return record().dialogs; }

bool a_sound_plays() {
    for (const SoundCall& call : record().soundCalls) {
        if (!call.play || call.wav == nullptr) continue;
        const auto* image = static_cast<const std::uint8_t*>(call.wav);
        const std::uint64_t riff = sg::format::wav_riff_bytes(image);
        if (sg::format::wav_plays(image, static_cast<std::size_t>(riff))) return true;
    }
    return false;
}
const Observer* recorder() { return &RECORDER; }

}  // namespace pf::headless
