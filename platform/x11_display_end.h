// What happens when the connection to the X display ends (the X server stopped, the desktop
// session ended). Isolated here because it replaces Xlib's process-wide I/O error handler, which
// the window toolkit sets to end the program at once.
#pragma once

namespace platform {

// From now on, when the connection to the display breaks, `beforeEnd` runs on the calling thread
// (the window thread) before the program ends as the toolkit ends it. It must not use the display.
// A break that another thread's connection notices first waits a few seconds for it.
void RunBeforeDisplayEnds(void (*beforeEnd)());

} // namespace platform
