// Frame animation: one tick of every loaded slot, and the slot accessors.
#pragma once

#include "scene/surface.h"

namespace sg {

struct World;

int frames_step(World& world);
Surface* slot_current_picture(const World& world, Surface* dst, int layer, int slot);
Surface* slot_current_mask(const World& world, Surface* dst, int layer, int slot);
Surface* slot_current_cutout(const World& world, Surface* dst, int layer, int slot);
int slot_mask_mode(const World& world, int layer, int slot);
int slot_current_width(const World& world, int layer, int slot);
int slot_current_height(const World& world, int layer, int slot);
int slot_first_width(const World& world, int layer, int slot);
int slot_first_height(const World& world, int layer, int slot);
int slot_cycle_count(const World& world, int layer, int slot);
void slot_cycle_count_clear(World& world, int layer, int slot);

}  // namespace sg
