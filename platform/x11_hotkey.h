// A global hotkey: a key combination grabbed on the X root window, so that it reaches Pondra
// whichever application has the focus. Isolated here because it needs a display connection and a
// thread of its own (the GUI toolkit offers no global hotkeys on X11).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>

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

    // Grabs the key (with Caps Lock and Num Lock in any state) and calls `onPress` on the hotkey's
    // own thread at each press. A key grabbed before is released first. Returns "" or the reason it
    // could not be grabbed (another program owns it, no display).
    std::string Register(unsigned long keysym, int modifiers, std::function<void()> onPress);
    // Releases the key and ends the thread.
    void Unregister();

private:
    void Run();

    Display* m_display = nullptr;
    int m_wakeFd = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::function<void()> m_onPress;
    unsigned m_keycode = 0;
    unsigned m_modifiers = 0;
};

} // namespace platform
