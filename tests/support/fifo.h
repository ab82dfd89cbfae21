// A named pipe for tests of code that must never wait on one. Should the code under test still be
// stuck opening it after a few seconds, the pipe opens itself (read and write, which never waits),
// which ends that wait, and says so: the test fails instead of hanging. It also tells whether
// anything opened it at all (a device given as a file must not even be opened).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class NamedPipe {
public:
    explicit NamedPipe(std::string path, std::chrono::seconds patience = std::chrono::seconds(10))
        : m_path(std::move(path)) {
        m_made = ::mkfifo(m_path.c_str(), 0600) == 0;
        m_opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_made && m_opens >= 0)
            m_made = ::inotify_add_watch(m_opens, m_path.c_str(), IN_OPEN) >= 0;
        m_watchdog = std::thread([this, patience] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_done.wait_for(lock, patience, [this] { return m_finished; }))
                return;
            const int fd = ::open(m_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            m_hadToOpen = true;
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (fd >= 0)
                ::close(fd);
        });
    }
    ~NamedPipe() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_watchdog.join();
        ::unlink(m_path.c_str());
        if (m_opens >= 0)
            ::close(m_opens);
    }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool Made() const { return m_made; }
    // True when an open of the pipe hung until the watchdog freed it.
    bool HadToBeFreed() const { return m_hadToOpen.load(); }
    // True when anything has opened the pipe so far.
    bool WasOpened() {
        alignas(inotify_event) char events[4096];
        m_opened = m_opened || ::read(m_opens, events, sizeof events) > 0;
        return m_opened;
    }

private:
    std::string m_path;
    bool m_made = false;
    int m_opens = -1; // inotify: told of each open
    bool m_opened = false;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::atomic<bool> m_hadToOpen{false};
    std::thread m_watchdog;
};
