// Builds that cannot start other programs (the studio in a browser) have no
// installer command: the page says to use snowglobe-pack installer.
#include "apps/pack/command.h"

namespace sg::packtool {

const Command* installer_command() { return nullptr; }

}  // namespace sg::packtool
