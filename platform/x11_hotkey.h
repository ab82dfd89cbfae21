// A global hotkey: a key combination grabbed on the X root window, so that it reaches Pondra
// whichever application has the focus. Isolated here because it needs a display connection and a
// thread of its own (the GUI toolkit offers no global hotkeys on X11).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _XDisplay Display;

namespace platform {

// Modifier bits of a hotkey.
enum : int { kHotAlt = 1, kHotCtrl = 2, kHotShift = 4 };

class X11HotKey {
public:
    X11HotKey() = default;
    X11HotKey(const X11HotKey&) = delete;
    X11HotKey& operator=(const X11HotKey&) = delete;
    ~X11HotKey();

    // Grabs the keys that give the virtual-key code `virtualKey` in the current keyboard layout,
    // with exactly the `modifiers` held, in each Caps Lock and Num Lock state in which they give it:
    // the keys the hot-key control records as that code. `extended` picks the cursor block rather
    // than the keypad with Num Lock off, and the keypad's Enter and "/" rather than the main ones.
    // The grab follows later changes of the layout; a key that another program holds just then is
    // taken once it is free. Calls `onPress` on the hotkey's own thread at each press. A key
    // grabbed before is released first. Returns "" or the reason it could not be grabbed (another
    // program owns it, no such key, no display).
    std::string Register(int virtualKey, bool extended, int modifiers, std::function<void()> onPress);
    // Releases the keys and ends the thread.
    void Unregister();

    // Whether Register would succeed now: "" or the reason. Keys this program holds itself count as
    // free, so a hotkey registered already is not reported as taken by another program.
    static std::string Probe(int virtualKey, bool extended, int modifiers);

    // One grabbed key: its keycode and the exact modifier state grabbed with it.
    struct Grab {
        unsigned keycode;
        unsigned state;
        bool operator==(const Grab&) const = default;
    };

private:
    // Grabs the keys of the current layout in place of those grabbed before; "" or the reason.
    std::string GrabKeys();
    void ReleaseKeys();
    void Run();

    Display* m_display = nullptr;
    int m_wakeFd = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::function<void()> m_onPress;
    int m_virtualKey = 0;
    bool m_extended = false;
    int m_modifiers = 0;
    std::vector<Grab> m_grabs;
};

} // namespace platform
