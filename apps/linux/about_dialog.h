// The dialogs the Linux program carries, handed to the headless backend as
// data: the about box of shell/about_layout.h, as the .scr's resource
// script (apps/scr/snowglobe.rc) lays it out.
#pragma once

#include "platform/headless/headless.h"

namespace sg::app {

pf::headless::DialogTemplate about_dialog_template();

// Hands every dialog to the backend (they stay across its reset()).
void register_dialogs();

}  // namespace sg::app
