// Appearance delays: wait-after-cycle and wait-after-exit.
#pragma once

namespace sg {

struct World;

void max_wait_set(World& world, int layer, int ticks);
void wait_after_cycle_set(World& world, int layer, int on);
void wait_after_exit_set(World& world, int layer, int on);
bool wait_after_cycle_on(const World& world, int layer);
bool wait_after_exit_on(const World& world, int layer);
bool cycle_wait_running(const World& world, int layer, int slot);
bool exit_wait_running(const World& world, int layer, int slot);
bool any_cycle_wait_running(const World& world, int layer);
bool slot_at_last_frame(const World& world, int layer, int slot);
void cycle_waits_draw(World& world, int layer);
void exit_waits_draw_initial(World& world, int layer);
void exit_mark(World& world, int layer, int slot);
void exit_waits_draw(World& world, int layer);
void cycle_waits_count_down(World& world, int layer);
void exit_waits_count_down(World& world, int layer);
// The one question three places ask: does this slot sit out this tick?
bool slot_waits(const World& world, int layer, int slot);

}  // namespace sg
