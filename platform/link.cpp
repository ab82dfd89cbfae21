#include "platform/link.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

struct Link::Channel {
    Channel(int fd, Kind kind) : fd(fd), kind(kind), wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Channel() {
        ::close(fd);
        if (wakeFd >= 0)
            ::close(wakeFd);
    }
    // Makes every pending and later poll on this channel return at once.
    void Shutdown() {
        if (wakeFd >= 0) {
            uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
        }
        if (kind == Kind::Socket)
            ::shutdown(fd, SHUT_RDWR);
    }
    // Waits until the descriptor is readable; 1 readable, 0 time-out, -1 closed or failed.
    int WaitReadable(int timeoutMs) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - std::chrono::steady_clock::now())
                                            .count());
            int r = ::poll(fds, wakeFd >= 0 ? 2 : 1, left < 0 ? 0 : left);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 || (fds[1].revents & POLLIN))
                return -1;
            if (r == 0)
                return 0;
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))
                return 1;
        }
    }

    const int fd;
    const Kind kind;
    const int wakeFd;
};

Link::~Link() { Close(); }

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

bool Link::IsOpen() const { return Current() != nullptr; }

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
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (*got < count) {
        int timeout = (*got == 0 || intervalTimeoutMs <= 0) ? totalTimeoutMs : intervalTimeoutMs;
        int ready = channel->WaitReadable(timeout);
        if (ready < 0)
            return ReadStatus::Failed;
        if (ready == 0)
            break;
        ssize_t n = ::read(channel->fd, bytes + *got, count - *got);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        // End of file on a readable descriptor: the peer closed the connection or hung up the line.
        if (n <= 0)
            return ReadStatus::Failed;
        *got += static_cast<std::size_t>(n);
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
        ssize_t n = channel->kind == Kind::Socket ? ::send(channel->fd, bytes + done, count - done, MSG_NOSIGNAL)
                                                  : ::write(channel->fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd pfd{channel->fd, POLLOUT, 0};
            if (::poll(&pfd, 1, 1000) <= 0)
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
