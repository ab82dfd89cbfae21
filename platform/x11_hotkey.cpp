#include "platform/x11_hotkey.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {
namespace {

// Grab errors arrive asynchronously; the handler notes them while a grab is being made.
std::atomic<bool> g_grabFailed{false};
int NoteGrabError(Display*, XErrorEvent* event) {
    if (event->error_code == BadAccess)
        g_grabFailed = true;
    return 0;
}

// The lock modifiers that must not stop the hotkey: none, Caps Lock, Num Lock, both.
constexpr unsigned kLockVariants[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

} // namespace

X11HotKey::~X11HotKey() {
    Unregister();
}

std::string X11HotKey::Register(unsigned long keysym, int modifiers, std::function<void()> onPress) {
    Unregister();
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return "Cannot connect to the X display";
    m_keycode = XKeysymToKeycode(m_display, keysym);
    if (m_keycode == 0) {
        Unregister();
        return "The key is not on this keyboard";
    }
    m_modifiers = ((modifiers & kHotAlt) ? Mod1Mask : 0u) | ((modifiers & kHotCtrl) ? ControlMask : 0u) |
                  ((modifiers & kHotShift) ? ShiftMask : 0u);
    const Window root = DefaultRootWindow(m_display);
    XSync(m_display, False);
    g_grabFailed = false;
    XErrorHandler previous = XSetErrorHandler(NoteGrabError);
    for (unsigned lock : kLockVariants)
        XGrabKey(m_display, static_cast<int>(m_keycode), m_modifiers | lock, root, False, GrabModeAsync,
                 GrabModeAsync);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    if (g_grabFailed) {
        Unregister();
        return "The hotkey is in use by another program";
    }
    XSelectInput(m_display, root, KeyPressMask);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onPress = std::move(onPress);
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC);
    m_thread = std::thread([this] { Run(); });
    return "";
}

void X11HotKey::Run() {
    pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == KeyPress && event.xkey.keycode == m_keycode) {
                std::function<void()> onPress;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    onPress = m_onPress;
                }
                if (onPress)
                    onPress();
            }
        }
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            return;
    }
}

void X11HotKey::Unregister() {
    if (m_thread.joinable()) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
    if (m_display) {
        const Window root = DefaultRootWindow(m_display);
        if (m_keycode)
            for (unsigned lock : kLockVariants)
                XUngrabKey(m_display, static_cast<int>(m_keycode), m_modifiers | lock, root);
        XCloseDisplay(m_display);
        m_display = nullptr;
    }
    m_keycode = 0;
    m_modifiers = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onPress = nullptr;
}

} // namespace platform
