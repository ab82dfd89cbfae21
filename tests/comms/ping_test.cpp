#include "comms/ping.h"
#include "support/recording_notify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <linux/capability.h>
#include <net/if.h>
#include <regex>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct PingLine {
    int kind;
    std::string text;
};

// Takes the posted lines (freeing their copies) and tells whether the run ended with WM_PING_DONE.
std::vector<PingLine> TakeLines(const RecordingNotify& notify, bool* done) {
    std::vector<PingLine> lines;
    *done = false;
    for (const PostedMessage& m : notify.Messages()) {
        if (m.message == WM_PING_LINE)
            lines.push_back({static_cast<int>(m.wParam), TakePostedText(m.lParam)});
        else if (m.message == WM_PING_DONE)
            *done = true;
    }
    return lines;
}

std::string Joined(const std::vector<PingLine>& lines) {
    std::string all;
    for (const PingLine& line : lines)
        all += line.text;
    return all;
}

// Checks the reply lines from loopback (any time in whole milliseconds, TTL 64 as Linux sets it)
// and returns their times.
std::vector<int> ReplyTimes(const std::vector<PingLine>& lines, std::size_t first, std::size_t count) {
    static const std::regex reply("Reply from 127\\.0\\.0\\.1: bytes=32 time=([0-9]+)ms TTL=64\r\n");
    std::vector<int> times;
    for (std::size_t i = first; i < first + count && i < lines.size(); ++i) {
        std::smatch match;
        EXPECT_EQ(lines[i].kind, kPingReplyLine);
        if (std::regex_match(lines[i].text, match, reply))
            times.push_back(std::stoi(match[1]));
        else
            ADD_FAILURE() << "not a reply line: " << lines[i].text;
    }
    return times;
}

// Runs `body` on a thread of its own inside a new network namespace with loopback up; `setup`
// gets the chance to change that namespace's sysctls first. The namespace belongs to that thread
// only, so no traffic of the test leaves it. Returns "" or why the namespace could not be made.
std::string RunInOwnNetworkNamespace(const std::vector<std::pair<std::string, std::string>>& sysctls,
                                     bool dropRawCapability, const std::function<void()>& body) {
    std::string failure;
    std::thread worker([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            failure = std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno);
            return;
        }
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq ifr{};
        std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
        if (fd < 0 || ::ioctl(fd, SIOCGIFFLAGS, &ifr) != 0 ||
            (ifr.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &ifr) != 0)) {
            failure = "cannot bring loopback up in the test's namespace";
            if (fd >= 0)
                ::close(fd);
            return;
        }
        ::close(fd);
        for (const auto& [path, value] : sysctls) {
            std::ofstream out(path);
            out << value;
            if (!out.flush()) {
                failure = "cannot write " + path;
                return;
            }
        }
        if (dropRawCapability) {
            // Capabilities belong to the thread: dropping CAP_NET_RAW here leaves the rest of the
            // test program untouched.
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2]{};
            if (::syscall(SYS_capget, &header, data) != 0) {
                failure = "capget failed";
                return;
            }
            data[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
            if (::syscall(SYS_capset, &header, data) != 0) {
                failure = "capset failed";
                return;
            }
        }
        body();
    });
    worker.join();
    return failure;
}

TEST(PingPacket, EchoRequestLayout) {
    const auto packet = BuildEchoRequest(1, 1, 0);
    const std::vector<unsigned char> expected = {0x08, 0x00, 0x7d, 0x79, 0x01, 0x00,
                                                 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<unsigned char>(packet.begin(), packet.begin() + 12), expected);
    for (int i = 0; i < 28; ++i)
        EXPECT_EQ(packet[12 + i], 0x20 + i) << "pattern byte " << i;

    // Identifier, sequence and stamp land little-endian, and the checksum always makes the whole
    // packet sum to zero, so a receiver accepts it.
    const auto other = BuildEchoRequest(0x1234, 0xFFFF, 0xA1B2C3D4);
    EXPECT_EQ(other[4], 0x34);
    EXPECT_EQ(other[5], 0x12);
    EXPECT_EQ(other[6], 0xFF);
    EXPECT_EQ(other[7], 0xFF);
    EXPECT_EQ(other[8], 0xD4);
    EXPECT_EQ(other[11], 0xA1);
    EXPECT_EQ(InternetChecksum(packet.data(), kEchoRequestSize), 0);
    EXPECT_EQ(InternetChecksum(other.data(), kEchoRequestSize), 0);
}

