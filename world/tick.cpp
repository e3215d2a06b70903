// One tick of the world. The order here is the order of the random draws:
// for each active layer and each of its instances, the re-entry check, then
// the draw decision, then the motion step; then the layer's delays.
#include "world/delays.h"
#include "world/frames.h"
#include "world/placement.h"
#include "world/world.h"

namespace sg {

namespace {

void tick_layer(World& world, int layer) {
    LayerRecord& record = world.layerTable[layer];
    const int count = clamp_instance_count(record.instanceCount);
    for (int j = 0; j < count; ++j) {
        record.drawMaskMode = slot_mask_mode(world, layer, j);
        record.drawPicture = slot_current_picture(world, layer, j);

        cycle_reentry_check(world, layer, j);

        if (!slot_waits(world, layer, j) && world.drawCount < MAX_SPRITE_DRAWS) {
            // Drawn where the previous tick (or the re-entry just above) left
            // it; this tick's move is first seen on the next tick.
            world.drawList[world.drawCount++] = SpriteDraw{
                layer,
                j,
                record.x[j],
                record.y[j],
                surface_width(record.drawPicture),
                surface_height(record.drawPicture),
                record.drawMaskMode,
                record.drawPicture,
                slot_current_mask(world, layer, j),
                slot_current_cutout(world, layer, j),
            };
        }

        motion_step(world, layer, j);
    }

    if (wait_after_cycle_on(world, layer)) {
        if (!any_cycle_wait_running(world, layer)) cycle_waits_draw(world, layer);
        cycle_waits_count_down(world, layer);
    }
    if (wait_after_exit_on(world, layer)) {
        exit_waits_draw(world, layer);
        exit_waits_count_down(world, layer);
    }
}

}  // namespace

void world_tick(World& world) {
    frames_step(world);
    world.drawCount = 0;
    for (int layer = 0; layer < MAX_LAYERS; ++layer) {
        if (world.layerTable[layer].active != 0) tick_layer(world, layer);
    }
}

}  // namespace sg
