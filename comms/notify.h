// How a scale's worker reports to the GUI: by posting messages to the window stored in its Device.
// The comms code knows only this interface; the main frame implements it with queued GUI events
// and the tests with a recording queue.
#pragma once

#include <cstdint>
#include <string>

constexpr unsigned WM_USER = 0x400;
constexpr unsigned WM_SCALE_STATUS = WM_USER + 1; // lParam: the status code below
constexpr unsigned WM_SCALE_TEXT = WM_USER + 2;   // a reading or a trace line is ready
constexpr unsigned WM_PING_LINE = WM_USER + 3;    // ping tool: one line of output
constexpr unsigned WM_PING_DONE = WM_USER + 4;    // ping tool: the run is over

// Codes of WM_SCALE_STATUS. Every code but kStatusFrameError is the last message of a session.
enum ScaleStatusCode : int {
    kStatusFrameError = 0, // a parser rejected a frame; the worker goes on
    kStatusReadError = 1,  // read failed, timed out, or a handshake byte was missing
    kStatusWriteError = 2, // write failed (or no acceptable answer to a TS-740 command)
    kStatusScaleError = 3, // the scale answered with an error
    kStatusStopped = 9,    // the worker saw its stop event
};

class NotifyWindow {
public:
    virtual ~NotifyWindow() = default;
    // Queues a message for the GUI thread and returns at once. Called from worker threads.
    virtual void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Shows a warning box on the GUI thread and returns when the user has closed it. Called from a
    // worker thread, never from the GUI thread.
    virtual void ShowMessageBoxAndWait(const std::string& text) = 0;
};
