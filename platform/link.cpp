#include "platform/link.h"

#include <algorithm>
#include <array>
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

// On a line that keeps sending, bytes are taken at most once per this time: a serial driver
// hands bytes on in small bursts (a few per interrupt), and waking the reader for each burst
// costs far more than the bytes themselves. A reading of a streaming scale so arrives at most
// this much later. A byte after a quiet spell or on a fast line, and the first byte of an answer
// to something the program sent, are taken at once.
constexpr auto kGatherTime = std::chrono::milliseconds(20);
// A line that delivers this much per gathering is fast: its bytes are taken as they come.
constexpr std::size_t kGatherBytes = 1024;

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
    // no deadline); 1 ready, 0 time-out, -1 closed or failed. With no events it waits only for the
    // deadline, a hang-up or Close.
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
    // Fills the receive buffer with what the descriptor holds: true when bytes were taken, false
    // when nothing is there yet; a broken link sets `failed`.
    bool Fill() {
        for (;;) {
            ssize_t n = ::read(fd, pending.data(), pending.size());
            if (n > 0) {
                lastFill = Clock::now();
                lastFillBytes = static_cast<std::size_t>(n);
                answerAwaited.store(false, std::memory_order_relaxed);
                pendingStart = 0;
                pendingEnd = static_cast<std::size_t>(n);
                drained = pendingEnd < pending.size();
                return true;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                drained = true;
                return false;
            }
            // End of file on a readable descriptor: the peer closed the connection or the line
            // was hung up (a pseudo-terminal whose other side closed reports EIO).
            failed = true;
            return false;
        }
    }

    const int fd;
    const Kind kind;
    const int wakeFd;
    std::atomic<bool> closed{false};

    // Bytes read from the descriptor and not yet handed to a caller. Reading in blocks keeps the
    // one-byte reads of the engines cheap: one system call per block instead of two per byte.
    std::mutex readMutex;
    std::array<unsigned char, 4096> pending{};
    std::size_t pendingStart = 0;
    std::size_t pendingEnd = 0;
    bool failed = false;
    // The last read took all the descriptor held: wait before reading again, which saves a
    // system call per wake-up on a line slower than its reader.
    bool drained = false;
    Clock::time_point lastFill;
    std::size_t lastFillBytes = 0;
    // Set by a write: the next bytes are an answer, taken without gathering.
    std::atomic<bool> answerAwaited{false};
};

Link::Link() : m_gatherMs(kGatherTime.count()) {}

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
    *got = 0;
    auto channel = Current();
    if (!channel)
        return ReadStatus::Failed;
    std::lock_guard<std::mutex> readLock(channel->readMutex);
    auto* bytes = static_cast<unsigned char*>(buffer);
    // The deadline is taken when the first wait needs it: a read served from the buffer needs none.
    std::optional<Clock::time_point> totalDeadline;
    while (*got < count) {
        if (channel->IsClosed())
            return ReadStatus::Failed;
        if (channel->pendingStart < channel->pendingEnd) {
            std::size_t n = std::min(count - *got, channel->pendingEnd - channel->pendingStart);
            std::memcpy(bytes + *got, channel->pending.data() + channel->pendingStart, n);
            channel->pendingStart += n;
            *got += n;
            if (channel->kind == Kind::Socket)
                break;
            continue;
        }
        if (channel->failed)
            return *got > 0 ? ReadStatus::Data : ReadStatus::Failed;
        if (!channel->drained && channel->Fill())
            continue;
        if (channel->failed)
            continue;
        if (!totalDeadline)
            totalDeadline = Clock::now() + std::chrono::milliseconds(totalTimeoutMs);
        auto deadline = *totalDeadline;
        if (*got > 0 && intervalTimeoutMs > 0)
            deadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(intervalTimeoutMs));
        // Shortly after the last bytes, let the next ones gather first, then look again.
        const auto gatherTime = std::chrono::milliseconds(m_gatherMs.load(std::memory_order_relaxed));
        if (const auto gatherUntil = std::min(channel->lastFill + gatherTime, deadline);
            channel->lastFillBytes < kGatherBytes &&
            !channel->answerAwaited.load(std::memory_order_relaxed) && Clock::now() < gatherUntil) {
            if (channel->WaitReady(0, &gatherUntil) < 0)
                return ReadStatus::Failed;
            channel->drained = false;
            continue;
        }
        int ready = channel->WaitReady(POLLIN, &deadline);
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
    channel->answerAwaited.store(true, std::memory_order_relaxed);
    return true;
}

void Link::SetGatherTime(std::chrono::milliseconds time) {
    m_gatherMs.store(time.count(), std::memory_order_relaxed);
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
