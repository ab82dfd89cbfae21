#include "platform/link.h"

#include "platform/serial_port.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    // Round up so that a wait never ends a fraction of a millisecond before its deadline.
    return left < 0 ? 0 : static_cast<int>(left) + 1;
}

} // namespace

struct Link::Channel {
    Channel(int fd, Kind kind) : fd(fd), kind(kind), wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
    ~Channel() {
        // Without this a port that another program still holds open (a pty bridge, a port
        // server) would stay exclusive, and could not be opened again by anyone but root.
        if (kind == Kind::Serial)
            ReleaseSerialDevice(fd);
        ::close(fd);
        if (wakeFd >= 0)
            ::close(wakeFd);
    }
    // Makes every pending and later wait on this channel return at once.
    void Shutdown() {
        closed.store(true, std::memory_order_release);
        if (wakeFd >= 0) {
            uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
        }
        if (kind == Kind::Socket)
            ::shutdown(fd, SHUT_RDWR);
    }
    bool IsClosed() const { return closed.load(std::memory_order_acquire); }
    // Waits until the descriptor is ready for `events` (or hung up) or the deadline passes (none =
    // no deadline); 1 ready, 0 time-out, -1 closed or failed.
    int WaitReady(short events, const Clock::time_point* deadline) {
        pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        for (;;) {
            if (IsClosed())
                return -1;
            int r = ::poll(fds, wakeFd >= 0 ? 2 : 1, deadline ? MillisecondsUntil(*deadline) : -1);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 || (fds[1].revents & POLLIN))
                return -1;
            if (fds[0].revents & (events | POLLHUP | POLLERR | POLLNVAL))
                return 1;
            if (deadline && Clock::now() >= *deadline)
                return 0;
        }
    }
    // Reads what the descriptor holds, up to `count` bytes: the number read, 0 when nothing is
    // there yet; a broken link sets `failed`.
    std::size_t Take(unsigned char* bytes, std::size_t count) {
        for (;;) {
            ssize_t n = ::read(fd, bytes, count);
            if (n > 0) {
                drained = static_cast<std::size_t>(n) < count;
                return static_cast<std::size_t>(n);
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                drained = true;
                return 0;
            }
            // End of file on a readable descriptor: the peer closed the connection or the line
            // was hung up (a pseudo-terminal whose other side closed reports EIO).
            failed = true;
            return 0;
        }
    }

    const int fd;
    const Kind kind;
    const int wakeFd;
    std::atomic<bool> closed{false};

    // One read at a time; the state below belongs to the reader.
    std::mutex readMutex;
    bool failed = false;
    // The last read took all the descriptor held: wait for more before reading again, which
    // saves a system call per wake-up on a line slower than its reader.
    bool drained = false;
};

Link::Link() = default;

Link::~Link() {
    Close();
}

void Link::Attach(int fd, Kind kind) {
    auto channel = std::make_shared<Channel>(fd, kind);
    std::shared_ptr<Channel> old;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        old = std::move(m_channel);
        m_channel = std::move(channel);
    }
    if (old)
        old->Shutdown();
}

std::shared_ptr<Link::Channel> Link::Current() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_channel;
}

bool Link::IsOpen() const {
    return Current() != nullptr;
}

Link::Kind Link::GetKind() const {
    auto channel = Current();
    return channel ? channel->kind : Kind::Serial;
}

ReadStatus Link::Read(void* buffer, std::size_t count, std::size_t* got, int totalTimeoutMs,
                      int intervalTimeoutMs) {
    return DoRead(buffer, count, got, totalTimeoutMs, intervalTimeoutMs, true);
}

ReadStatus Link::ReadAvailable(void* buffer, std::size_t count, std::size_t* got, int timeoutMs) {
    return DoRead(buffer, count, got, timeoutMs, 0, false);
}

ReadStatus Link::DoRead(void* buffer, std::size_t count, std::size_t* got, int totalTimeoutMs,
                        int intervalTimeoutMs, bool untilCount) {
    *got = 0;
    auto channel = Current();
    if (!channel)
        return ReadStatus::Failed;
    std::lock_guard<std::mutex> readLock(channel->readMutex);
    // A socket read, like ReadAvailable, ends with the first bytes that arrive.
    untilCount = untilCount && channel->kind == Kind::Serial;
    auto* bytes = static_cast<unsigned char*>(buffer);
    // The deadline is taken when the first wait needs it: bytes already there need none.
    std::optional<Clock::time_point> totalDeadline;
    while (*got < count) {
        if (channel->IsClosed())
            return ReadStatus::Failed;
        if (channel->failed)
            return *got > 0 ? ReadStatus::Data : ReadStatus::Failed;
        if (!channel->drained) {
            const std::size_t n = channel->Take(bytes + *got, count - *got);
            *got += n;
            if (n > 0 && !untilCount)
                break;
            if (n > 0 || channel->failed)
                continue;
        }
        if (!totalDeadline)
            totalDeadline = Clock::now() + std::chrono::milliseconds(totalTimeoutMs);
        auto deadline = *totalDeadline;
        if (*got > 0 && intervalTimeoutMs > 0)
            deadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(intervalTimeoutMs));
        const int ready = channel->WaitReady(POLLIN, &deadline);
        if (ready < 0)
            return ReadStatus::Failed;
        if (ready == 0)
            break;
        channel->drained = false;
    }
    return *got > 0 ? ReadStatus::Data : ReadStatus::Timeout;
}

bool Link::Write(const void* buffer, std::size_t count) {
    auto channel = Current();
    if (!channel)
        return false;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        if (channel->IsClosed())
            return false;
        ssize_t n = channel->kind == Kind::Socket
                        ? ::send(channel->fd, bytes + done, count - done, MSG_NOSIGNAL | MSG_DONTWAIT)
                        : ::write(channel->fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The line is busy: wait for room as long as it takes; Close ends the wait.
            if (channel->WaitReady(POLLOUT, nullptr) < 0)
                return false;
            continue;
        }
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void Link::Close() {
    std::shared_ptr<Channel> old;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        old = std::move(m_channel);
    }
    if (old)
        old->Shutdown();
}

} // namespace platform
