#include "platform/x11_display_end.h"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {

void (*g_beforeEnd)() = nullptr;
XIOErrorHandler g_toolkitHandler = nullptr;
std::thread::id g_windowThread;
std::atomic<bool> g_done{false};

int OnDisplayBroken(Display* display) {
    if (std::this_thread::get_id() == g_windowThread) {
        static bool ran = false;
        if (!ran && g_beforeEnd) {
            ran = true;
            g_beforeEnd();
        }
        g_done = true;
    } else {
        // The window thread meets the same break at once; it must not be ended before it has run.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!g_done && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return g_toolkitHandler ? g_toolkitHandler(display) : 0;
}

} // namespace

void RunBeforeDisplayEnds(void (*beforeEnd)()) {
    g_beforeEnd = beforeEnd;
    g_windowThread = std::this_thread::get_id();
    g_toolkitHandler = XSetIOErrorHandler(&OnDisplayBroken);
}

} // namespace platform
