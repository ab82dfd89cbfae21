// Where the running program lives. Isolated here because on Linux only the kernel's /proc/self/exe
// link says it reliably; argv[0] may be relative, a symbolic link or missing.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable, or "" when the system cannot tell.
std::string ExecutablePath();

} // namespace platform
