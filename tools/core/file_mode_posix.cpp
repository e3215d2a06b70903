#include "tools/core/output.h"

#include <sys/stat.h>

namespace sg::packtool {

bool set_file_mode(int fd, mode_t perms, bool exact) {
    if (exact) return ::fchmod(fd, perms) == 0;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return ::fchmod(fd, perms & ~mask) == 0;
}

}  // namespace sg::packtool
