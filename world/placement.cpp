#include "world/placement.h"

#include <cstdint>

#include "world/delays.h"
#include "world/frames.h"
#include "world/world.h"

namespace sg {

namespace {

// Positions and sizes come from untrusted packages and pictures; all sums are
// taken in 64 bits and pinned to the 32-bit range rather than overflowing.
int pin(std::int64_t v) {
    if (v < INT32_MIN) return INT32_MIN;
    if (v > INT32_MAX) return INT32_MAX;
    return static_cast<int>(v);
}

int R(World& world, std::int64_t a, std::int64_t b) {
    return rand_range(world.random, pin(a), pin(b));
}

// A keep-inside coordinate: one draw in 0..screen-size, or 0 when the sprite
// is larger than the screen (the draw is still taken so that later draws do
// not depend on sprite sizes).
int inside(World& world, std::int64_t low, std::int64_t high, int size, int screen) {
    const int v = R(world, low, high);
    return size > screen ? 0 : v;
}

enum class Side { Anywhere, Top, Bottom, LeftSide, RightSide, NoSide };

bool valid(int layer, int slot) {
    return layer >= 0 && layer < MAX_LAYERS && slot >= 0 && slot < MAX_INSTANCES;
}

void fixed_start(const World& world, LayerRecord& r, int slot) {
    const std::int64_t W = world.screenWidth, H = world.screenHeight;
    switch (r.startCorner) {
        case StartCorner::TopLeft: r.x[slot] = r.startX; r.y[slot] = r.startY; break;
        case StartCorner::TopRight: r.x[slot] = pin(r.startX + W); r.y[slot] = r.startY; break;
        case StartCorner::BottomLeft: r.x[slot] = r.startX; r.y[slot] = pin(r.startY + H); break;
        case StartCorner::BottomRight: r.x[slot] = pin(r.startX + W); r.y[slot] = pin(r.startY + H); break;
        case StartCorner::Unknown: break;  // the instance stays where it is
    }
}

void place_on_side(World& world, LayerRecord& r, int slot, Side side, std::int64_t w,
                   std::int64_t h) {
    const std::int64_t W = world.screenWidth, H = world.screenHeight;
    const int iw = pin(w), ih = pin(h);
    int& x = r.x[slot];
    int& y = r.y[slot];
    // x is always drawn before y. Just-outside positions sit exactly on the
    // exit limits, so a fresh entry is not mistaken for an exit.
    if (!r.keepInside) {
        switch (side) {
            case Side::Anywhere: x = R(world, -w, W); y = R(world, -h, H); break;
            case Side::Top: x = R(world, -w, W); y = R(world, -h, -h); break;
            case Side::Bottom: x = R(world, -w, W); y = R(world, H, H); break;
            case Side::LeftSide: x = R(world, -w, -w); y = R(world, -h, H); break;
            case Side::RightSide: x = R(world, W, W); y = R(world, -h, H); break;
            case Side::NoSide: break;
        }
        return;
    }
    switch (side) {
        case Side::Anywhere: x = inside(world, 0, W - w, iw, world.screenWidth); y = inside(world, 0, H - h, ih, world.screenHeight); break;
        case Side::Top: x = inside(world, 0, W - w, iw, world.screenWidth); y = R(world, 0, 0); break;
        case Side::Bottom: x = inside(world, 0, W - w, iw, world.screenWidth); y = inside(world, H - h, H - h, ih, world.screenHeight); break;
        case Side::LeftSide: x = R(world, 0, 0); y = inside(world, 0, H - h, ih, world.screenHeight); break;
        case Side::RightSide: x = inside(world, W - w, W - w, iw, world.screenWidth); y = inside(world, 0, H - h, ih, world.screenHeight); break;
        case Side::NoSide: break;
    }
}

Side side_for(World& world, EntryEdge entryEdge) {
    switch (entryEdge) {
        case EntryEdge::Anywhere: return Side::Anywhere;
        case EntryEdge::Top: return Side::Top;
        case EntryEdge::Bottom: return Side::Bottom;
        case EntryEdge::Left: return Side::LeftSide;
        case EntryEdge::Right: return Side::RightSide;
        case EntryEdge::LeftOrTop:
        case EntryEdge::LeftOrBottom:
        case EntryEdge::RightOrTop:
        case EntryEdge::RightOrBottom: {
            // The side choice is drawn before the coordinates.
            const bool horizontal = rand_range(world.random, 0, 1) == 1;
            const bool left = entryEdge == EntryEdge::LeftOrTop || entryEdge == EntryEdge::LeftOrBottom;
            const bool top = entryEdge == EntryEdge::LeftOrTop || entryEdge == EntryEdge::RightOrTop;
            if (horizontal) return left ? Side::LeftSide : Side::RightSide;
            return top ? Side::Top : Side::Bottom;
        }
        case EntryEdge::Unknown: break;
    }
    return Side::NoSide;
}

void step_travel(LayerRecord& r, int slot) {
    const int speed = r.speedClass < 0 ? 0 : (r.speedClass > 4 ? 4 : r.speedClass);
    const std::int64_t d = SPEED_TABLE[speed];
    std::int64_t dx = 0, dy = 0;
    switch (r.direction) {
        case Direction::UpLeft: dx = -d; dy = -d; break;
        case Direction::Up: dy = -d; break;
        case Direction::UpRight: dx = d; dy = -d; break;
        case Direction::Left: dx = -d; break;
        case Direction::Right: dx = d; break;
        case Direction::DownLeft: dx = -d; dy = d; break;
        case Direction::Down: dy = d; break;
        case Direction::DownRight: dx = d; dy = d; break;
        case Direction::Still: break;
    }
    r.x[slot] = pin(r.x[slot] + dx);
    r.y[slot] = pin(r.y[slot] + dy);
}

void step_sway(LayerRecord& r, int slot) {
    if (r.swayAxis == SwayAxis::NoSway) return;  // and the phase stands still
    // A phase drawn as 100 at set-up is used as 0.
    if (r.swayPhase[slot] >= 100 || r.swayPhase[slot] < 0) r.swayPhase[slot] = 0;
    const int row = r.swayRow < 0 ? 0 : (r.swayRow > 4 ? 4 : r.swayRow);
    const std::int64_t v = SWAY_TABLE[row][r.swayPhase[slot]];
    if (r.swayAxis == SwayAxis::Vertical)
        r.y[slot] = pin(r.y[slot] + v);
    else
        r.x[slot] = pin(r.x[slot] + v);
    ++r.swayPhase[slot];
}

}  // namespace

void instances_place(World& world, int layer) {
    if (layer < 0 || layer >= MAX_LAYERS) return;
    LayerRecord& r = world.layerTable[layer];
    const int n = clamp_instance_count(r.instanceCount);
    // Every phase is drawn before any position.
    for (int j = 0; j < n; ++j) r.swayPhase[j] = rand_range(world.random, 0, 100);
    for (int j = 0; j < n; ++j) {
        // First positions spread over the whole screen whatever the entry edge.
        if (r.placement == Placement::Random)
            place_on_side(world, r, j, Side::Anywhere, slot_first_width(world, layer, j), slot_first_height(world, layer, j));
        else
            fixed_start(world, r, j);
    }
}

void instance_enter(World& world, int layer, int slot, int w, int h) {
    if (!valid(layer, slot)) return;
    LayerRecord& r = world.layerTable[layer];
    if (r.placement != Placement::Random) {
        fixed_start(world, r, slot);
        return;
    }
    place_on_side(world, r, slot, side_for(world, r.entryEdge), w, h);
}

void cycle_reentry_check(World& world, int layer, int slot) {
    if (!valid(layer, slot)) return;
    const LayerRecord& r = world.layerTable[layer];
    if (!r.cycleReentry || slot_cycle_count(world, layer, slot) < r.reentryCycles) return;
    slot_cycle_count_clear(world, layer, slot);
    instance_enter(world, layer, slot, slot_current_width(world, layer, slot), slot_current_height(world, layer, slot));
}

void motion_step(World& world, int layer, int slot) {
    if (!valid(layer, slot)) return;
    LayerRecord& r = world.layerTable[layer];
    if (!slot_waits(world, layer, slot)) {
        step_travel(r, slot);
        step_sway(r, slot);
    }
    // The exit test runs for waiting instances too, with the size shown now.
    const std::int64_t w = slot_current_width(world, layer, slot);
    const std::int64_t h = slot_current_height(world, layer, slot);
    const std::int64_t x = r.x[slot], y = r.y[slot];
    const bool left = x + w < 0 || x > world.screenWidth || y + h < 0 || y > world.screenHeight;
    if (!left) return;
    if (wait_after_exit_on(world, layer)) exit_mark(world, layer, slot);
    instance_enter(world, layer, slot, static_cast<int>(w), static_cast<int>(h));
}

}  // namespace sg
