// A global hotkey: a key combination grabbed on the X root window, so that it reaches Pondra
// whichever application has the focus. Isolated here because it needs a display connection and a
// thread of its own (the GUI toolkit offers no global hotkeys on X11).
#pragma once

#include "platform/x11_own_keys.h"

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

    // Grabs the keys that give the virtual-key code `virtualKey` in any group of the current
    // keyboard layout, with exactly the `modifiers` held, in each Caps Lock and Num Lock state in
    // which they give it: the keys the hot-key control records as that code. A layout in which no
    // key gives a letter or digit (Cyrillic, Greek) has it where a US keyboard has it. `extended`
    // picks the cursor block rather than the keypad with Num Lock off, and the keypad's Enter and
    // "/" rather than the main ones. The grab follows later changes of the layout. Every variant
    // that is free is taken; one that another program holds is taken once it is let go, and then
    // `onTaken` is called when none was held before. Calls `onPress` on the hotkey's own thread at
    // each press. A key grabbed before is released first. Returns "" when a variant of the key is
    // held, else the reason none is yet (another program owns it, no such key) or no display; the
    // key is still taken as soon as it can be, unless there is no display.
    std::string Register(int virtualKey, bool extended, int modifiers, std::function<void()> onPress,
                         std::function<void()> onTaken = {});
    // Releases the keys and ends the thread.
    void Unregister();

    // Whether Register would succeed now: "" or the reason. Keys this program holds itself count as
    // free, so a hotkey registered already is not reported as taken by another program.
    static std::string Probe(int virtualKey, bool extended, int modifiers);

private:
    // Grabs the keys of the current layout in place of those grabbed before, and those still held
    // by another program that are free now; "" when every one is held, or the reason.
    std::string GrabKeys();
    void ReleaseKeys();
    void Run();

    Display* m_display = nullptr;
    int m_wakeFd = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::function<void()> m_onPress;
    std::function<void()> m_onTaken;
    int m_virtualKey = 0;
    bool m_extended = false;
    int m_modifiers = 0;
    std::vector<OwnGrab> m_wanted; // every variant of the key in the current layout
    std::vector<OwnGrab> m_grabs;  // the variants held
};

} // namespace platform
