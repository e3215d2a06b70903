// What tests, the soak runs and the benchmarks read from a backend beside the
// OS interface: live GDI objects, blit counts, a recorder for message boxes
// and a restart of the random sequence. The engine never calls these; every
// backend (win32, soft with headless) provides them, so the same test runs
// natively and under wine.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace pf::diagnostics {

// Device contexts and bitmaps this process created through pf:: and has not
// deleted yet (stock objects and window DCs from GetDC not counted).
int gdi_objects_alive();
// BitBlt and StretchBlt calls this process has made through pf:: (what a
// tick costs in GDI requests).
std::uint64_t gdi_blit_calls();
// Record message boxes through this function instead of showing them
// (nullptr: show them again). The box then counts as answered with IDOK.
using MessageBoxCapture = void (*)(HWND owner, const char* text, const char* caption, UINT type);
void set_message_box_capture(MessageBoxCapture capture);
// pf::rand back to its state at program start (srand(1)).
void rand_reset();

}  // namespace pf::diagnostics
