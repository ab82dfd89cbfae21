// A plain X client window for tests: it takes the keyboard focus and collects the text of the key
// presses it receives, read through the keyboard layout as any program would. Include it after
// gtest: the X headers define macros (None, Bool, ...) that gtest's own headers would trip over.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <string>
#include <thread>

// A focused window that collects the text of the key presses it receives.
class TargetWindow {
public:
    TargetWindow() {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return;
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 200, 100, 0, 0, 0);
        XSelectInput(m_display, m_window, KeyPressMask | StructureNotifyMask | FocusChangeMask);
        XMapRaised(m_display, m_window);
        for (;;) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == MapNotify)
                break;
        }
        XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
        XSync(m_display, False);
    }
    ~TargetWindow() {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool Ok() const { return m_display != nullptr; }

    // Reads `keyCount` key presses (other than modifiers), or what came within ten seconds. Each key
    // press adds its text; keys without text or with Ctrl or Alt add "<modifiers-keysym name>".
    std::string Collect(std::size_t keyCount) {
        std::string text;
        std::size_t keys = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (keys < keyCount && std::chrono::steady_clock::now() < deadline) {
            if (!XPending(m_display)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == MappingNotify)
                XRefreshKeyboardMapping(&event.xmapping);
            if (event.type != KeyPress)
                continue;
            char buffer[16];
            KeySym keysym;
            int n = XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
            if (IsModifierKey(keysym))
                continue;
            ++keys;
            if ((event.xkey.state & (ControlMask | Mod1Mask)) != 0 || n == 0) {
                text += "<";
                if (event.xkey.state & ControlMask)
                    text += "C-";
                if (event.xkey.state & Mod1Mask)
                    text += "A-";
                if (event.xkey.state & ShiftMask)
                    text += "S-";
                const char* name = XKeysymToString(XLookupKeysym(&event.xkey, 0));
                text += name ? name : "?";
                text += ">";
            } else {
                text.append(buffer, n);
            }
        }
        return text;
    }

private:
    Display* m_display = nullptr;
    Window m_window = 0;
};
