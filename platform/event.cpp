#include "platform/event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>

namespace platform {

// A thread waiting in WaitForAny. Set marks it woken under its lock, so that a wake between the
// waiter's last look at its events and its sleep is not lost.
struct Event::Waiter {
    std::mutex mutex;
    std::condition_variable woken;
    bool signalled = false;
};

void Event::Set() {
    m_signalled.store(true, std::memory_order_seq_cst);
    // Registration and wake-up share the event's own lock: a waiter that registers after this
    // sees the signal when it looks, and one registered before is woken here. The waiter stays
    // registered (and so alive) until it has taken this lock again to leave.
    std::lock_guard<std::mutex> lock(m_waitersMutex);
    for (Waiter* waiter : m_waiters) {
        {
            std::lock_guard<std::mutex> waiterLock(waiter->mutex);
            waiter->signalled = true;
        }
        waiter->woken.notify_one();
    }
}

void Event::Reset() {
    m_signalled.store(false, std::memory_order_seq_cst);
}

bool Event::IsSet() const {
    return m_signalled.load(std::memory_order_acquire);
}

bool Event::TryTake() {
    if (!m_signalled.load(std::memory_order_acquire))
        return false;
    return m_manualReset || m_signalled.exchange(false, std::memory_order_acq_rel);
}

void Event::Register(Waiter* waiter) {
    std::lock_guard<std::mutex> lock(m_waitersMutex);
    m_waiters.push_back(waiter);
}

void Event::Unregister(Waiter* waiter) {
    std::lock_guard<std::mutex> lock(m_waitersMutex);
    m_waiters.erase(std::find(m_waiters.begin(), m_waiters.end(), waiter));
}

bool Event::Wait(int timeoutMs) {
    return WaitForAny({this}, timeoutMs) == 0;
}

int WaitForAny(std::initializer_list<Event*> events, int timeoutMs) {
    auto takeFirstSignalled = [&events] {
        int i = 0;
        for (Event* event : events) {
            if (event->TryTake())
                return i;
            ++i;
        }
        return kWaitTimeout;
    };
    // A zero-time wait only looks, without a lock or a system call.
    int index = takeFirstSignalled();
    if (index != kWaitTimeout || timeoutMs == 0)
        return index;

    Event::Waiter waiter;
    for (Event* event : events)
        event->Register(&waiter);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    {
        std::unique_lock<std::mutex> lock(waiter.mutex);
        for (;;) {
            // Looked at with the waiter's lock held: a Set from now on waits for the sleep below.
            waiter.signalled = false;
            if ((index = takeFirstSignalled()) != kWaitTimeout)
                break;
            if (timeoutMs < 0) {
                waiter.woken.wait(lock, [&] { return waiter.signalled; });
            } else if (!waiter.woken.wait_until(lock, deadline, [&] { return waiter.signalled; })) {
                index = takeFirstSignalled();
                break;
            }
        }
    }
    for (Event* event : events)
        event->Unregister(&waiter);
    return index;
}

} // namespace platform
