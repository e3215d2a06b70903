// Transparency masks: per frame, a mask (white where the key colour is) and a
// cut-out (black there, the picture elsewhere), drawn with SRCAND then SRCINVERT.
#pragma once

#include "scene/surface.h"

namespace sg {

void mask_build(Surface* target, int maskMode, const Surface* picture);
void cutout_build(Surface* target, int maskMode, const Surface* picture);

}  // namespace sg
