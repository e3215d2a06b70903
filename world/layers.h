// Layer configuration: the runtime layer record, the travel directions, speed
// and sway tables, and the setters that fill a record from a layer block.
#pragma once

#include <cstdint>

#include "format/package_format.h"
#include "scene/animset.h"

namespace sg {

using format::PACKAGE_LAYERS;

// The layer block's codes, converted once when the layer is set up. A code
// outside the known ones becomes the named value that behaves as such codes
// always have.

// Travel, in the engine's order (the block's codes are a 3x3 grid, read row
// by row, whose centre is no travel). An unknown code keeps the direction
// the record had.
enum class Direction : std::int32_t {
    UpLeft = 0,
    Up = 1,
    UpRight = 2,
    Left = 3,
    Right = 4,
    DownLeft = 5,
    Down = 6,
    DownRight = 7,
    Still = 8,
};

// Where an instance comes back after leaving the screen (codes 0..8); from
// an Unknown edge it stays where it left.
enum class EntryEdge : std::int32_t {
    Anywhere = 0,
    Top = 1,
    Bottom = 2,
    Left = 3,
    Right = 4,
    LeftOrTop = 5,
    LeftOrBottom = 6,
    RightOrTop = 7,
    RightOrBottom = 8,
    Unknown = 9,
};

// The screen corner a fixed start position is measured from (codes 0..3);
// an Unknown corner leaves the instance where it is.
enum class StartCorner : std::int32_t { TopLeft = 0, TopRight = 1, BottomLeft = 2, BottomRight = 3, Unknown = 4 };

// The axis a sprite sways on: code 0 is y, 1 is x, anything else no sway.
enum class SwayAxis : std::int32_t { Vertical = 0, Horizontal = 1, NoSway = 2 };

// Code 1 places instances at random; any other code at the fixed start.
enum class Placement : std::int32_t { Fixed = 0, Random = 1, Unknown = 2 };

Direction direction_from_code(std::int32_t code, Direction previous);
EntryEdge entry_edge_from_code(std::int32_t code);
StartCorner start_corner_from_code(std::int32_t code);
SwayAxis sway_axis_from_code(std::int32_t code);
Placement placement_from_code(std::int32_t code);

struct LayerRecord {
    std::int32_t active;
    std::int32_t instanceCount;
    std::int32_t x[MAX_INSTANCES];
    std::int32_t y[MAX_INSTANCES];
    std::int32_t swayPhase[MAX_INSTANCES];
    Direction direction;
    SwayAxis swayAxis;
    std::int32_t speedClass;
    EntryEdge entryEdge;
    std::int32_t swayRow;
    Placement placement;
    StartCorner startCorner;
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
// The setters take the layer block's codes and keep them converted.
void layer_motion_set(LayerTable& layers, int layer, int instanceCount, int directionCode, int swayAxis,
                      int speedClass, int entryEdge);
void sway_row_set(LayerTable& layers, int layer, int row);
void placement_set(LayerTable& layers, int layer, int mode);
void start_corner_set(LayerTable& layers, int layer, int corner);
void keep_inside_set(LayerTable& layers, int layer, int flag);
void start_position_set(LayerTable& layers, int layer, int x, int y);
void cycle_reentry_set(LayerTable& layers, int layer, int on, int cycles);

}  // namespace sg
