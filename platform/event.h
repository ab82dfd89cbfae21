// Events through which the GUI thread drives a scale's worker. They stand in for the system's
// auto-reset and manual-reset event objects and are isolated here so that nothing else depends on
// how waiting is done.
#pragma once

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>

namespace platform {

class Event {
public:
    explicit Event(bool manualReset = false) : m_manualReset(manualReset) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Waits until the event is signalled or the time-out (milliseconds, negative = forever)
    // passes. An auto-reset event is reset by a successful wait.
    bool Wait(int timeoutMs = -1);
    bool IsSet() const;

private:
    friend int WaitForAny(std::initializer_list<Event*> events, int timeoutMs);
    bool m_manualReset;
    bool m_signalled = false;
};

constexpr int kWaitTimeout = -1;

// Waits until one of the events is signalled and returns its position in the list; when several
// are signalled the first one in the list wins and only that one is consumed. Returns kWaitTimeout
// when the time-out (milliseconds, negative = forever) passes first.
int WaitForAny(std::initializer_list<Event*> events, int timeoutMs = -1);

} // namespace platform
