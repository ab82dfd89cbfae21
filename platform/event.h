// Events through which the GUI thread drives a scale's worker. They stand in for the system's
// auto-reset and manual-reset event objects and are isolated here so that nothing else depends on
// how waiting is done.
//
// A look that does not wait (Wait(0)) takes no lock: the engines look at their stop event once
// per frame. A thread that waits registers with each event it waits on, and Set wakes only the
// threads registered with that event; no lock is shared between events.
#pragma once

#include <atomic>
#include <initializer_list>
#include <mutex>
#include <vector>

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
    struct Waiter;
    // Consumes the signal of an auto-reset event; true when the event was signalled.
    bool TryTake();
    void Register(Waiter* waiter);
    void Unregister(Waiter* waiter);

    const bool m_manualReset;
    std::atomic<bool> m_signalled{false};
    std::mutex m_waitersMutex;
    std::vector<Waiter*> m_waiters;
};

constexpr int kWaitTimeout = -1;

// Waits until one of the events is signalled and returns its position in the list; when several
// are signalled the first one in the list wins and only that one is consumed. Returns kWaitTimeout
// when the time-out (milliseconds, negative = forever) passes first.
int WaitForAny(std::initializer_list<Event*> events, int timeoutMs = -1);

} // namespace platform
