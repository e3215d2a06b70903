#pragma once

namespace sg {

struct Package;
struct World;

// Loads, configures and places one enabled layer of the package.
void layer_setup(World& world, const Package& package, int layer);

}  // namespace sg
