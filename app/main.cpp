// Pondra's entry point. X threads are enabled before wxWidgets opens its display, because the
// keystroke and hotkey layers talk to the X server from their own threads.
#include "app/gui/pondra_app.h"
#include "platform/x11_threads.h"

wxIMPLEMENT_APP_NO_MAIN(CPondraApp);

int main(int argc, char** argv) {
    platform::EnableX11Threads();
    return wxEntry(argc, argv);
}
