// TCP client sockets to Ethernet scales, kept apart because the socket calls and their errno
// conventions are the operating system's.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Parses a dotted IPv4 address; false when the text is not one. `*address` is in network order.
bool ParseIpv4Address(const std::string& text, std::uint32_t* address);
// Parses the address of a peer to reach: a dotted IPv4 address other than 0.0.0.0, which Linux
// takes for this machine (an empty address field reads as 0.0.0.0). `*address` is in network order.
bool ParsePeerAddress(const std::string& text, std::uint32_t* address);

enum class TcpFailure {
    None,
    Create,         // no socket could be made
    NonBlocking,    // the socket could not be made non-blocking for the connection wait
    Timeout,        // no connection within the wait (a refused or unreachable peer included)
    WaitFailed,     // the wait itself failed
    ConnectFailed,  // the connection could not even be started
    Blocking,       // the socket could not be made blocking again
    ReceiveTimeout, // the receive time-out could not be set
};

struct TcpConnectResult {
    int fd = -1; // the connected socket (owned by the caller) when failure is None
    TcpFailure failure = TcpFailure::None;
    int error = 0; // errno of the failed step
};

// Connects to address:port (network order address, host order port), waiting at most `waitMs`
// for the connection. A connection that the peer refuses or that cannot be made counts as not
// made within the wait: it is reported as Timeout once the full wait has passed, never as
// connected. The connected socket is blocking with a receive time-out of `receiveTimeoutMs`.
TcpConnectResult ConnectTcp(std::uint32_t address, std::uint16_t port, int waitMs, int receiveTimeoutMs);

} // namespace platform
