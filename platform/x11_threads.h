// Lets several threads use Xlib. Isolated here because it is an X11 call that must come before
// any other, including wxWidgets' own connection to the display.
#pragma once

namespace platform {

// Call first thing in main(), before wxWidgets starts.
void EnableX11Threads();

} // namespace platform
