#include "support/sim_scale.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

Step Send(std::string_view bytes) {
    return {Step::Kind::Send, std::string(bytes), {}};
}

Step SendRepeated(std::string_view bytes, int times) {
    std::string all;
    for (int i = 0; i < times; ++i)
        all += bytes;
    return Send(all);
}

Step Expect(std::string_view bytes, std::chrono::milliseconds timeout) {
    return {Step::Kind::Expect, std::string(bytes), timeout};
}
Step Pause(std::chrono::milliseconds time) {
    return {Step::Kind::Pause, {}, time};
}
Step Until(std::function<bool()> condition, std::chrono::milliseconds timeout) {
    return {Step::Kind::Until, {}, timeout, std::move(condition)};
}
Step Silent() {
    return {Step::Kind::Silent, {}, {}};
}
Step Hangup() {
    return {Step::Kind::Hangup, {}, {}};
}
Step Reset() {
    return {Step::Kind::Reset, {}, {}};
}

namespace {

[[noreturn]] void SetupFailed(const char* what) {
    throw std::runtime_error(std::string("simulated scale: ") + what + ": " + std::to_string(errno));
}

// Shows control bytes of a script step readably in a failure message.
std::string Visible(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        if (c < 0x20 || c >= 0x7F) {
            text += '[';
            text += kHex[c >> 4];
            text += kHex[c & 0xF];
            text += ']';
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

} // namespace

SimScale::SimScale(Transport transport) : m_transport(transport) {
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0)
        SetupFailed("eventfd");
    if (transport == Pty) {
        int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            SetupFailed("posix_openpt");
        m_portPath = ptsname(master);
        m_slaveFd = ::open(m_portPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_slaveFd < 0)
            SetupFailed("open pty");
        // Raw from the start, so that nothing is echoed back before the program opens the port.
        termios tio{};
        tcgetattr(m_slaveFd, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_slaveFd, TCSANOW, &tio);
        m_lineFd = master;
    } else {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listenFd, 4) != 0 ||
            ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            SetupFailed("listen");
        m_tcpPort = ntohs(address.sin_port);
    }
}

SimScale::~SimScale() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_stopFd, &one, sizeof one);
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_lineFd.load(), m_slaveFd, m_listenFd, m_stopFd})
        if (fd >= 0)
            ::close(fd);
}

void SimScale::Attach(Device* dev) const {
    if (m_transport == Pty) {
        dev->m_useEthernet = "0";
        dev->m_port = m_portPath;
        dev->m_baudRate = "9600";
        dev->m_dataBits = "8";
        dev->m_stopBits = "1";
        dev->m_parity = "None";
        dev->m_flowControl = "None";
    } else {
        dev->m_useEthernet = "1";
        dev->m_ipAddress = "127.0.0.1";
        dev->m_tcpPort = std::to_string(m_tcpPort);
    }
}

void SimScale::Run(std::vector<Step> steps) {
    if (m_thread.joinable())
        m_thread.join();
    m_done = false;
    m_parked = false;
    m_thread = std::thread([this, steps = std::move(steps)]() mutable { Play(std::move(steps)); });
}

bool SimScale::Finish(std::chrono::milliseconds timeout) {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_finished.wait_for(lock, timeout, [this] { return m_done.load() || m_parked; })) {
            if (m_failure.empty())
                m_failure = "script still running after the time-out";
        }
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_stopFd, &one, sizeof one);
    if (m_thread.joinable())
        m_thread.join();
    uint64_t value = 0;
    n = ::read(m_stopFd, &value, sizeof value); // ready for the next script
    return Failure().empty();
}

std::string SimScale::Failure() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

std::string SimScale::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void SimScale::Fail(std::string why) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failure.empty())
        m_failure = std::move(why);
}

bool SimScale::WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        int r = ::poll(fds, 2, left.count() < 0 ? 0 : static_cast<int>(left.count()) + 1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || (fds[1].revents & POLLIN))
            return false;
        if (fds[0].revents)
            return true;
    }
}

