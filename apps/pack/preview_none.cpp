// Builds that cannot open a window of their own or start the Linux program
// (the studio in a browser, which plays the scene on its own canvas) have
// no preview command.
#include "apps/pack/command.h"

namespace sg::packtool {

const Command* preview_command() { return nullptr; }

}  // namespace sg::packtool
