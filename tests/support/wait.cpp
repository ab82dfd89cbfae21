#include "support/wait.h"
#include "support/sim_scale.h"

#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace sim {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

pid_t ThisThread() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

std::uint64_t BytesRead(pid_t thread) {
    std::ifstream file("/proc/self/task/" + std::to_string(thread) + "/io");
    std::string key;
    std::uint64_t value = 0;
    while (file >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

bool WaitUntilBlocked(pid_t thread, Blocked how, std::chrono::milliseconds timeout) {
    // /proc shows the number of the system call a sleeping thread is in, or "running".
    const std::string path = "/proc/self/task/" + std::to_string(thread) + "/syscall";
    return WaitUntil(
        [&] {
            std::ifstream file(path);
            long number = -1;
            if (!(file >> number))
                return false;
#ifdef SYS_poll
            if (number == SYS_poll)
                return true;
#endif
            return number == SYS_ppoll || (how == Blocked::InPollOrFutex && number == SYS_futex);
        },
        timeout);
}

bool WaitUntilBlocked(const std::atomic<pid_t>& thread, Blocked how, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return thread != 0; }, timeout) && WaitUntilBlocked(thread.load(), how, timeout);
}

bool WaitUntilAllRead(const std::atomic<pid_t>& thread, const SimScale& scale, Blocked how,
                      std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return thread != 0 && BytesRead(thread) >= scale.Sent(); }, timeout) &&
           WaitUntilBlocked(thread.load(), how, timeout);
}

} // namespace sim
