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
    // presses nothing. A key that a hotkey of this program grabs is pressed as a spare key bound to
    // the same symbol, so that it reaches the application and not the hotkey.
    bool PressKey(unsigned long keysym, int modifiers);

    // Why the last key was not typed.
    enum class Failure {
        kNone,
        kNoDisplay,
        kKeyHeld,    // the user holds a key down (at the first key of a reading: at all)
        kOwnWindow,  // a window of this program has the focus at the first key of a reading
        kNoFocus,    // no window has the focus at the first key of a reading
        kFocusMoved, // another window has the focus than at the first key of the reading
        kNoSpareKey, // no key can be bound to a character the layout lacks
    };
    Failure LastFailure() const { return m_failure; }
    // The reason as a text.
    std::string FailureText() const;

    // The keys of one reading go to one window, whole: BeginReading() before its first key and
    // EndReading() after its last. The first key is pressed only when the user holds no key (there
    // is no waiting for one) and a window of another program has the focus; it notes that window's
    // top-level window. Every later key waits for the user to let go of a key held down for up to
    // the held-key limit, then is pressed with the held keys lifted for the moment (a stuck key
    // cannot cut the reading), and only while the focus is still in that top-level window.
    void BeginReading();
    void EndReading();
    // A key of the reading begun was pressed.
    bool ReadingStarted() const { return m_readingStarted; }
    // Whether the first key of a reading would be typed now, without typing it; LastFailure() says
    // why not.
    bool CanStartReading();

    // How long a key press waits for the user to let go of the keys held down.
    void SetHeldKeyLimit(std::chrono::milliseconds limit) { m_heldKeyLimit = limit; }
    // The pause between two keys. A spare key is bound to another character only once its last press
    // is several pauses old, so that a program a few keys behind still reads the character it got.
    void SetKeyDelay(std::chrono::milliseconds delay) { m_keyDelay = delay; }

private:
    struct KeyChoice {
        unsigned keycode = 0;
        std::vector<unsigned> held; // modifier keys held around the key, in pressing order
        unsigned locks = 0;         // the locked modifiers the key is pressed with
    };
    // A spare key bound to a character, and when it was last pressed.
    struct SpareKey {
        unsigned keycode;
        std::chrono::steady_clock::time_point pressed;
    };
    // Finds the key of `keysym` and the modifier keys it needs, binding the keysym to a spare key
    // when the layout has none or when the key is one of this program's hotkeys.
    bool ChooseKey(unsigned long keysym, int modifiers, KeyChoice* choice);
    // Binds `keysym` to a spare key; 0 when there is none.
    unsigned BindSpareKey(unsigned long keysym);
    bool Tap(const KeyChoice& key);
    // Takes the server for a key press once the keyboard is free (see BeginReading); the keys to
    // lift around the press come back in `lifted`.
    bool TakeKeyboard(unsigned* lockedModifiers, int* lockedGroup, std::vector<unsigned>* lifted);
    // The window that keys go to now.
    unsigned long FocusedWindow();
    // The window's ancestor that is a child of the root window (the window manager's frame).
    unsigned long TopLevelOf(unsigned long window);
    // Whether the window belongs to this process.
    bool IsOwnWindow(unsigned long window);
    bool Fail(Failure failure);

    Display* m_display = nullptr;
    std::vector<SpareKey> m_spares; // spare keycodes bound to characters
    std::chrono::milliseconds m_heldKeyLimit{5000};
    std::chrono::milliseconds m_keyDelay{45};
    Failure m_failure = Failure::kNone;
    bool m_inReading = false;
    bool m_readingStarted = false;
    bool m_liftHeldKeys = false;       // the reading's keys no longer wait for held keys
    unsigned long m_readingWindow = 0; // the top-level window the reading's first key went to
};

} // namespace platform
