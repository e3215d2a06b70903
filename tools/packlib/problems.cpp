#include <algorithm>

#include "tools/packlib/packlib.h"

namespace sg::pack {

bool has_errors(const Problems& problems) {
    return std::any_of(problems.begin(), problems.end(),
                       [](const Problem& p) { return p.severity == Severity::Error; });
}

std::string to_string(const Problem& problem) {
    return std::string(problem.severity == Severity::Error ? "error" : "warning") + " at byte " +
           std::to_string(problem.offset) + ": " + problem.message;
}

}  // namespace sg::pack
