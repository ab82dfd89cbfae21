#include "support/x_typing.h"

#include <thread>
#include <wx/app.h>
#include <wx/toplevel.h>
#include <wx/window.h>

// Xlib's macros (None, Bool, ...) clash with names in the headers above, so it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// The viewable window whose name is `title`, searched below `window` (a window manager puts its
// frame between the root and the program's window).
Window FindByTitle(Display* display, Window window, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        const bool same = title == name;
        XFree(name);
        XWindowAttributes attributes;
        if (same && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            return window;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = count; i-- > 0 && !found;) // the topmost first
        found = FindByTitle(display, children[i], title);
    if (children)
        XFree(children);
    return found;
}

int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

XTyping::XTyping() : m_error(m_keyboard.Open()) {
    m_display = XOpenDisplay(nullptr);
}

XTyping::~XTyping() {
    if (m_display)
        XCloseDisplay(m_display);
}

bool XTyping::Until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

unsigned long XTyping::WindowOf(wxWindow* control) {
    auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(control));
    if (!top || !m_display)
        return 0;
    const std::string title = top->GetTitle().utf8_string();
    Window window = 0;
    Until([&] { return (window = FindByTitle(m_display, DefaultRootWindow(m_display), title)) != 0; });
    return window;
}

bool XTyping::Focus(wxWindow* control) {
    auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(control));
    if (!top || !m_display)
        return false;
    if (!top->IsShown())
        top->Show();
    top->Raise();
    const Window window = WindowOf(control);
    if (!window)
        return false;
    // The window may go away between the search and the call: an error then is no reason to end.
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    XRaiseWindow(m_display, window);
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    return Until([&] {
        if (wxWindow::FindFocus() == control)
            return true;
        control->SetFocus();
        return false;
    });
}

void XTyping::Type(const wxString& text) {
    for (wxUniChar c : text) {
        const unsigned long code = c.GetValue();
        if (code <= 0xFF)
            m_keyboard.TypeCharacter(static_cast<unsigned char>(code));
        else
            m_keyboard.TypeKeysym(0x1000000UL | code);
    }
}

void XTyping::Press(unsigned long keysym, int modifiers) {
    m_keyboard.PressKey(keysym, modifiers);
}
