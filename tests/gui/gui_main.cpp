// main() of the window tests: the application object is Pondra's own, so that menu commands reach
// its handlers, but the program is not started; each test starts and closes it itself.
#include "app/gui/pondra_app.h"
#include "platform/x11_threads.h"

#include <gtest/gtest.h>
#include <wx/config.h>
#include <wx/init.h>

wxIMPLEMENT_APP_NO_MAIN(CPondraApp);

int main(int argc, char** argv) {
    platform::EnableX11Threads();
    ::testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new CPondraApp());
    int wxArgc = 1;
    if (!wxEntryStart(wxArgc, argv))
        return 2;
    const int result = RUN_ALL_TESTS();
    delete wxConfigBase::Set(nullptr);
    wxEntryCleanup();
    return result;
}
