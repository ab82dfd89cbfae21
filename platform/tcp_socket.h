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
    Timeout,        // no answer within the wait
    WaitFailed,     // the wait itself failed
    ConnectFailed,  // the connection failed: refused, no route to the peer, ...
    Blocking,       // the socket could not be made blocking again
    ReceiveTimeout, // the receive time-out could not be set
};

struct TcpConnectResult {
    int fd = -1; // the connected socket (owned by the caller) when failure is None
    TcpFailure failure = TcpFailure::None;
    int error = 0; // errno of the failed step
};

// Connects to address:port (network order address, host order port), waiting at most `waitMs`
// for the connection. A connection that fails is reported as soon as it has failed, with its
// reason. The connected socket is blocking with a receive time-out of `receiveTimeoutMs`.
TcpConnectResult ConnectTcp(std::uint32_t address, std::uint16_t port, int waitMs, int receiveTimeoutMs);

// Why a connection failed, in words the user can act on: the system's reason for `error` and,
// where there is one, what to do about it; ETIMEDOUT means no answer came within the wait.
std::string TcpFailureText(int error);

} // namespace platform
