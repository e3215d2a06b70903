// Appearance delays: wait-after-cycle and wait-after-exit.
#pragma once

namespace sg {

void max_wait_set(int layer, int ticks);
void wait_after_cycle_set(int layer, int on);
void wait_after_exit_set(int layer, int on);
int wait_after_cycle_on(int layer);
int wait_after_exit_on(int layer);
int cycle_wait_running(int layer, int slot);
int exit_wait_running(int layer, int slot);
int any_cycle_wait_running(int layer);
int slot_at_last_frame(int layer, int slot);
void cycle_waits_draw(int layer);
void exit_waits_draw_initial(int layer);
void exit_mark(int layer, int slot);
int exit_waits_draw(int layer);
void cycle_waits_count_down(int layer);
void exit_waits_count_down(int layer);
// The one question three places ask: does this slot sit out this tick?
int slot_waits(int layer, int slot);

}  // namespace sg
