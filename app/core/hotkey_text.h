// The global Get hotkey's code as stored in the settings: modifiers times 256 plus the virtual-key
// code, with the hot-key control's modifier bits (1 Shift, 2 Ctrl, 4 Alt, 8 extended key).
#pragma once

#include <string>

// Modifier flags in the form the hotkey registration takes them: 1 Alt, 2 Ctrl, 4 Shift.
enum : int { kHotKeyAlt = 1, kHotKeyCtrl = 2, kHotKeyShift = 4 };

struct HotKeySpec {
    int key = 0;           // virtual-key code
    int modifiers = 0;     // registration form (kHotKeyAlt, kHotKeyCtrl, kHotKeyShift)
    bool extended = false; // the cursor block rather than the keypad, the keypad's Enter and "/"
};

// Splits the decimal code and converts the control's modifier value to the registration form; the
// extended-key flag is kept apart.
HotKeySpec ParseHotKeyCode(const std::string& code);
// The status bar text announcing the registered hotkey; "" when the key is 0.
std::string HotKeyRegisteredText(const HotKeySpec& spec);
// The name of a key as the hot-key control shows it: "A", "F5", "Home", "Num Home" (the keypad's
// Home, Num Lock off), "Num Enter"; "#code" for a code without a name.
std::string HotKeyName(int virtualKey, bool extended);