TEST(PingPacket, InternetChecksum) {
    struct Case {
        std::vector<unsigned char> data;
        uint16_t expected;
    };
    const Case cases[] = {
        {{}, 0xFFFF},
        {{0x01}, 0xFFFE},             // a trailing odd byte counts as its own value
        {{0x01, 0x02, 0x03}, 0xFDFB}, // 0x0201 + 0x03
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0x0000},
        {{0xFF, 0xFF, 0x01, 0x00}, 0xFFFE}, // the carry is folded back in
        {std::vector<unsigned char>(40, 0xFF), 0x0000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InternetChecksum(c.data.data(), static_cast<int>(c.data.size())), c.expected)
            << "length " << c.data.size();
}

TEST(PingPacket, PostedTextIsAHeapCopy) {
    const std::string text = "Reply from 127.0.0.1\r\n";
    char* copy = DupTextForPost(text);
    ASSERT_NE(copy, text.c_str());
    EXPECT_EQ(TakePostedText(reinterpret_cast<std::intptr_t>(copy)), text);
}

TEST(PingEngine, RepliesFromLoopbackWithTimesAndStatistics) {
    RecordingNotify notify;
    platform::Event stop(true);
    const uint16_t firstIdentifier = g_PingIdentifier;
    const uint16_t firstSequence = g_PingSequence;
    PingEngine().Run(4, "127.0.0.1", &notify, &stop);

    bool done = false;
    const std::vector<PingLine> lines = TakeLines(notify, &done);
    ASSERT_GE(lines.size(), 1u);
    if (lines[0].kind == kPingErrorLine)
        GTEST_SKIP() << "no ICMP socket on this machine: " << Joined(lines);

    EXPECT_TRUE(done);
    ASSERT_EQ(lines.size(), 7u) << Joined(lines);
    EXPECT_EQ(lines[0].kind, kPingHeaderLine);
    EXPECT_EQ(lines[0].text, "\r\nPinging 127.0.0.1 with 32 bytes of data:\r\n");
    const std::vector<int> times = ReplyTimes(lines, 1, 4);
    ASSERT_EQ(times.size(), 4u);
    EXPECT_EQ(lines[5].text,
              "\r\nPing statistics for 127.0.0.1:\r\n    Packets: Sent = 4, Received = 4, Lost = 0 "
              "(0% loss),\r\n");
    // The round trip figures are those of the replies; the average is in whole milliseconds.
    const int sum = times[0] + times[1] + times[2] + times[3];
    EXPECT_EQ(lines[6].text,
              "Approximate round trip times in milli-seconds:\r\n    Minimum = " +
                  std::to_string(*std::min_element(times.begin(), times.end())) +
                  "ms, Maximum = " + std::to_string(*std::max_element(times.begin(), times.end())) +
                  "ms, Average = " + std::to_string(sum / 4) + "ms\r\n");
    // Every echo took the next identifier and sequence number.
    EXPECT_EQ(static_cast<uint16_t>(g_PingIdentifier - firstIdentifier), 4);
    EXPECT_EQ(static_cast<uint16_t>(g_PingSequence - firstSequence), 4);
}

// An empty address field reads as 0.0.0.0, which Linux answers from this machine: it is refused
// like an address that does not parse, and the run ends at once.
TEST(PingEngine, AddressesThatReachNoScaleAreRefused) {
    for (const char* address : {"0.0.0.0", "", "scale.local"}) {
        RecordingNotify notify;
        platform::Event stop(true);
        const uint16_t identifier = g_PingIdentifier;
        PingEngine().Run(4, address, &notify, &stop);
        bool done = false;
        const std::vector<PingLine> lines = TakeLines(notify, &done);
        EXPECT_TRUE(done) << address;
        ASSERT_EQ(lines.size(), 1u) << Joined(lines);
        EXPECT_EQ(lines[0].kind, kPingErrorLine);
        EXPECT_EQ(lines[0].text,
                  std::string("Invalid ethernet ip address ") + address + " (error code 22)\r\n");
        EXPECT_EQ(g_PingIdentifier, identifier) << "an echo was sent to " << address;
    }
}

