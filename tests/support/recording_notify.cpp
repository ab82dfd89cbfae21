#include "support/recording_notify.h"

#include "comms/device.h"

void TakeCurrentReading(Device* dev) {
    std::lock_guard<std::mutex> lock(dev->ReadingsLock());
    dev->QueueReading();
    unsigned droppedAfter = 0;
    dev->TakeReading(&droppedAfter);
}

void RecordingNotify::PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back({message, wParam, lParam});
    }
    m_changed.notify_all();
}

void RecordingNotify::ShowMessageBoxAndWait(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.push_back(text);
}

std::vector<PostedMessage> RecordingNotify::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::vector<std::string> RecordingNotify::MessageBoxes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

bool RecordingNotify::WaitForCount(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_messages.size() >= count; });
}

int RecordingNotify::WaitForStatus(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    int code = -1;
    m_changed.wait_for(lock, timeout, [&] {
        for (const auto& m : m_messages)
            if (m.message == WM_SCALE_STATUS) {
                code = static_cast<int>(m.lParam);
                return true;
            }
        return false;
    });
    return code;
}

void RecordingNotify::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
    m_boxes.clear();
}
