// X clients for keystroke tests: a plain window that takes the keyboard focus and collects the text
// of the key presses it receives, read through the keyboard layout as any program would; a person
// at the keyboard (XTest); another program's key grab; the keyboard layout. Include it after gtest:
// the X headers define macros (None, Bool, ...) that gtest's own headers would trip over.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

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
        // A window manager that is just starting may miss the request: it is made again until the
        // window is mapped.
        const auto start = std::chrono::steady_clock::now();
        for (int tries = 1;; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            XEvent event;
            if (XCheckTypedWindowEvent(m_display, m_window, MapNotify, &event))
                break;
            if (std::chrono::steady_clock::now() - start > tries * std::chrono::milliseconds(500)) {
                if (++tries > 20)
                    break;
                XMapRaised(m_display, m_window);
            }
        }
        XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
        XSync(m_display, False);
    }
    ~TargetWindow() {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool Ok() const { return m_display != nullptr; }
    Window Id() const { return m_window; }
    // Gives the window the keyboard focus, as a click into it does.
    void Focus() {
        XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
        XSync(m_display, False);
    }

    // Reads `keyCount` key presses (other than modifiers), or what came within the limit. Each key
    // press adds its text; keys without text or with Ctrl or Alt add "<modifiers-keysym name>".
    // `whileWaiting` runs while no key is pending (a test whose own window types runs its events).
    std::string Collect(std::size_t keyCount, std::chrono::milliseconds limit = std::chrono::seconds(10),
                        const std::function<void()>& whileWaiting = {}) {
        std::string text;
        std::size_t keys = 0;
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (keys < keyCount && std::chrono::steady_clock::now() < deadline) {
            if (!XPending(m_display)) {
                if (whileWaiting)
                    whileWaiting();
                else
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

// Watches, on a connection of its own, the key presses that a window receives, so that a test can
// act at a given key while the window's own reader is busy; and asks a window, as the window manager
// does, whether its program still answers.
class KeyWatch {
public:
    explicit KeyWatch(Window window) : m_display(XOpenDisplay(nullptr)) {
        XSelectInput(m_display, window, KeyPressMask);
        // The answers to pings go to the root window.
        XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
        XSync(m_display, False);
    }
    ~KeyWatch() { XCloseDisplay(m_display); }
    KeyWatch(const KeyWatch&) = delete;
    KeyWatch& operator=(const KeyWatch&) = delete;

    // Key presses other than modifiers so far, and how many of them were Return.
    std::size_t Keys() const { return m_keys; }
    std::size_t Returns() const { return m_returns; }
    // Waits until there were `count` key presses; false when they did not come within the limit.
    bool WaitForKeys(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        return Wait([&] { return m_keys >= count; }, limit);
    }
    bool WaitForReturns(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        return Wait([&] { return m_returns >= count; }, limit);
    }
    // Sends the window manager's ping (_NET_WM_PING) to the program's top-level window `client` and
    // waits for its answer; false when none came within the limit.
    bool Ping(Window client, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const long stamp = ++m_pings + 0x5000;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = client;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "_NET_WM_PING", False));
        event.xclient.data.l[1] = stamp;
        event.xclient.data.l[2] = static_cast<long>(client);
        m_answered = 0;
        XSendEvent(m_display, client, False, NoEventMask, &event);
        XFlush(m_display);
        return Wait([&] { return m_answered == stamp; }, limit);
    }

private:
    bool Wait(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (!XPending(m_display)) {
                if (std::chrono::steady_clock::now() > deadline)
                    return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == ClientMessage && event.xclient.window == DefaultRootWindow(m_display))
                m_answered = event.xclient.data.l[1];
            if (event.type != KeyPress)
                continue;
            const KeySym keysym = XLookupKeysym(&event.xkey, 0);
            if (IsModifierKey(keysym))
                continue;
            ++m_keys;
            m_returns += keysym == XK_Return;
        }
        return true;
    }

    Display* m_display;
    std::size_t m_keys = 0;
    std::size_t m_returns = 0;
    long m_pings = 0;
    long m_answered = 0;
};

// Switches the keyboard layout of the display, as a user does with setxkbmap.
inline bool SetLayout(const char* layout) {
    const std::string command = std::string("setxkbmap ") + layout + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// A person at the keyboard, pressing and releasing keys on a connection of its own (XTest, so the
// keys are held for the whole display as real ones are).
class Human {
public:
    Human() : m_display(XOpenDisplay(nullptr)) {}
    ~Human() {
        if (m_display)
            XCloseDisplay(m_display);
    }
    Human(const Human&) = delete;
    Human& operator=(const Human&) = delete;

    // The key that gives `keysym` in the layout of the moment, plain (column 0) or with Shift or
    // Num Lock (column 1); 0 when there is none.
    unsigned Key(KeySym keysym, int* column = nullptr) const {
        int minCode, maxCode, perCode = 0;
        XDisplayKeycodes(m_display, &minCode, &maxCode);
        KeySym* map = XGetKeyboardMapping(m_display, minCode, maxCode - minCode + 1, &perCode);
        unsigned found = 0;
        for (int c = 0; c < 2 && c < perCode && !found; ++c)
            for (int code = minCode; code <= maxCode && !found; ++code)
                if (map[(code - minCode) * perCode + c] == keysym) {
                    found = static_cast<unsigned>(code);
                    if (column)
                        *column = c;
                }
        XFree(map);
        return found;
    }
    // What the key gives with the modifiers `state`.
    KeySym Lookup(unsigned keycode, unsigned state) const {
        KeySym keysym = NoSymbol;
        unsigned consumed;
        XkbLookupKeySym(m_display, static_cast<KeyCode>(keycode), state, &consumed, &keysym);
        return keysym;
    }
    void Down(KeySym keysym) { Send(Key(keysym), true); }
    void Up(KeySym keysym) { Send(Key(keysym), false); }
    void Send(unsigned keycode, bool down) {
        XTestFakeKeyEvent(m_display, keycode, down, CurrentTime);
        XSync(m_display, False);
    }
    // Ctrl+Alt and the key, pressed and let go.
    void PressCtrlAlt(unsigned keycode) {
        Down(XK_Control_L);
        Down(XK_Alt_L);
        Send(keycode, true);
        Send(keycode, false);
        Up(XK_Alt_L);
        Up(XK_Control_L);
    }
    static void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // Locks exactly `mask` of Caps Lock and Num Lock.
    void SetLocks(unsigned mask) {
        const unsigned both = LockMask | NumLockMask();
        XkbLockModifiers(m_display, XkbUseCoreKbd, both, mask & both);
        XSync(m_display, False);
    }
    unsigned Locks() const {
        XkbStateRec state{};
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }
    unsigned NumLockMask() const { return XkbKeysymToModifiers(m_display, XK_Num_Lock); }
    // The modifiers that keys held down set.
    unsigned Held() const {
        XkbStateRec state{};
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        return state.base_mods;
    }

private:
    Display* m_display;
};

// Whether a client holds a grab of the key with exactly the modifiers `state`: the test tries to
// grab it itself, which the server refuses (BadAccess) while another client holds it. The trial
// grab is made and let go while the server serves this connection alone, so that no other client
// ever meets it: a program grabbing the key at that moment would be refused and lose its hotkey.
inline bool KeyIsGrabbed(unsigned keycode, unsigned state) {
    static bool refused;
    Display* display = XOpenDisplay(nullptr);
    refused = false;
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent* error) {
        refused = refused || error->error_code == BadAccess;
        return 0;
    });
    const Window root = DefaultRootWindow(display);
    XGrabServer(display);
    XGrabKey(display, static_cast<int>(keycode), state, root, False, GrabModeAsync, GrabModeAsync);
    XUngrabKey(display, static_cast<int>(keycode), state, root); // touches no other client's grab
    XUngrabServer(display);
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return refused;
}

// Another program holding a key combination, for as long as the object exists: with Caps Lock on
// and off, or with each of the `locks` given.
class ForeignGrab {
public:
    ForeignGrab(KeySym keysym, unsigned state, const std::vector<unsigned>& locks = {0u, LockMask})
        : m_display(XOpenDisplay(nullptr)) {
        const int keycode = XKeysymToKeycode(m_display, keysym);
        for (unsigned lock : locks)
            XGrabKey(m_display, keycode, state | lock, DefaultRootWindow(m_display), False, GrabModeAsync,
                     GrabModeAsync);
        XSync(m_display, False);
    }
    ~ForeignGrab() { XCloseDisplay(m_display); }
    ForeignGrab(const ForeignGrab&) = delete;
    ForeignGrab& operator=(const ForeignGrab&) = delete;

private:
    Display* m_display;
};
