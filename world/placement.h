// Placement and motion: first positions, travel, sway, exit test, re-entry.
#pragma once

namespace sg {

struct World;

void instances_place(World& world, int layer);
void instance_enter(World& world, int layer, int slot, int w, int h);
void cycle_reentry_check(World& world, int layer, int slot);
void motion_step(World& world, int layer, int slot);

}  // namespace sg
