// Scripting and recording the in-memory host, for tests only (library
// sg_headless_scripting; never linked into a shipped program). Linking it
// installs a recorder (an Observer, headless.h) before main() runs; reset()
// empties its records.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/headless/headless.h"

namespace pf::headless {

// ---- steering the host ----
// Called after a dialog's WM_INITDIALOG; the default ends it with IDOK.
void set_dialog_hook(std::function<void(HWND dialog)> hook);
// Make DialogBoxParamA fail (return -1 without creating anything).
void set_dialog_fails(bool fails);
// Guards (CreateSemaphoreA names) are process-wide when a host driver is set
// or when this is on: another process holding the name keeps us out, and a
// process that ends, however it ends, frees its names. Otherwise they are
// known to this process only, so that test processes running side by side
// with the same scene title do not see each other.
void set_process_wide_guards(bool on);
// Simulate a guard held by another process with this name.
void hold_foreign_guard(const char* name);
void set_cursor_pos(int x, int y);
// Posts WM_TIMER with any id, for tests of the timer handler.
void inject_timer(HWND window, WPARAM id);
// The desktop's pixels (screen size, black at start), which GetDC on the
// desktop window reads and draws; a test may paint a desktop into them.
soft::Framebuffer* desktop_pixels();

// ---- the host's state ----
// The virtual clock of the in-memory host, in milliseconds (0 at start).
std::uint64_t clock_ms();
int cursor_show_count();  // ShowCursor counter, 0 at start
int timer_messages_delivered();
int live_timers();
// Names of guards currently held.
std::vector<std::string> live_guards();

// ---- what the program did, since reset() ----
// Message names in the order they reached a window procedure (for order tests);
// the first 65,536 of them, so that a long run does not grow the record.
const std::vector<UINT>& dispatched_messages();

// ImmAssociateContext calls, in order.
struct ImeCall {
    HWND window;
    HIMC context;
};
const std::vector<ImeCall>& ime_calls();

struct SoundCall {
    bool play;       // false: stop
    const void* wav;
    UINT flags;
};
const std::vector<SoundCall>& sound_calls();
// Whether a sound handed to sndPlaySoundA would be heard: the players' check
// (format/wav_rules.h) on each image passed to play. Only for images whose
// RIFF data lies in readable memory, as the saver makes sure of its sound's.
bool a_sound_plays();

const std::vector<ShownDialog>& dialogs();

// The recorder behind these records, to put back after a test installed an
// observer of its own (set_observer).
const Observer* recorder();

}  // namespace pf::headless
