#include "support/window_manager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// A window property of 32-bit items (returned as longs by Xlib), or of bytes for `type` text.
template <typename T>
std::vector<T> Property(Display* display, Window window, const char* name, Atom type, long items = 1024) {
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<T> values;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, items, False, type, &actual,
                           &format, &count, &after, &data) == Success &&
        data && count > 0) {
        values.resize(count);
        std::memcpy(values.data(), data, count * sizeof(T));
    }
    if (data)
        XFree(data);
    return values;
}

// The window that a running EWMH window manager names on the root window and on itself.
Window SupportingWindow(Display* display, Window window) {
    const auto check = Property<Window>(display, window, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1);
    return check.empty() ? 0 : check.front();
}

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0; // a check window that is already gone just means no window manager
}

} // namespace

bool WindowManager::IsRunning(Display* display) {
    const auto previous = XSetErrorHandler(IgnoreErrors);
    const Window check = SupportingWindow(display, DefaultRootWindow(display));
    const bool running = check && SupportingWindow(display, check) == check;
    XSync(display, False);
    XSetErrorHandler(previous);
    return running;
}

bool WindowManager::FrameOf(const std::string& title, Rect* frame) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const auto previous = XSetErrorHandler(IgnoreErrors);
    const Window root = DefaultRootWindow(display);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    bool found = false;
    for (Window client : Property<Window>(display, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
        const auto pid = Property<long>(display, client, "_NET_WM_PID", XA_CARDINAL, 1);
        const auto name = Property<char>(display, client, "_NET_WM_NAME", utf8);
        const auto extents = Property<long>(display, client, "_NET_FRAME_EXTENTS", XA_CARDINAL, 4);
        if (pid.size() != 1 || pid[0] != getpid() || std::string(name.begin(), name.end()) != title ||
            extents.size() != 4)
            continue;
        Window child = 0, ignored = 0;
        int x = 0, y = 0, ignoredX = 0, ignoredY = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        if (!XGetGeometry(display, client, &ignored, &ignoredX, &ignoredY, &width, &height, &border,
                          &depth) ||
            !XTranslateCoordinates(display, client, root, 0, 0, &x, &y, &child))
            continue;
        // _NET_FRAME_EXTENTS: left, right, top, bottom.
        *frame = Rect{x - static_cast<int>(extents[0]), y - static_cast<int>(extents[2]),
                      static_cast<int>(width + extents[0] + extents[1]),
                      static_cast<int>(height + extents[2] + extents[3])};
        found = true;
        break;
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return found;
}

std::string WindowManager::Start() {
    // The connection stays open while the tests run: an X server that sees its last client go
    // resets itself, and a window manager connecting meanwhile would find no display.
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return "no X display";
    if (IsRunning(m_display))
        return {};
    char program[] = "openbox";
    char noSession[] = "--sm-disable";
    char* argv[] = {program, noSession, nullptr};
    // Its notes about menus and themes are not the tests' output.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&m_pid, program, &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        m_pid = -1;
        return "openbox cannot be started (is it installed?)";
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!IsRunning(m_display)) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return "openbox ended at start";
        }
        if (std::chrono::steady_clock::now() > deadline)
            return "openbox did not start managing the display";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

WindowManager::~WindowManager() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_display)
        XCloseDisplay(m_display);
}
