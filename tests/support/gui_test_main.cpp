// main() of the GUI test programs: starts a wxWidgets application without a main loop of its own,
// so that tests create windows, drive them and run pending events themselves.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

// Xlib's macros (None, Bool, ...) clash with names in the headers above, so it comes last.
#include <X11/Xlib.h>

int main(int argc, char** argv) {
    XInitThreads();
    ::testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new wxApp());
    int wxArgc = 1;
    if (!wxEntryStart(wxArgc, argv))
        return 2;
    wxTheApp->CallOnInit();
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
