// The dialogs every headless test finds, as the Linux program hands them to
// the backend when it starts (they outlast the backend's reset()).
#include "apps/linux/about_dialog.h"

namespace {

const bool registered = (sg::app::register_dialogs(), true);

}  // namespace
