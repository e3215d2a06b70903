// Frame animation: one tick of every loaded slot, and the slot accessors.
#pragma once

#include "scene/surface.h"

namespace sg {

struct World;

void frames_step(World& world);
// Views of the surfaces a slot shows now: an empty surface before its first
// step, for a slot out of range, or a frame that was refused.
const Surface* slot_current_picture(const World& world, int layer, int slot);
const Surface* slot_current_mask(const World& world, int layer, int slot);
const Surface* slot_current_cutout(const World& world, int layer, int slot);
int slot_mask_mode(const World& world, int layer, int slot);
int slot_current_width(const World& world, int layer, int slot);
int slot_current_height(const World& world, int layer, int slot);
int slot_first_width(const World& world, int layer, int slot);
int slot_first_height(const World& world, int layer, int slot);
int slot_cycle_count(const World& world, int layer, int slot);
void slot_cycle_count_clear(World& world, int layer, int slot);

}  // namespace sg
