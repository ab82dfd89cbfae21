// main() of the window tests: the application object is Pondra's own, so that menu commands reach
// its handlers, but the program is not started; each test starts and closes it itself.
// Built with PONDRA_WINDOW_MANAGER (the tests of placement, decorations, dialog layouts and focus),
// it first starts a window manager on the display, before the toolkit connects and looks for one.
#include "app/gui/pondra_app.h"
#include "platform/x11_threads.h"
#include "support/window_manager.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <wx/config.h>
#include <wx/init.h>

wxIMPLEMENT_APP_NO_MAIN(CPondraApp);

int main(int argc, char** argv) {
    platform::EnableX11Threads();
    ::testing::InitGoogleTest(&argc, argv);
#ifdef PONDRA_WINDOW_MANAGER
    WindowManager manager;
    if (const std::string error = manager.Start(); !error.empty()) {
        std::fprintf(stderr, "No window manager: %s\n", error.c_str());
        return 2;
    }
#endif
    wxApp::SetInstance(new CPondraApp());
    int wxArgc = 1;
    if (!wxEntryStart(wxArgc, argv))
        return 2;
    const int result = RUN_ALL_TESTS();
    delete wxConfigBase::Set(nullptr);
    wxEntryCleanup();
    return result;
}