TEST(PingEngine, HostThatNeverAnswersTimesOut) {
    RecordingNotify notify;
    platform::Event stop(true);
    const auto started = std::chrono::steady_clock::now();
    const std::string failure =
        RunInOwnNetworkNamespace({{"/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"}}, false,
                                 [&] { PingEngine().Run(4, "127.0.0.1", &notify, &stop); });
    if (!failure.empty())
        GTEST_SKIP() << "cannot make a network namespace for the test: " << failure;
    const auto elapsed = std::chrono::steady_clock::now() - started;

    bool done = false;
    const std::vector<PingLine> lines = TakeLines(notify, &done);
    EXPECT_TRUE(done);
    ASSERT_EQ(lines.size(), 6u) << Joined(lines);
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(lines[i].kind, kPingTimeoutLine);
        EXPECT_EQ(lines[i].text, "Request Timed Out\r\n");
    }
    EXPECT_EQ(lines[5].text,
              "\r\nPing statistics for 127.0.0.1:\r\n    Packets: Sent = 4, Received = 0, Lost = 4 "
              "(100% loss),\r\n");
    EXPECT_GE(elapsed, std::chrono::milliseconds(4 * kPingReplyTimeoutMs - 100));
}

TEST(PingEngine, DatagramSocketWithoutRawRightsAndClearErrorWithoutAny) {
    // With CAP_NET_RAW dropped, a namespace whose ping_group_range admits our group still pings
    // through the datagram socket; one that admits no group gets an error line and no run.
    RecordingNotify allowed, refused;
    platform::Event stop(true);
    std::string failure =
        RunInOwnNetworkNamespace({{"/proc/sys/net/ipv4/ping_group_range", "0 2147483647"}}, true,
                                 [&] { PingEngine().Run(2, "127.0.0.1", &allowed, &stop); });
    if (failure.empty())
        failure = RunInOwnNetworkNamespace({{"/proc/sys/net/ipv4/ping_group_range", "1 0"}}, true,
                                           [&] { PingEngine().Run(2, "127.0.0.1", &refused, &stop); });
    if (!failure.empty())
        GTEST_SKIP() << "cannot make a network namespace for the test: " << failure;

    bool done = false;
    std::vector<PingLine> lines = TakeLines(allowed, &done);
    EXPECT_TRUE(done);
    ASSERT_EQ(lines.size(), 5u) << Joined(lines);
    EXPECT_EQ(ReplyTimes(lines, 1, 2).size(), 2u);

    lines = TakeLines(refused, &done);
    EXPECT_FALSE(done);
    ASSERT_EQ(lines.size(), 2u) << Joined(lines);
    EXPECT_EQ(lines[0].kind, kPingErrorLine);
    EXPECT_EQ(lines[0].text, "socket() - WSAError: 1\r\n"); // EPERM
    EXPECT_NE(lines[1].text.find("CAP_NET_RAW"), std::string::npos);
}

TEST(PingThread, RunsOnStartAndStopsPromptlyWhenDestroyed) {
    RecordingNotify notify;
    std::chrono::steady_clock::time_point destroyed;
    {
        CPingThread thread;
        thread.Start(4, "127.0.0.1", &notify);
        ASSERT_TRUE(notify.WaitForCount(2, std::chrono::seconds(20)));
        destroyed = std::chrono::steady_clock::now();
    } // the destructor stops the run during its pause after the first reply
    // Within milliseconds; sitting out the pause would take twice this bound.
    EXPECT_LT(std::chrono::steady_clock::now() - destroyed, std::chrono::milliseconds(kPingPauseMs / 2));
    bool done = false;
    const std::vector<PingLine> lines = TakeLines(notify, &done);
    if (!lines.empty() && lines[0].kind == kPingErrorLine)
        GTEST_SKIP() << "no ICMP socket on this machine: " << Joined(lines);
    EXPECT_TRUE(done);
    EXPECT_NE(Joined(lines).find("Packets: Sent = 1, Received = 1, Lost = 0 (0% loss)"), std::string::npos)
        << Joined(lines);
}

} // namespace
