// Runs a window manager (openbox) on the test's display while it exists, so that placement, focus
// and decorations behave as on a desktop. A window manager that already runs there is used as is.
#pragma once

#include <string>
#include <sys/types.h>

struct _XDisplay;

class WindowManager {
public:
    WindowManager() = default;
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    ~WindowManager();

    // Starts openbox unless a window manager runs, and waits until one does; "" or what failed.
    std::string Start();

    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
        bool operator==(const Rect&) const = default;
    };
    // Where the window manager has framed this process's window titled `title`: the window with the
    // frame's decorations, in screen coordinates, read from the X server. False when it is not framed.
    static bool FrameOf(const std::string& title, Rect* frame);

private:
    static bool IsRunning(_XDisplay* display);

    _XDisplay* m_display = nullptr; // held open while the window manager is needed
    pid_t m_pid = -1;               // the openbox this object started
};
