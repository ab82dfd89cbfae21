// Waiting in tests for what another thread does: for the event itself, with a generous time-out,
// never for a fixed time that a busy machine may overrun.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <sys/types.h>

namespace sim {

// Waits until `condition` holds; false when it still does not after the time-out.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The calling thread's id, for WaitUntilBlocked.
pid_t ThisThread();

// What a thread waits for: its line (poll, as a link does for bytes or for room to write), or also
// a futex (a condition variable such as an event).
enum class Blocked { InPoll, InPollOrFutex };

// Waits until the thread sleeps in such a system call; false when it does not after the time-out.
bool WaitUntilBlocked(pid_t thread, Blocked how = Blocked::InPoll,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
// The same for a thread that stores its id (ThisThread) when it starts; 0 until then.
bool WaitUntilBlocked(const std::atomic<pid_t>& thread, Blocked how = Blocked::InPoll,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace sim
