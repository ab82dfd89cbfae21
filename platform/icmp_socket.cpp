#include "platform/icmp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kEchoReply = 0;
constexpr std::size_t kReceiveBufferSize = 1024;

uint16_t Read16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Read32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

IcmpSocket::~IcmpSocket() {
    Close();
}

bool IcmpSocket::Open() {
    Close();
    m_fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd >= 0) {
        m_kind = Kind::Raw;
        return true;
    }
    m_error = errno;
    // Without the right to open raw sockets the kernel may still offer ICMP datagram sockets to
    // the groups listed in net.ipv4.ping_group_range.
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd < 0)
        return false;
    int on = 1;
    ::setsockopt(m_fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    m_kind = Kind::Datagram;
    return true;
}

bool IcmpSocket::Send(const void* message, std::size_t size, const std::string& address) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) {
        m_error = EINVAL;
        return false;
    }
    ssize_t sent;
    do {
        sent = ::sendto(m_fd, message, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        m_error = errno;
        return false;
    }
    return true;
}

IcmpWait IcmpSocket::WaitForEchoReply(uint16_t identifier, uint16_t sequence, int timeoutMs,
                                      IcmpReply* reply) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned char buffer[kReceiveBufferSize];
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(int))];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0)
            return IcmpWait::Timeout;
        pollfd fds{m_fd, POLLIN, 0};
        const int ready = ::poll(&fds, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            m_error = errno;
            return IcmpWait::WaitFailed;
        }
        if (ready == 0)
            return IcmpWait::Timeout;

        sockaddr_in from{};
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(m_fd, &msg, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_error = errno;
            return IcmpWait::ReceiveFailed;
        }

        const unsigned char* icmp = buffer;
        std::size_t icmpSize = static_cast<std::size_t>(got);
        int ttl = 0;
        if (m_kind == Kind::Raw) {
            // A raw socket delivers the IP datagram: skip its header, whose length is in the
            // low nibble of the first byte, counted in 32-bit words. The TTL is byte 8.
            if (icmpSize < 20)
                continue;
            const std::size_t headerSize = (buffer[0] & 0x0F) * 4u;
            if (headerSize < 20 || icmpSize < headerSize)
                continue;
            ttl = buffer[8];
            icmp += headerSize;
            icmpSize -= headerSize;
        } else {
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL &&
                    c->cmsg_len >= CMSG_LEN(sizeof(int)))
                    std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            }
        }
        if (icmpSize < 12 || icmp[0] != kEchoReply || Read16(icmp + 6) != sequence)
            continue;
        // The datagram socket puts its own identifier into every request and delivers only the
        // replies that carry it, so only a raw socket has to compare identifiers.
        if (m_kind == Kind::Raw && Read16(icmp + 4) != identifier)
            continue;

        char text[INET_ADDRSTRLEN] = "";
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        reply->from = text;
        reply->ttl = ttl;
        reply->stamp = Read32(icmp + 8);
        return IcmpWait::Reply;
    }
}

bool IcmpSocket::Close() {
    if (m_fd < 0)
        return true;
    const int result = ::close(m_fd);
    m_fd = -1;
    m_kind = Kind::Closed;
    if (result < 0 && errno != EINTR) {
        m_error = errno;
        return false;
    }
    return true;
}

} // namespace platform