bool SimScale::WaitForConnection(std::chrono::milliseconds timeout) {
    if (m_lineFd >= 0)
        return true;
    if (!WaitReadable(m_listenFd, std::chrono::steady_clock::now() + timeout))
        return false;
    int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return false;
    m_lineFd = fd;
    return true;
}

bool SimScale::WaitForOpen(std::chrono::milliseconds timeout) {
    // The program's open ends by making the port exclusive.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd stop{m_stopFd, POLLIN, 0};
    for (;;) {
        int exclusive = 0;
        if (::ioctl(m_slaveFd, TIOCGEXCL, &exclusive) == 0 && exclusive)
            return true;
        if (std::chrono::steady_clock::now() > deadline || ::poll(&stop, 1, 1) > 0)
            return false;
    }
}

bool SimScale::AcceptNewest() {
    bool accepted = false;
    for (;;) {
        pollfd pending{m_listenFd, POLLIN, 0};
        if (m_listenFd < 0 || ::poll(&pending, 1, 0) <= 0)
            return accepted;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return accepted;
        const int old = m_lineFd.exchange(fd);
        if (old >= 0)
            ::close(old);
        accepted = true;
    }
}

void SimScale::Play(std::vector<Step> steps) {
    if (m_transport == Tcp && !WaitForConnection())
        Fail("the program did not connect");
    if (m_transport == Pty && !WaitForOpen(10s))
        Fail("the program did not open the port");
    for (std::size_t i = 0; i < steps.size() && Failure().empty(); ++i)
        if (!DoStep(steps[i]) && Failure().empty())
            Fail("step " + std::to_string(i + 1) + " stopped");
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
    }
    m_finished.notify_all();
}

bool SimScale::DoStep(const Step& step) {
    using Kind = Step::Kind;
    switch (step.kind) {
    case Kind::Send:
        return Write(step.bytes);
    case Kind::Expect:
        return Expect(step.bytes, step.time);
    case Kind::Pause: {
        // A pause ends early only when the scale is destroyed.
        pollfd stop{m_stopFd, POLLIN, 0};
        return ::poll(&stop, 1, static_cast<int>(step.time.count())) == 0;
    }
    case Kind::Until: {
        const auto deadline = std::chrono::steady_clock::now() + step.time;
        pollfd stop{m_stopFd, POLLIN, 0};
        while (!step.condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                Fail("a condition the script waits for still does not hold");
                return false;
            }
            if (::poll(&stop, 1, 1) > 0)
                return false;
        }
        return true;
    }
    case Kind::Silent: {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_parked = true;
        }
        m_finished.notify_all();
        pollfd stop{m_stopFd, POLLIN, 0};
        while (::poll(&stop, 1, -1) < 0 && errno == EINTR) {
        }
        return true;
    }
    case Kind::Hangup:
        CloseLine(false);
        return true;
    case Kind::Reset:
        CloseLine(true);
        return true;
    }
    return false;
}

bool SimScale::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = m_transport == Tcp
                        ? ::send(m_lineFd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                        : ::write(m_lineFd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Fail("send failed: " + std::to_string(errno));
            return false;
        }
        done += static_cast<std::size_t>(n);
        m_sent += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool SimScale::Expect(const std::string& bytes, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::size_t n = std::min(bytes.size(), m_unread.size());
            if (m_unread.compare(0, n, bytes, 0, n) != 0) {
                if (m_failure.empty())
                    m_failure = "expected " + Visible(bytes) + ", received " + Visible(m_unread);
                return false;
            }
            if (n == bytes.size()) {
                m_unread.erase(0, n);
                return true;
            }
        }
        if (!WaitReadable(m_lineFd, deadline)) {
            Fail("expected " + Visible(bytes) + ", received only " + Visible(m_unread));
            return false;
        }
        char buffer[256];
        ssize_t n = ::read(m_lineFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Fail("expected " + Visible(bytes) + ", but the line closed");
            return false;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(buffer, static_cast<std::size_t>(n));
        m_unread.append(buffer, static_cast<std::size_t>(n));
    }
}

void SimScale::CloseLine(bool reset) {
    int fd = m_lineFd.exchange(-1);
    if (fd < 0)
        return;
    if (reset && m_transport == Tcp) {
        linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    ::close(fd);
}

} // namespace sim
