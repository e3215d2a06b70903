// Placement and motion: first positions, travel, sway, exit test, re-entry.
#pragma once

namespace sg {

void instances_place(int layer);
void instance_enter(int layer, int slot, int w, int h);
void cycle_reentry_check(int layer, int slot);
void motion_step(int layer, int slot);

}  // namespace sg
