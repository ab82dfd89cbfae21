// Types into the program's windows through the X server (XTest), as a person at the keyboard does:
// the key events reach the toolkit the way real ones do, input methods and focus changes included.
#pragma once

#include "platform/x11_keyboard.h"

#include <chrono>
#include <functional>
#include <string>
#include <wx/string.h>

class wxWindow;

class XTyping {
public:
    XTyping();
    ~XTyping();
    XTyping(const XTyping&) = delete;
    XTyping& operator=(const XTyping&) = delete;

    // "" when XTest can be used, else why not.
    const std::string& Error() const { return m_error; }

    // Runs the program's events until `done` holds; false when it still does not after the limit.
    static bool Until(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10));

    // Shows and raises the control's window, gives that window the X keyboard focus and the control
    // the toolkit's focus; true once the toolkit reports the control focused.
    bool Focus(wxWindow* control);
    // The X window of the control's top-level window, once it is shown; 0 when there is none.
    unsigned long WindowOf(wxWindow* control);

    // Types each character: those of ISO-8859-1 as the keyboard layout produces them, any other
    // through its Unicode keysym.
    void Type(const wxString& text);
    // Presses one key (an X keysym) with the platform::kPress... modifiers held.
    void Press(unsigned long keysym, int modifiers = 0);

private:
    platform::X11Keyboard m_keyboard;
    std::string m_error;
    struct _XDisplay* m_display = nullptr; // for finding and focusing windows
};
