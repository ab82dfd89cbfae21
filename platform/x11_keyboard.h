// Synthesised key presses through the X server's XTest extension. Isolated here because it is the
// only code that reads and changes the X keyboard mapping.
#pragma once

#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace platform {

// Modifier bits for PressKey.
enum : int { kPressShift = 1, kPressCtrl = 2, kPressAlt = 4 };

class X11Keyboard {
public:
    X11Keyboard() = default;
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;
    ~X11Keyboard();

    // Opens a connection of its own to the display (the default display when null); "" or an error.
    std::string Open(const char* displayName = nullptr);
    bool IsOpen() const { return m_display != nullptr; }
    // Gives back the keys bound to characters and closes the connection.
    void Close();

    // Types one 8-bit (ISO-8859-1) character the way the current keyboard layout produces it, with
    // whatever Shift or AltGr that needs; tab and line feed press Tab and Enter. A character that no
    // key of the layout produces is typed through a spare key bound to it for the moment.
    bool TypeCharacter(unsigned char character);
    // Types the character of `keysym` (a Unicode character is keysym 0x1000000 + its code) the same
    // way: with the key and the Shift or AltGr that produce it, or through a spare key bound to it.
    bool TypeKeysym(unsigned long keysym);
    // Presses and releases the key of `keysym` with the modifiers held down around it.
    bool PressKey(unsigned long keysym, int modifiers);

private:
    struct KeyChoice {
        unsigned keycode = 0;
        int level = 0; // 0 plain, 1 Shift, 2 AltGr, 3 AltGr + Shift
    };
    bool FindKey(unsigned long keysym, KeyChoice* choice);
    void Tap(unsigned keycode, const unsigned* modifiers, int modifierCount);
    unsigned KeycodeOf(unsigned long keysym);
    unsigned SpareKeycode();

    Display* m_display = nullptr;
    std::vector<unsigned> m_bound; // spare keycodes bound to characters, oldest first
};

} // namespace platform
