#include "platform/event.h"

namespace platform {
namespace {

// All events share one lock and one condition variable: waits on several events at once then
// need no registration, and the handful of events a program holds makes the shared wake-up cheap.
std::mutex& Lock() {
    static std::mutex mutex;
    return mutex;
}

std::condition_variable& Changed() {
    static std::condition_variable changed;
    return changed;
}

} // namespace

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(Lock());
        m_signalled = true;
    }
    Changed().notify_all();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(Lock());
    m_signalled = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(Lock());
    return m_signalled;
}

bool Event::Wait(int timeoutMs) { return WaitForAny({this}, timeoutMs) == 0; }

int WaitForAny(std::initializer_list<Event*> events, int timeoutMs) {
    auto takeFirstSignalled = [&events] {
        int i = 0;
        for (Event* event : events) {
            if (event->m_signalled) {
                if (!event->m_manualReset)
                    event->m_signalled = false;
                return i;
            }
            ++i;
        }
        return kWaitTimeout;
    };
    std::unique_lock<std::mutex> lock(Lock());
    // A zero-time wait only looks: the engines do this once per byte, and a timed wait on the
    // condition variable would cost a system call even when its time is already up.
    if (timeoutMs == 0)
        return takeFirstSignalled();
    if (timeoutMs < 0) {
        int index;
        Changed().wait(lock, [&] { return (index = takeFirstSignalled()) != kWaitTimeout; });
        return index;
    }
    int index = kWaitTimeout;
    Changed().wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return (index = takeFirstSignalled()) != kWaitTimeout; });
    return index;
}

} // namespace platform
