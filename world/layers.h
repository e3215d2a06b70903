// Layer configuration: the runtime layer record, the travel directions, speed
// and sway tables, and the setters that fill a record from a layer block.
#pragma once

#include <cstdint>

#include "format/package_format.h"
#include "scene/animset.h"

namespace sg {

using format::PACKAGE_LAYERS;

enum Direction : std::int32_t {
    UpLeft = 0,
    Up = 1,
    UpRight = 2,
    Left = 3,
    Right = 4,
    DownLeft = 5,
    Down = 6,
    DownRight = 7,
    None = 8,
};

struct LayerRecord {
    std::int32_t active;
    std::int32_t instanceCount;
    std::int32_t x[MAX_INSTANCES];
    std::int32_t y[MAX_INSTANCES];
    std::int32_t swayPhase[MAX_INSTANCES];
    std::int32_t direction;
    std::int32_t swayAxis;
    std::int32_t speedClass;
    std::int32_t entryEdge;
    std::int32_t swayRow;
    std::int32_t placement;
    std::int32_t startCorner;
    std::int32_t keepInside;
    std::int32_t cycleReentry;
    std::int32_t reentryCycles;
    std::int32_t waitAfterCycle;
    std::int32_t cycleWaits[MAX_INSTANCES];
    std::int32_t maxWait;
    std::int32_t waitAfterExit;
    std::int32_t exitWaits[MAX_INSTANCES];
    std::int32_t exitMarks[MAX_INSTANCES];
    std::int32_t startX;
    std::int32_t startY;
    // The instance being drawn: its mask mode and a view of its picture.
    std::int32_t drawMaskMode;
    const Surface* drawPicture;
};

using LayerTable = LayerRecord[MAX_LAYERS];

extern const std::int32_t SPEED_TABLE[5];
extern const std::int32_t SWAY_TABLE[5][100];

// Clamps instanceCount into 0..MAX_INSTANCES so no per-instance array is overrun.
int clamp_instance_count(int count);

void layers_clear(LayerTable& layers);
void layer_motion_set(LayerTable& layers, int layer, int instanceCount, int directionCode, int swayAxis,
                      int speedClass, int entryEdge);
void sway_row_set(LayerTable& layers, int layer, int row);
void placement_set(LayerTable& layers, int layer, int mode);
void start_corner_set(LayerTable& layers, int layer, int corner);
void keep_inside_set(LayerTable& layers, int layer, int flag);
void start_position_set(LayerTable& layers, int layer, int x, int y);
void cycle_reentry_set(LayerTable& layers, int layer, int on, int cycles);

}  // namespace sg
