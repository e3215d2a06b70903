// Files without owners or modes: the browser's in-memory files, where
// umask() answers 0777. A file keeps the mode it was opened with.
#include "tools/core/output.h"

namespace sg::packtool {

bool set_file_mode(int, mode_t, bool) { return true; }

}  // namespace sg::packtool
