#include "comms/link.h"
#include "platform/serial_port.h"
#include "support/sim_scale.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <netinet/in.h>
#include <optional>
#include <pwd.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        DestroyDeviceList();
        dev = CreateDevice();
    }
    void TearDown() override {
        CloseDevice(dev);
        DestroyDeviceList();
    }
    Device* dev = nullptr;
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A wait that must last `seconds` and then end: not shorter, and not ten times longer (which only
// a hang would take, even on a busy machine).
void ExpectLasted(Clock::time_point start, double seconds) {
    const double lasted = SecondsSince(start);
    EXPECT_GE(lasted, seconds - 0.01);
    EXPECT_LT(lasted, 10 * seconds);
}

// A loopback port on which nothing listens (bound and released again).
int FreeTcpPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Runs `body` in a child process and returns the text it gave; the child exits right after it.
std::string RunInChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string text = body();
        [[maybe_unused]] ssize_t n = ::write(fds[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return text;
}

// What RunInChild gives when the child could not become what the test needs.
constexpr char kChildCannot[] = "child cannot: ";

// Runs `body` as an ordinary user: as "nobody" when the tests run as root, else as the user they
// run as. nullopt, with the reason in `*why`, when the child could not switch to that user.
std::optional<std::string> RunAsOrdinaryUser(const std::function<std::string()>& body, std::string* why) {
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    const std::string text = RunInChild([&]() -> std::string {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            return std::string(kChildCannot) + "switch to the user nobody";
        return body();
    });
    if (text.rfind(kChildCannot, 0) == 0) {
        *why = text;
        return std::nullopt;
    }
    return text;
}

TEST_F(LinkTest, SerialSettingsChecksRunInOrderAndConcatenate) {
    struct Case {
        const char *baud, *dataBits, *stopBits, *parity, *flow, *expected;
    } cases[] = {
        {"9600", "8", "1", "Even", "None", ""},
        {"110", "4", "1.5", "Mark", "XOn/XOff", ""},
        {"115200", "5", "2", "Space", "Hardware", ""},
        {"14400", "7", "1", "Odd", "None", ""},
        {"9600 ", "8", "1", "None", "None", "Invalid baud rate setting!"},
        {"96000", "8", "1", "None", "None", "Invalid baud rate setting!"},
        {"", "8", "1", "None", "None", "Invalid baud rate setting!"},
        {"9600", "9", "1", "None", "None", "Invalid data bits setting!"},
        {"9600", "8", "1.50", "None", "None", "Invalid stop bit setting!"},
        {"9600", "8", "1", "even", "None", "Invalid parity setting!"},
        {"9600", "8", "1", "None", "Xon/Xoff", "Invalid flow control setting!"},
        {"9600 ", "8", "1", "Bad", "None", "Invalid baud rate setting!Invalid parity setting!"},
        {"x", "3", "0", "", "RTS",
         "Invalid baud rate setting!Invalid data bits setting!Invalid stop bit setting!Invalid parity "
         "setting!"
         "Invalid flow control setting!"},
    };
    for (const auto& c : cases) {
        dev->m_baudRate = c.baud;
        dev->m_dataBits = c.dataBits;
        dev->m_stopBits = c.stopBits;
        dev->m_parity = c.parity;
        dev->m_flowControl = c.flow;
        EXPECT_EQ(ValidateSerialSettings(dev), c.expected)
            << c.baud << "/" << c.dataBits << "/" << c.stopBits;
    }
}

TEST_F(LinkTest, EthernetSettingsCheckAddressThenPort) {
    struct Case {
        const char *ip, *port;
        bool checkPort;
        const char* expected;
    } cases[] = {
        {"127.0.0.1", "80", true, ""},
        {"192.168.1.10", "65535", true, ""},
        {"10.0.0.1", "1", true, ""},
        {"127.0.0.1", "080", true, "Invalid ethernet port number 080"},
        {"127.0.0.1", " 80", true, "Invalid ethernet port number  80"},
        {"127.0.0.1", "80a", true, "Invalid ethernet port number 80a"},
        {"127.0.0.1", "0", true, "Invalid ethernet port number 0"},
        {"127.0.0.1", "65536", true, "Invalid ethernet port number 65536"},
        {"127.0.0.1", "-80", true, "Invalid ethernet port number -80"},
        {"127.0.0.1", "99999999999999999999", true, "Invalid ethernet port number 99999999999999999999"},
        {"127.0.0.1", "", true, "Invalid ethernet port number "},
        {"127.0.0.1", "junk", false, ""},
        {"256.1.1.1", "80", true, "Invalid ethernet ip address 256.1.1.1 (error code 22)"},
        {"1.2.3", "bad", true, "Invalid ethernet ip address 1.2.3 (error code 22)"},
        {"scale.local", "80", true, "Invalid ethernet ip address scale.local (error code 22)"},
        {"", "80", false, "Invalid ethernet ip address  (error code 22)"},
        // What an empty address field stores: Linux would route it to this machine.
        {"0.0.0.0", "80", true, "Invalid ethernet ip address 0.0.0.0 (error code 22)"},
    };
    for (const auto& c : cases) {
        dev->m_ipAddress = c.ip;
        dev->m_tcpPort = c.port;
        EXPECT_EQ(CheckEthernetSettings(dev, c.checkPort), c.expected) << c.ip << ":" << c.port;
    }
}

TEST(SerialDevicePathTest, MapsPortNamesToDevices) {
    struct Case {
        const char *name, *path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},      {"COM12", "/dev/ttyS11"}, {"/dev/pts/7", "/dev/pts/7"},
        {"ttyUSB0", "/dev/ttyUSB0"}, {"COM0", "/dev/COM0"},    {"COMx", "/dev/COMx"},
        {"COM", "/dev/COM"},         {"COM1a", "/dev/COM1a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::SerialDevicePath(c.name), c.path) << c.name;
}

// Every message says why, in words that tell the user what to mend.
TEST_F(LinkTest, OpeningFailuresGiveTheirMessages) {
    // A port that does not exist is reported after the pause.
    dev->m_port = "/dev/pondra-no-such-port";
    auto start = Clock::now();
    EXPECT_EQ(OpenDeviceLink(dev),
              "Error opening /dev/pondra-no-such-port: No such file or directory (there is no "
              "/dev/pondra-no-such-port: check the port name, and that the scale's adapter "
              "is plugged in)");
    EXPECT_GE(SecondsSince(start), 1.9);
    EXPECT_FALSE(dev->m_link.IsOpen());

    // A device that is no serial port.
    dev->m_port = "/dev/null";
    EXPECT_EQ(OpenDeviceLink(dev),
              "Error initialise communication parameters! (/dev/null is not a serial port)");
    EXPECT_FALSE(dev->m_link.IsOpen());

    // Four data bits pass the check but no Linux port can run them.
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(dev);
    dev->m_dataBits = "4";
    EXPECT_EQ(OpenDeviceLink(dev), "Fail to initialise comm port!");
    EXPECT_FALSE(dev->m_link.IsOpen());

    // The settings check comes first and opens nothing.
    dev->m_dataBits = "8";
    dev->m_baudRate = "9601";
    EXPECT_EQ(OpenDeviceLink(dev), "Invalid baud rate setting!");
    EXPECT_FALSE(dev->m_link.IsOpen());
}

TEST_F(LinkTest, PortInUseIsRefused) {
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(dev);
    ASSERT_EQ(OpenDeviceLink(dev), "");
    Device* second = CreateDevice();
    scale.Attach(second);
    EXPECT_EQ(OpenDeviceLink(second), "Error opening " + scale.PortPath() +
                                          ": Device or resource busy (the port is in use by another program, "
                                          "or by another scale)");
    EXPECT_FALSE(second->m_link.IsOpen());
    // Released on close: the port can be opened again.
    CloseDevice(dev);
    EXPECT_EQ(OpenDeviceLink(second), "");
    CloseDevice(second);
}

// A port that another program holds open too (a pty bridge, a port server) can be opened again by
// an ordinary user after the program closed it: closing ends the exclusive use.
TEST_F(LinkTest, PortOpensAgainAfterCloseWhileAnotherProgramHoldsIt) {
    sim::SimScale scale(sim::SimScale::Pty); // this process holds both ends of the line
    scale.Attach(dev);
    ASSERT_EQ(::chmod(scale.PortPath().c_str(), 0666), 0);
    std::string why;
    const auto opened = RunAsOrdinaryUser(
        [&] {
            std::string results = OpenDeviceLink(dev).Bytes() + "|";
            CloseDevice(dev);
            results += OpenDeviceLink(dev).Bytes();
            CloseDevice(dev);
            return results;
        },
        &why);
    if (!opened)
        GTEST_SKIP() << why;
    EXPECT_EQ(*opened, "|");
}

// A user who may not open the port is told how to get the right to: join the port's group, or,
// where no group may use it, ask for access.
TEST_F(LinkTest, PortRefusedToTheUserSaysHowToGetAccess) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can hand the port to another owner and group";
    const group* dialout = ::getgrnam("dialout");
    if (!dialout)
        GTEST_SKIP() << "this system has no group dialout";
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(dev);
    const std::string path = scale.PortPath();
    struct Case {
        gid_t group;
        mode_t mode;
        std::string hint;
    } cases[] = {
        {dialout->gr_gid, 0660, "add the user to the group dialout, then log in again"},
        {0, 0600, "this user may not use " + path + ": ask the administrator for access"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(::chown(path.c_str(), 0, c.group), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        std::string why;
        const auto message = RunAsOrdinaryUser([&] { return OpenDeviceLink(dev).Bytes(); }, &why);
        if (!message)
            GTEST_SKIP() << why;
        EXPECT_EQ(*message, "Error opening " + path + ": Permission denied (" + c.hint + ")");
    }
}

TEST_F(LinkTest, SerialPortPassesEveryByteUnchanged) {
    // Parity and odd baud rates must not stop a pseudo-terminal from opening.
    for (const char* parity : {"Even", "Odd", "Mark", "Space", "None"}) {
        sim::SimScale scale(sim::SimScale::Pty);
        scale.Attach(dev);
        dev->m_parity = parity;
        dev->m_baudRate = "14400";
        dev->m_stopBits = "1.5";
        ASSERT_EQ(OpenDeviceLink(dev), "") << parity;
        const std::string bytes("A\r\n\x03\x11\x13\x7f\xff\0Z", 10);
        scale.Run({sim::Send(bytes), sim::Expect(bytes)});
        std::string received;
        char buffer[16];
        std::size_t got = 0;
        while (received.size() < bytes.size() && ReadDevice(dev, buffer, sizeof buffer, &got) && got > 0)
            received.append(buffer, got);
        EXPECT_EQ(received, bytes) << parity;
        EXPECT_TRUE(WriteDevice(dev, bytes.data(), bytes.size()));
        EXPECT_TRUE(scale.Finish()) << scale.Failure();
        CloseDevice(dev);
    }
}

TEST_F(LinkTest, SerialReadEndsOnIntervalAndTotalTimeOuts) {
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(dev);
    ASSERT_EQ(OpenDeviceLink(dev), "");
    char buffer[10];
    std::size_t got = 0;
    auto start = Clock::now();
    EXPECT_TRUE(ReadDevice(dev, buffer, 1, &got));
    EXPECT_EQ(got, 0u);
    ExpectLasted(start, 1.0);

    // A gap shorter than the interval time-out does not end the read; the interval time-out after
    // the last byte does, long before the total one. Time-outs longer than the program's own keep
    // the three apart on a busy machine.
    scale.Run({sim::Send("abc"), sim::Pause(100ms), sim::Send("de")});
    start = Clock::now();
    EXPECT_EQ(dev->m_link.Read(buffer, sizeof buffer, &got, 60000, 1000), platform::ReadStatus::Data);
    EXPECT_EQ(std::string(buffer, got), "abcde");
    ExpectLasted(start, 0.1 + 1.0);
    EXPECT_TRUE(scale.Finish()) << scale.Failure();
}

// Bytes are handed on as soon as they arrive, an answer to what the program sent as much as the
// next bytes of a line that keeps sending: nothing waits for more bytes to gather. The reads wait
// up to a minute, so a read that held bytes back for any time worth having would be seen.
TEST_F(LinkTest, BytesAreTakenAsSoonAsTheyArrive) {
    for (auto transport : {sim::SimScale::Pty, sim::SimScale::Tcp}) {
        std::atomic<bool> answerTaken{false}; // outlives the scale, which waits for it
        sim::SimScale scale(transport);
        scale.Attach(dev);
        ASSERT_EQ(OpenDeviceLink(dev), "");
        scale.Run({sim::Send("A"), sim::Expect("\x06"), sim::Send("B"),
                   sim::Until([&] { return answerTaken.load(); }), sim::Send("CD\r\n"), sim::Silent()});
        char byte = 0;
        std::size_t got = 0;
        ASSERT_EQ(dev->m_link.Read(&byte, 1, &got, 60000), platform::ReadStatus::Data);
        ASSERT_EQ(byte, 'A');
        ASSERT_TRUE(WriteDevice(dev, "\x06", 1));
        auto start = Clock::now();
        ASSERT_EQ(dev->m_link.Read(&byte, 1, &got, 60000), platform::ReadStatus::Data);
        EXPECT_EQ(byte, 'B');
        EXPECT_LT(SecondsSince(start), 0.5);
        answerTaken = true;
        // The bytes that follow with nothing sent in between come as they are, in one read that
        // does not wait for more.
        start = Clock::now();
        char line[64];
        std::string received;
        while (received.size() < 4 &&
               dev->m_link.ReadAvailable(line, sizeof line, &got, 60000) == platform::ReadStatus::Data)
            received.append(line, got);
        EXPECT_EQ(received, "CD\r\n");
        EXPECT_LT(SecondsSince(start), 0.5);
        EXPECT_TRUE(scale.Finish()) << scale.Failure();
        CloseDevice(dev);
    }
}

// Each way a connection fails is told with its reason: a refusal at once, silence after the wait.
TEST_F(LinkTest, TcpFailuresSayWhy) {
    // An address that does not parse is refused without any attempt to connect.
    dev->m_ipAddress = "0";
    dev->m_tcpPort = "80";
    EXPECT_EQ(ConnectEthernetDevice(dev),
              "Error (22) connecting to ethernet device at 0:80: Invalid argument.");
    // Nor is 0.0.0.0, which Linux would route to a service of this machine.
    sim::SimScale local(sim::SimScale::Tcp);
    dev->m_ipAddress = "0.0.0.0";
    dev->m_tcpPort = std::to_string(local.TcpPort());
    EXPECT_EQ(ConnectEthernetDevice(dev), "Error (22) connecting to ethernet device at 0.0.0.0:" +
                                              dev->m_tcpPort + ": Invalid argument.");
    EXPECT_FALSE(local.WaitForConnection(std::chrono::milliseconds(200)));

    const std::string port = std::to_string(FreeTcpPort());
    dev->m_useEthernet = "1";
    dev->m_ipAddress = "127.0.0.1";
    dev->m_tcpPort = port;
    EXPECT_EQ(OpenDeviceLink(dev),
              "Error (111) connecting to ethernet device at 127.0.0.1:" + port +
                  ": Connection refused (nothing takes connections on that port: check the "
                  "port number, and that the scale is switched on).");
    EXPECT_FALSE(dev->m_link.IsOpen());

    // A listener whose queue is full answers no more: the connection times out.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(queued, reinterpret_cast<sockaddr*>(&address), length), 0);
    dev->m_tcpPort = std::to_string(ntohs(address.sin_port));
    auto start = Clock::now();
    EXPECT_EQ(OpenDeviceLink(dev),
              "Timeout error connecting to ethernet device at 127.0.0.1:" + dev->m_tcpPort +
                  ": no answer from the scale (check the address, the network cable, and "
                  "that the scale is switched on).");
    ExpectLasted(start, 1.0);
    EXPECT_FALSE(dev->m_link.IsOpen());
    ::close(queued);
    ::close(listener);

    // A network this machine has no way to: in a network of the test's own, where nothing is up.
    const std::string unreachable = RunInChild([&] {
        if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            return std::string(kChildCannot) + "make a network of its own";
        dev->m_ipAddress = "10.1.2.3";
        dev->m_tcpPort = "4001";
        return OpenDeviceLink(dev).Bytes();
    });
    if (unreachable.rfind(kChildCannot, 0) == 0)
        GTEST_SKIP() << unreachable;
    EXPECT_EQ(unreachable,
              "Error (101) connecting to ethernet device at 10.1.2.3:4001: Network is unreachable "
              "(check the address, and this computer's network connection).");
}

TEST_F(LinkTest, TcpLinkReadsWritesTimesOutAndSeesPeerClose) {
    std::atomic<bool> timedOut{false}; // outlives the scale, which waits for it
    sim::SimScale scale(sim::SimScale::Tcp);
    scale.Attach(dev);
    ASSERT_EQ(OpenDeviceLink(dev), "");
    scale.Run({sim::Expect("\x05"), sim::Send("ST,+1.0kg\r\n"), sim::Until([&] { return timedOut.load(); }),
               sim::Hangup()});
    ASSERT_TRUE(WriteDevice(dev, "\x05", 1));
    char buffer[64];
    std::size_t got = 0;
    std::string received;
    while (received.size() < 11 && ReadDevice(dev, buffer, sizeof buffer, &got) && got > 0)
        received.append(buffer, got);
    EXPECT_EQ(received, "ST,+1.0kg\r\n");
    auto start = Clock::now();
    EXPECT_TRUE(ReadDevice(dev, buffer, 1, &got));
    EXPECT_EQ(got, 0u);
    ExpectLasted(start, 1.0);
    timedOut = true;
    // The peer closes: the read fails.
    EXPECT_FALSE(ReadDevice(dev, buffer, 1, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(scale.Finish()) << scale.Failure();
}

// Stop closes the link from the GUI thread while the worker waits in a read: the read must fail
// at once, not at the end of its time-out.
TEST_F(LinkTest, CloseWakesABlockedReaderAtOnce) {
    for (auto transport : {sim::SimScale::Pty, sim::SimScale::Tcp}) {
        sim::SimScale scale(transport);
        scale.Attach(dev);
        ASSERT_EQ(OpenDeviceLink(dev), "");
        std::atomic<bool> result{true};
        std::atomic<pid_t> readerThread{0};
        std::atomic<double> returnedAfter{0};
        Clock::time_point closedAt;
        std::thread reader([&] {
            readerThread = sim::ThisThread();
            char byte;
            std::size_t got;
            result = ReadDevice(dev, &byte, 1, &got);
            returnedAfter = SecondsSince(closedAt);
        });
        ASSERT_TRUE(sim::WaitUntilBlocked(readerThread));
        closedAt = Clock::now();
        CloseDevice(dev);
        reader.join();
        EXPECT_FALSE(result);
        // Within milliseconds; a read left to its one-second time-out would take twice this bound.
        EXPECT_LT(returnedAfter, 0.5) << "transport " << transport;
        EXPECT_FALSE(dev->m_link.IsOpen());
        CloseDevice(dev); // a second close does nothing
        char byte = 0;
        std::size_t got = 0;
        EXPECT_FALSE(ReadDevice(dev, &byte, 1, &got));
        EXPECT_FALSE(WriteDevice(dev, &byte, 1));
    }
}

TEST_F(LinkTest, CloseWakesAWriterBlockedOnAFullLine) {
    sim::SimScale scale(sim::SimScale::Pty); // the scale never reads: the line fills up
    scale.Attach(dev);
    ASSERT_EQ(OpenDeviceLink(dev), "");
    std::atomic<bool> result{true};
    std::atomic<pid_t> writerThread{0};
    std::thread writer([&] {
        writerThread = sim::ThisThread();
        const std::string block(4096, 'x');
        while (result)
            result = WriteDevice(dev, block.data(), block.size());
    });
    // Blocked in a wait for room on the line.
    ASSERT_TRUE(sim::WaitUntilBlocked(writerThread));
    CloseDevice(dev);
    writer.join(); // a writer that the close did not wake would wait for good
    EXPECT_FALSE(result);
}

// Closing races with reads many times over; the sanitizer build checks that no read ever touches
// a released descriptor.
TEST_F(LinkTest, CloseRacingWithReadsIsSafe) {
    for (auto transport : {sim::SimScale::Pty, sim::SimScale::Tcp}) {
        sim::SimScale scale(transport);
        scale.Attach(dev);
        for (int i = 0; i < 100; ++i) {
            ASSERT_EQ(OpenDeviceLink(dev), "");
            if (transport == sim::SimScale::Tcp) {
                ASSERT_TRUE(scale.WaitForConnection());
            }
            std::atomic<bool> running{true};
            std::thread reader([&] {
                char buffer[8];
                std::size_t got;
                while (running && ReadDevice(dev, buffer, sizeof buffer, &got)) {
                }
            });
            // Bytes in flight while the link closes.
            std::string bytes(64, 'a');
            if (int fd = scale.LineFd(); fd >= 0) {
                [[maybe_unused]] auto n = ::write(fd, bytes.data(), bytes.size());
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50 * (i % 10)));
            CloseDevice(dev);
            running = false;
            reader.join();
            if (transport == sim::SimScale::Tcp) {
                scale.Run({sim::Hangup()});
                ASSERT_TRUE(scale.Finish()) << scale.Failure();
            }
        }
    }
}

} // namespace
