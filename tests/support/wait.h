// Waiting in tests for what another thread does: for the event itself, with a generous time-out,
// never for a fixed time that a busy machine may overrun.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <sys/types.h>

namespace sim {

class SimScale;

// Waits until `condition` holds; false when it still does not after the time-out.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The calling thread's id, for WaitUntilBlocked.
pid_t ThisThread();

// The bytes the thread has taken with read() so far, as the kernel counts them; 0 when unknown.
// A worker that has read as many bytes as a simulated scale sent has them all.
std::uint64_t BytesRead(pid_t thread);

// What a thread waits for: its line (poll, as a link does for bytes or for room to write), or also
// a futex (a condition variable such as an event).
enum class Blocked { InPoll, InPollOrFutex };

// Waits until the thread sleeps in such a system call; false when it does not after the time-out.
bool WaitUntilBlocked(pid_t thread, Blocked how = Blocked::InPoll,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
// The same for a thread that stores its id (ThisThread) when it starts; 0 until then.
bool WaitUntilBlocked(const std::atomic<pid_t>& thread, Blocked how = Blocked::InPoll,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Waits until such a thread has read every byte the scale sent and then sleeps again. Sleeping
// alone may be the wait for bytes already on their way.
bool WaitUntilAllRead(const std::atomic<pid_t>& thread, const SimScale& scale, Blocked how = Blocked::InPoll,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace sim
