// A named worker thread that can be asked, without blocking, whether it has ended. It stands in for
// the system's suspended-start thread objects whose exit code the GUI thread polls.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace platform {

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread();

    // Starts the procedure on a new thread named `name` (cut to the system's 15 characters).
    void Start(const std::string& name, std::function<unsigned()> procedure);
    bool IsStarted() const { return m_thread.joinable(); }
    // True once the procedure has returned (the thread may still be finishing).
    bool HasEnded() const { return m_ended.load(std::memory_order_acquire); }
    unsigned ExitCode() const { return m_exitCode.load(std::memory_order_acquire); }
    // Waits for the thread to finish; does nothing when none was started or it was joined already.
    void Join();

private:
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    std::atomic<unsigned> m_exitCode{0};
};

} // namespace platform
