// ICMP echo for the ping tool. It is isolated here because the kernel offers two kinds of ICMP
// socket that differ in who may open them and in what they deliver: a raw socket (root or
// CAP_NET_RAW) hands over whole IP datagrams, our own outgoing requests on loopback included, while
// the unprivileged datagram socket hands over only the ICMP message and rewrites the identifier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class IcmpWait {
    Reply,         // the matching echo reply arrived
    Timeout,       // no matching reply within the time-out
    WaitFailed,    // waiting for the socket to become readable failed; the error code is set
    ReceiveFailed, // receiving a datagram failed; the error code is set
};

struct IcmpReply {
    std::string from;   // sender address, dotted
    int ttl = 0;        // time to live of the reply's IP datagram
    uint32_t stamp = 0; // the 32-bit little-endian value at byte 8 of the echoed ICMP message
};

class IcmpSocket {
public:
    enum class Kind { Closed, Raw, Datagram };

    IcmpSocket() = default;
    IcmpSocket(const IcmpSocket&) = delete;
    IcmpSocket& operator=(const IcmpSocket&) = delete;
    ~IcmpSocket();

    // Opens a raw ICMP socket, or an ICMP datagram socket where raw sockets are not permitted.
    // False when neither can be opened; ErrorCode() then holds the raw socket's error.
    bool Open();
    Kind GetKind() const { return m_kind; }

    // Sends one ICMP message to the IPv4 address given as dotted text. False on failure.
    bool Send(const void* message, std::size_t size, const std::string& address);

    // Waits up to `timeoutMs` for the echo reply that carries this identifier and sequence number.
    // Everything else that arrives meanwhile is skipped: our own request (a raw socket sees it on
    // loopback), replies to earlier echoes that came too late, and other programs' traffic.
    IcmpWait WaitForEchoReply(uint16_t identifier, uint16_t sequence, int timeoutMs, IcmpReply* reply);

    // Closes the socket; false when closing failed.
    bool Close();

    // errno of the last failed operation.
    int ErrorCode() const { return m_error; }

private:
    int m_fd = -1;
    Kind m_kind = Kind::Closed;
    int m_error = 0;
};

} // namespace platform
