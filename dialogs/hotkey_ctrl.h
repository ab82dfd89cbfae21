// A control that captures one key combination and holds it as a hot-key word: the virtual-key code
// in the low byte, the modifier flags (1 Shift, 2 Ctrl, 4 Alt, 8 extended key) in the high byte.
#pragma once

#include <string>
#include <wx/textctrl.h>

// Modifier flags of a hot-key word's high byte.
enum : int { kHotKeyFlagShift = 1, kHotKeyFlagControl = 2, kHotKeyFlagAlt = 4, kHotKeyFlagExtended = 8 };

// "Ctrl + Shift + A" for a hot-key word, "None" for 0.
std::string HotKeyWordText(int word);

class HotKeyCtrl : public wxTextCtrl {
public:
    HotKeyCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
               const wxSize& size = wxDefaultSize);

    void SetHotKey(int word);
    int GetHotKey() const { return m_word; }

    // Takes one key press given as an X keysym with the modifier keys held. Returns false when the
    // key belongs to the dialog (Tab, Enter, Esc) rather than to the control.
    bool PressKey(unsigned long keysym, bool shift, bool control, bool alt);

private:
    void OnKeyDown(wxKeyEvent& event);
    void OnKeyUp(wxKeyEvent& event);
    void OnChar(wxKeyEvent&) {}
    void ShowWord();

    int m_word = 0;
};
