#include "world/layers.h"

#include <cstring>

namespace sg {

const std::int32_t SPEED_TABLE[5] = {1, 2, 5, 9, 16};

// One row per sway style, one entry per phase tick. Every row sums to 0, so a
// full swing of 100 ticks ends where travel alone would have put the sprite;
// the swings reach +-30, +-55, +-75, +-90 and +-150 pixels.
const std::int32_t SWAY_TABLE[5][100] = {
    {
     2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
     -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2,
     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    },
    {
     3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
     1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2,
     -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3,
     -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -1, -1, -1, -1, -1, 1, 1, 1, 1, 1,
     2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    },
    {
     5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2,
     1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -2, -2, -2, -2, -2, -3, -3, -3, -3, -3,
     -4, -4, -4, -4, -4, -5, -5, -5, -5, -5, -5, -5, -5, -5, -5, -4, -4, -4, -4, -4,
     -3, -3, -3, -3, -3, -2, -2, -2, -2, -2, -1, -1, -1, -1, -1, 1, 1, 1, 1, 1,
     2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5,
    },
    {
     7, 7, 7, 7, 7, 5, 5, 5, 5, 5, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2,
     1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -2, -2, -2, -2, -2, -3, -3, -3, -3, -3,
     -5, -5, -5, -5, -5, -7, -7, -7, -7, -7, -7, -7, -7, -7, -7, -5, -5, -5, -5, -5,
     -3, -3, -3, -3, -3, -2, -2, -2, -2, -2, -1, -1, -1, -1, -1, 1, 1, 1, 1, 1,
     2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 5, 5, 5, 5, 5, 7, 7, 7, 7, 7,
    },
    {
     10, 10, 10, 10, 10, 8, 8, 8, 8, 8, 6, 6, 6, 6, 6, 4, 4, 4, 4, 4,
     2, 2, 2, 2, 2, -2, -2, -2, -2, -2, -4, -4, -4, -4, -4, -6, -6, -6, -6, -6,
     -8, -8, -8, -8, -8, -10, -10, -10, -10, -10, -10, -10, -10, -10, -10, -8, -8, -8, -8, -8,
     -6, -6, -6, -6, -6, -4, -4, -4, -4, -4, -2, -2, -2, -2, -2, 2, 2, 2, 2, 2,
     4, 4, 4, 4, 4, 6, 6, 6, 6, 6, 8, 8, 8, 8, 8, 10, 10, 10, 10, 10,
    },
};

namespace {

// Block direction codes are a 3x3 grid read row by row; the centre cell means
// no travel and sits last in the internal order.
constexpr Direction GRID_TO_DIRECTION[9] = {
    Direction::UpLeft, Direction::Up,     Direction::UpRight,
    Direction::Left,   Direction::Still,  Direction::Right,
    Direction::DownLeft, Direction::Down, Direction::DownRight,
};

bool layer_ok(int layer) { return layer >= 0 && layer < MAX_LAYERS; }

int clamp_table_index(int value) {
    if (value < 0) return 0;
    if (value > 4) return 4;
    return value;
}

}  // namespace

Direction direction_from_code(std::int32_t code, Direction previous) {
    return code >= 0 && code <= 8 ? GRID_TO_DIRECTION[code] : previous;
}

EntryEdge entry_edge_from_code(std::int32_t code) {
    return code >= 0 && code <= 8 ? static_cast<EntryEdge>(code) : EntryEdge::Unknown;
}

StartCorner start_corner_from_code(std::int32_t code) {
    return code >= 0 && code <= 3 ? static_cast<StartCorner>(code) : StartCorner::Unknown;
}

SwayAxis sway_axis_from_code(std::int32_t code) {
    return code == 0 || code == 1 ? static_cast<SwayAxis>(code) : SwayAxis::NoSway;
}

Placement placement_from_code(std::int32_t code) {
    if (code == 0) return Placement::Fixed;
    return code == 1 ? Placement::Random : Placement::Unknown;
}

int clamp_instance_count(int count) {
    if (count < 0) return 0;
    if (count > MAX_INSTANCES) return MAX_INSTANCES;
    return count;
}

void layers_clear(LayerTable& layers) { std::memset(layers, 0, sizeof(LayerTable)); }

void layer_motion_set(LayerTable& layers, int layer, int instanceCount, int directionCode, int swayAxis,
                      int speedClass, int entryEdge) {
    if (!layer_ok(layer)) return;
    LayerRecord& r = layers[layer];
    r.active = 1;
    r.instanceCount = clamp_instance_count(instanceCount);
    // An unknown code keeps whatever direction the record already had.
    r.direction = direction_from_code(directionCode, r.direction);
    r.swayAxis = sway_axis_from_code(swayAxis);
    // Clamped here so the per-tick lookups never leave SPEED_TABLE.
    r.speedClass = clamp_table_index(speedClass);
    r.entryEdge = entry_edge_from_code(entryEdge);
}

void sway_row_set(LayerTable& layers, int layer, int row) {
    if (!layer_ok(layer)) return;
    layers[layer].swayRow = clamp_table_index(row);
}

void placement_set(LayerTable& layers, int layer, int mode) {
    if (!layer_ok(layer)) return;
    layers[layer].placement = placement_from_code(mode);
}

void start_corner_set(LayerTable& layers, int layer, int corner) {
    if (!layer_ok(layer)) return;
    layers[layer].startCorner = start_corner_from_code(corner);
}

void keep_inside_set(LayerTable& layers, int layer, int flag) {
    if (!layer_ok(layer)) return;
    layers[layer].keepInside = flag;
}

void start_position_set(LayerTable& layers, int layer, int x, int y) {
    if (!layer_ok(layer)) return;
    layers[layer].startX = x;
    layers[layer].startY = y;
}

void cycle_reentry_set(LayerTable& layers, int layer, int on, int cycles) {
    if (!layer_ok(layer)) return;
    layers[layer].cycleReentry = on;
    layers[layer].reentryCycles = cycles;
}

}  // namespace sg
