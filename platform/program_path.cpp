#include "platform/program_path.h"

#include <climits>
#include <unistd.h>

namespace platform {

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buffer))
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

} // namespace platform
