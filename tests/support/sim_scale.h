// A simulated scale for tests and benchmarks: it sits at the far end of a pseudo-terminal (a
// serial port) or of a loopback TCP connection and plays a script of steps on its own thread.
//
//   SimScale scale(SimScale::Pty);
//   scale.Attach(dev);                      // the scale's port settings now lead to it
//   scale.Run({Expect("\x05"), Send("ST,+001.234kg\r\n"), Pause(100ms), Hangup()});
//   ... run the engine ...
//   EXPECT_TRUE(scale.Finish()) << scale.Failure();
#pragma once

#include "comms/device.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sim {

using namespace std::chrono_literals;

struct Step {
    enum class Kind { Send, Expect, Pause, Until, Silent, Hangup, Reset };
    Kind kind;
    std::string bytes;
    std::chrono::milliseconds time{0};
    std::function<bool()> condition{};
};

// Sends the bytes to the program.
Step Send(std::string_view bytes);
// Sends the bytes `times` times in one go.
Step SendRepeated(std::string_view bytes, int times);
// Waits until the program has sent exactly these bytes next; a different byte or no byte within
// the time-out fails the script.
Step Expect(std::string_view bytes, std::chrono::milliseconds timeout = 10s);
// Waits without reading or sending.
Step Pause(std::chrono::milliseconds time);
// Waits until the condition holds (the program has read what it must before the line goes, say);
// a condition still false after the time-out fails the script.
Step Until(std::function<bool()> condition, std::chrono::milliseconds timeout = 10s);
// Stays silent, the line open, until the scale is destroyed or Finish is called; a script that
// has reached this step counts as finished.
Step Silent();
// Closes the line: the pseudo-terminal disappears (like a USB adapter pulled out), or the TCP
// connection is closed in order.
Step Hangup();
// Resets the TCP connection (the peer's RST); on a pseudo-terminal the same as Hangup.
Step Reset();

class SimScale {
public:
    enum Transport { Pty, Tcp };

    explicit SimScale(Transport transport);
    SimScale(const SimScale&) = delete;
    SimScale& operator=(const SimScale&) = delete;
    ~SimScale();

    // Points the scale's connection settings at this simulated scale (and sets a serial port to
    // 9600 baud, 8 data bits, no parity).
    void Attach(Device* dev) const;
    const std::string& PortPath() const { return m_portPath; } // the pseudo-terminal's device
    int TcpPort() const { return m_tcpPort; }

    // Plays the steps on the scale's thread. A scale first waits for the program to open its port
    // (to connect, over TCP): what it sent before, the program's open would discard.
    void Run(std::vector<Step> steps);
    // Waits until the script has ended and returns true when every step succeeded. A script
    // still running after the time-out is stopped and fails.
    bool Finish(std::chrono::milliseconds timeout = 30s);
    std::string Failure() const;
    // Every byte the scale has received so far.
    std::string Received() const;
    // How many bytes the scale has sent so far.
    std::uint64_t Sent() const { return m_sent; }

    // The scale's end of the line, for benchmarks that write frames themselves; -1 on a TCP scale
    // that has no connection yet.
    int LineFd() const { return m_lineFd; }
    // Waits until the program has connected to a TCP scale.
    bool WaitForConnection(std::chrono::milliseconds timeout = 10s);
    // For a TCP scale that the program connects to again and again: accepts every connection made
    // since the last call without waiting, keeps the newest as the line and closes the others.
    // True when a new connection was taken.
    bool AcceptNewest();

private:
    void Play(std::vector<Step> steps);
    bool DoStep(const Step& step);
    bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline);
    bool WaitForOpen(std::chrono::milliseconds timeout);
    bool Write(const std::string& bytes);
    bool Expect(const std::string& bytes, std::chrono::milliseconds timeout);
    void CloseLine(bool reset);
    void Fail(std::string why);

    Transport m_transport;
    std::string m_portPath;
    int m_tcpPort = 0;
    int m_listenFd = -1;
    std::atomic<int> m_lineFd{-1}; // pty master or accepted connection
    int m_slaveFd = -1;            // kept open so that the pseudo-terminal lives until Hangup
    int m_stopFd = -1;             // eventfd that ends waits when the scale is destroyed
    std::thread m_thread;
    std::atomic<bool> m_done{true};
    std::atomic<std::uint64_t> m_sent{0};
    bool m_parked = false; // the script has reached a Silent step

    mutable std::mutex m_mutex;
    std::condition_variable m_finished;
    std::string m_failure;
    std::string m_received;
    std::string m_unread; // received and not yet matched by an Expect
};

} // namespace sim
