#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

bool SetNonBlocking(int fd, bool on) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    return ::fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

TcpConnectResult Fail(int fd, TcpFailure failure, int error) {
    if (fd >= 0)
        ::close(fd);
    return {-1, failure, error};
}

} // namespace

bool ParseIpv4Address(const std::string& text, std::uint32_t* address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1)
        return false;
    *address = parsed.s_addr;
    return true;
}

bool ParsePeerAddress(const std::string& text, std::uint32_t* address) {
    std::uint32_t parsed = 0;
    if (!ParseIpv4Address(text, &parsed) || parsed == INADDR_ANY)
        return false;
    *address = parsed;
    return true;
}

TcpConnectResult ConnectTcp(std::uint32_t address, std::uint16_t port, int waitMs, int receiveTimeoutMs) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Fail(-1, TcpFailure::Create, errno);
    if (!SetNonBlocking(fd, true))
        return Fail(fd, TcpFailure::NonBlocking, errno);

    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address;
    peer.sin_port = htons(port);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS)
            return Fail(fd, TcpFailure::ConnectFailed, errno);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{fd, POLLOUT, 0};
            int r = ::poll(&pfd, 1, left.count() < 0 ? 0 : static_cast<int>(left.count()) + 1);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                return Fail(fd, TcpFailure::WaitFailed, errno);
            if (r == 0)
                return Fail(fd, TcpFailure::Timeout, ETIMEDOUT);
            break;
        }
        // Writable means the attempt has ended, not that it succeeded.
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            return Fail(fd, TcpFailure::WaitFailed, errno);
        if (error != 0)
            return Fail(fd, TcpFailure::ConnectFailed, error);
    }
    if (!SetNonBlocking(fd, false))
        return Fail(fd, TcpFailure::Blocking, errno);
    timeval timeout{receiveTimeoutMs / 1000, (receiveTimeoutMs % 1000) * 1000};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
        return Fail(fd, TcpFailure::ReceiveTimeout, errno);
    return {fd, TcpFailure::None, 0};
}

std::string TcpFailureText(int error) {
    const std::string checkScale = "check the address, the network cable, and that the scale is switched on)";
    switch (error) {
    case ETIMEDOUT:
        return "no answer from the scale (" + checkScale;
    case ECONNREFUSED:
        return std::system_category().message(error) +
               " (nothing takes connections on that port: check the port number, and that the scale is "
               "switched on)";
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return std::system_category().message(error) + " (" + checkScale;
    case ENETUNREACH:
        return std::system_category().message(error) +
               " (check the address, and this computer's network connection)";
    default:
        return std::system_category().message(error);
    }
}

} // namespace platform
