#pragma once

namespace sg {

struct Package;
struct World;

// The row's other slots as copies of its loaded first slot; with a random
// start each copy draws its first frame.
void slot_row_clone(World& world, int layer, int randomStart, int count);

// Loads, configures and places one enabled layer of the package.
void layer_setup(World& world, const Package& package, int layer);

}  // namespace sg
