// Frame animation: one tick of every loaded slot, and the slot accessors.
#pragma once

#include "gfx/surface.h"

namespace sg {

int frames_step();
Surface* slot_current_picture(Surface* dst, int layer, int slot);
Surface* slot_current_mask(Surface* dst, int layer, int slot);
Surface* slot_current_cutout(Surface* dst, int layer, int slot);
int slot_mask_mode(int layer, int slot);
int slot_current_width(int layer, int slot);
int slot_current_height(int layer, int slot);
int slot_first_width(int layer, int slot);
int slot_first_height(int layer, int slot);
int slot_cycle_count(int layer, int slot);
void slot_cycle_count_clear(int layer, int slot);

}  // namespace sg
