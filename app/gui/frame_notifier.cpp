#include "app/gui/frame_notifier.h"

#include <algorithm>
#include <wx/thread.h>

wxDEFINE_EVENT(EVT_SCALE_MESSAGE, wxThreadEvent);
wxDEFINE_EVENT(EVT_WORKER_MESSAGE_BOX, wxThreadEvent);

FrameNotifier& TheFrameNotifier() {
    // Never destroyed: workers may still hold its address while the program ends.
    static FrameNotifier* notifier = new FrameNotifier;
    return *notifier;
}

void FrameNotifier::SetTarget(wxEvtHandler* target) {
    std::vector<std::shared_ptr<WorkerMessageBox>> released;
    {
        std::lock_guard lock(m_mutex);
        m_target = target;
        if (!target)
            released.swap(m_pending);
    }
    for (const auto& request : released) {
        std::lock_guard lock(request->mutex);
        request->done = true;
        request->closed.notify_all();
    }
}

void FrameNotifier::PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    // The lock keeps the window from being detached (and destroyed) while the event is queued.
    std::lock_guard lock(m_mutex);
    if (!m_target)
        return;
    auto* event = new wxThreadEvent(EVT_SCALE_MESSAGE);
    event->SetPayload(ScaleMessage{message, wParam, lParam});
    wxQueueEvent(m_target, event);
}

void FrameNotifier::ShowMessageBoxAndWait(const std::string& text) {
    auto request = std::make_shared<WorkerMessageBox>();
    request->text = text;
    if (wxIsMainThread()) {
        // Waiting here for the GUI thread would wait forever: hand the box over and go on.
        std::lock_guard lock(m_mutex);
        if (m_target) {
            auto* event = new wxThreadEvent(EVT_WORKER_MESSAGE_BOX);
            event->SetPayload(request);
            wxQueueEvent(m_target, event);
        }
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_target)
            return;
        m_pending.push_back(request);
        auto* event = new wxThreadEvent(EVT_WORKER_MESSAGE_BOX);
        event->SetPayload(request);
        wxQueueEvent(m_target, event);
    }
    std::unique_lock lock(request->mutex);
    request->closed.wait(lock, [&] { return request->done; });
}

void FrameNotifier::Complete(const std::shared_ptr<WorkerMessageBox>& request) {
    {
        std::lock_guard lock(m_mutex);
        m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), request), m_pending.end());
    }
    std::lock_guard lock(request->mutex);
    request->done = true;
    request->closed.notify_all();
}
