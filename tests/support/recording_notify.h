// A notify window for tests: records every posted message and answers worker message boxes at once.
#pragma once

#include "comms/notify.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

struct PostedMessage {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const PostedMessage&) const = default;
};

struct Device;
// Makes the scale's current fields its delivered reading, as a parser's announcement followed by
// the window's reading handler does.
void TakeCurrentReading(Device* dev);

class RecordingNotify : public NotifyWindow {
public:
    void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void ShowMessageBoxAndWait(const std::string& text) override;

    std::vector<PostedMessage> Messages() const;
    std::vector<std::string> MessageBoxes() const;
    // Waits until at least `count` messages were posted; false on time-out.
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Waits for a WM_SCALE_STATUS message and returns its code, or -1 on time-out.
    int WaitForStatus(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<PostedMessage> m_messages;
    std::vector<std::string> m_boxes;
};
