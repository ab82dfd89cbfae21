// How scale workers reach the main window. Workers keep this object's address in their Device, and it
// outlives the window: a worker that ends after the window has gone finds no target and its message
// is dropped, instead of touching a destroyed window. Messages are queued as events for the GUI
// thread; a worker's message box is shown by the GUI thread while the worker waits for it to close.
#pragma once

#include "comms/notify.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include <wx/event.h>

// A worker message as the GUI thread receives it.
struct ScaleMessage {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// One message box asked for by a worker; the worker waits until it is completed.
struct WorkerMessageBox {
    std::string text;
    std::mutex mutex;
    std::condition_variable closed;
    bool done = false;

    // True once the box was closed or its worker no longer waits for it.
    bool IsDone() {
        std::lock_guard lock(mutex);
        return done;
    }
};

wxDECLARE_EVENT(EVT_SCALE_MESSAGE, wxThreadEvent);      // payload: ScaleMessage
wxDECLARE_EVENT(EVT_WORKER_MESSAGE_BOX, wxThreadEvent); // payload: shared_ptr<WorkerMessageBox>

class FrameNotifier : public NotifyWindow {
public:
    // The window that receives the events; nullptr detaches it (its pending boxes are completed so
    // that no worker waits for a window that no longer exists).
    void SetTarget(wxEvtHandler* target);

    void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void ShowMessageBoxAndWait(const std::string& text) override;

    // Called by the GUI thread once the box of `request` was closed.
    void Complete(const std::shared_ptr<WorkerMessageBox>& request);

private:
    mutable std::mutex m_mutex;
    wxEvtHandler* m_target = nullptr;
    std::vector<std::shared_ptr<WorkerMessageBox>> m_pending;
};

// The program's one notifier, which every scale's Device points at.
FrameNotifier& TheFrameNotifier();
