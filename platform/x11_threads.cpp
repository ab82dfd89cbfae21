#include "platform/x11_threads.h"

#include <X11/Xlib.h>

namespace platform {

void EnableX11Threads() {
    XInitThreads();
}

} // namespace platform
