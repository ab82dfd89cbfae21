#include "comms/ping.h"

#include "comms/link.h"
#include "platform/icmp_socket.h"
#include "platform/tcp_socket.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

uint16_t g_PingIdentifier = 1;
uint16_t g_PingSequence = 1;

namespace {

constexpr unsigned char kEchoRequestType = 8;
constexpr int kPatternOffset = 12;

void Put16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void Put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

template <typename... Args> std::string Format(const char* format, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

uint16_t InternetChecksum(const unsigned char* data, int length) {
    uint32_t sum = 0;
    int i = 0;
    for (; i + 1 < length; i += 2)
        sum += static_cast<uint32_t>(data[i] | (data[i + 1] << 8));
    if (i < length)
        sum += data[i];
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<uint16_t>(~sum);
}

std::array<unsigned char, kEchoRequestSize> BuildEchoRequest(uint16_t identifier, uint16_t sequence,
                                                             uint32_t stamp) {
    std::array<unsigned char, kEchoRequestSize> packet{};
    packet[0] = kEchoRequestType;
    packet[1] = 0;
    Put16(&packet[4], identifier);
    Put16(&packet[6], sequence);
    Put32(&packet[8], stamp);
    for (int i = 0; kPatternOffset + i < kEchoRequestSize; ++i)
        packet[kPatternOffset + i] = static_cast<unsigned char>(0x20 + i);
    Put16(&packet[2], InternetChecksum(packet.data(), kEchoRequestSize));
    return packet;
}

char* DupTextForPost(const std::string& text) {
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

std::string TakePostedText(std::intptr_t lParam) {
    std::unique_ptr<char[]> copy(reinterpret_cast<char*>(lParam));
    return copy ? std::string(copy.get()) : std::string();
}

uint32_t PingEngine::GetTick() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
    return static_cast<uint32_t>(ticks);
}

void PingEngine::PostLine(int kind, const std::string& text) {
    m_window->PostMessage(WM_PING_LINE, static_cast<std::uintptr_t>(kind),
                          reinterpret_cast<std::intptr_t>(DupTextForPost(text)));
}

void PingEngine::ReportError(const char* operation, int code) {
    PostLine(kPingErrorLine, Format("%s - WSAError: %ld\r\n", operation, static_cast<long>(code)));
}

void PingEngine::SendEcho(platform::IcmpSocket& socket, const std::string& address, uint16_t* identifier,
                          uint16_t* sequence) {
    *identifier = g_PingIdentifier++;
    *sequence = g_PingSequence++;
    const auto packet = BuildEchoRequest(*identifier, *sequence, GetTick());
    if (!socket.Send(packet.data(), packet.size(), address))
        ReportError("sendto()", socket.ErrorCode());
}

void PingEngine::Run(unsigned count, const std::string& address, NotifyWindow* window,
                     platform::Event* stopEvent) {
    m_window = window;
    // An address that does not parse, or 0.0.0.0 (an empty address field), would be answered by
    // this machine; no echo goes out, and the run ends at once so that Retry is offered again.
    std::uint32_t peer = 0;
    if (!platform::ParsePeerAddress(address, &peer)) {
        PostLine(kPingErrorLine, InvalidAddressText(address) + "\r\n");
        m_window->PostMessage(WM_PING_DONE, 0, 1);
        return;
    }
    platform::IcmpSocket socket;
    if (!socket.Open()) {
        ReportError("socket()", socket.ErrorCode());
        PostLine(kPingErrorLine, "Ping needs the right to open ICMP sockets (root or CAP_NET_RAW, or a group "
                                 "within net.ipv4.ping_group_range).\r\n");
        return;
    }

    PostLine(kPingHeaderLine,
             Format("\r\nPinging %s with %d bytes of data:\r\n", address.c_str(), kEchoDataSize));

    unsigned sent = 0, received = 0, sum = 0;
    unsigned minimum = 0xFFFFFFFFu, maximum = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (stopEvent->Wait(0))
            break;
        ++sent;
        uint16_t identifier = 0, sequence = 0;
        SendEcho(socket, address, &identifier, &sequence);

        platform::IcmpReply reply;
        const platform::IcmpWait result =
            socket.WaitForEchoReply(identifier, sequence, kPingReplyTimeoutMs, &reply);
        if (result == platform::IcmpWait::Timeout) {
            PostLine(kPingTimeoutLine, "Request Timed Out\r\n");
            continue;
        }
        if (result == platform::IcmpWait::WaitFailed) {
            ReportError("select()", socket.ErrorCode());
            break;
        }
        if (result == platform::IcmpWait::ReceiveFailed) {
            // Nothing was received, so there is no time or TTL to show: the echo counts as lost.
            ReportError("recvfrom()", socket.ErrorCode());
            continue;
        }
        ++received;
        const uint64_t elapsed = static_cast<uint32_t>(GetTick() - reply.stamp);
        const unsigned time = static_cast<unsigned>(elapsed * 1000 / kTicksPerSecond);
        minimum = std::min(minimum, time);
        maximum = std::max(maximum, time);
        sum += time;
        PostLine(kPingReplyLine, Format("Reply from %s: bytes=%d time=%ldms TTL=%d\r\n", reply.from.c_str(),
                                        kEchoDataSize, static_cast<long>(time), reply.ttl));
        // The pause after a reply ends early when the dialog closes.
        if (stopEvent->Wait(kPingPauseMs))
            break;
    }

    // Lost and the loss rate count the echoes actually sent, so that a run ended early neither
    // reports unsent echoes as lost nor divides by zero.
    const unsigned lost = sent - received;
    const unsigned loss = sent == 0 ? 0 : lost * 100 / sent;
    PostLine(kPingReplyLine,
             Format("\r\nPing statistics for %s:\r\n    Packets: Sent = %d, Received = %d, Lost = %d "
                    "(%d%% loss),\r\n",
                    address.c_str(), sent, received, lost, loss));
    if (received > 0)
        PostLine(kPingReplyLine,
                 Format("Approximate round trip times in milli-seconds:\r\n    Minimum = %dms, "
                        "Maximum = %dms, Average = %dms\r\n",
                        minimum, maximum, sum / received));
    m_window->PostMessage(WM_PING_DONE, 0, 1);
    if (!socket.Close())
        ReportError("closesocket()", socket.ErrorCode());
}

CPingThread::CPingThread() : m_thread([this] { ThreadProc(); }) {}

CPingThread::~CPingThread() {
    m_stopEvent.Set();
    if (m_thread.joinable())
        m_thread.join();
}

void CPingThread::Start(int count, const std::string& address, NotifyWindow* window) {
    m_count = count;
    m_address = address;
    m_window = window;
    m_startEvent.Set();
}

void CPingThread::ThreadProc() {
    for (;;) {
        const int signalled = platform::WaitForAny({&m_stopEvent, &m_startEvent});
        if (signalled == 0)
            return;
        if (signalled == 1)
            m_engine.Run(static_cast<unsigned>(m_count), std::string(m_address), m_window, &m_stopEvent);
    }
}
