#pragma once

namespace sg {

// Loads, configures and places one enabled layer of the package.
void layer_setup(int layer);

}  // namespace sg
