// Synthesised key presses through the X server's XTest extension. Isolated here because it is the
// only code that reads and changes the X keyboard mapping.
#pragma once

#include <chrono>
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

    // Every key press waits until the user holds no key, for at most the held-key limit, and is
    // made with Caps Lock and the other locks off (Num Lock on for the keypad's digits), so that it
    // gives exactly the character or key asked for whatever the user holds or has locked. The user's
    // locks are restored straight after. Both return false when nothing was typed: Failure() says why.

    // Types one 8-bit (ISO-8859-1) character the way the current keyboard layout produces it, with
    // whatever Shift or AltGr that needs; tab and line feed press Tab and Enter, other control bytes
    // press nothing. A character that no key of the layout produces is typed through a spare key
    // bound to it for the moment.
    bool TypeCharacter(unsigned char character);
    // Types the character of `keysym` (a Unicode character is keysym 0x1000000 + its code) the same
    // way: with the key and the Shift or AltGr that produce it, or through a spare key bound to it.
    bool TypeKeysym(unsigned long keysym);
    // Presses and releases the key of `keysym` with the modifiers held down around it; a keysym of 0
    // presses nothing.
    bool PressKey(unsigned long keysym, int modifiers);
    const std::string& Failure() const { return m_failure; }

    // How long a key press waits for the user to let go of the keys held down.
    void SetHeldKeyLimit(std::chrono::milliseconds limit) { m_heldKeyLimit = limit; }

private:
    struct KeyChoice {
        unsigned keycode = 0;
        std::vector<unsigned> held; // modifier keys held around the key, in pressing order
        unsigned locks = 0;         // the locked modifiers the key is pressed with
    };
    // Finds the key of `keysym` and the modifier keys it needs, binding the keysym to a spare key
    // when the layout has none.
    bool ChooseKey(unsigned long keysym, int modifiers, KeyChoice* choice);
    bool Tap(const KeyChoice& key);
    bool WaitForIdleKeyboard(unsigned* lockedModifiers, int* lockedGroup);

    Display* m_display = nullptr;
    std::vector<unsigned> m_bound; // spare keycodes bound to characters, oldest first
    std::chrono::milliseconds m_heldKeyLimit{5000};
    std::string m_failure;
};

} // namespace platform
