// The ping tool's engine and worker: four ICMP echo requests to one address, one output line per
// echo and the statistics, posted to the ping dialog through its notify window.
#pragma once

#include "comms/notify.h"
#include "platform/event.h"

#include <array>
#include <cstdint>
#include <string>
#include <thread>

constexpr int kEchoRequestSize = 40; // 8-byte ICMP header, 4-byte time stamp, 28 pattern bytes
constexpr int kEchoDataSize = 32;    // what the header line reports: everything after the ICMP header
constexpr int kPingReplyTimeoutMs = 3000;
constexpr int kPingPauseMs = 800; // after a reply, before the next echo

// Line kinds, the wParam of WM_PING_LINE.
enum PingLineKind : int { kPingErrorLine = 0, kPingHeaderLine = 1, kPingReplyLine = 2, kPingTimeoutLine = 3 };

// Identifier and sequence counters of the echo requests: both start at 1, every request takes
// their values and then increments them, for the life of the program. Only the ping worker uses them.
extern uint16_t g_PingIdentifier;
extern uint16_t g_PingSequence;

// RFC 1071 Internet checksum over `length` bytes, 16-bit words taken little-endian, as the words
// of the echo request are laid out.
uint16_t InternetChecksum(const unsigned char* data, int length);

// Lays out one echo request:
//   byte 0      type 8 (echo request)
//   byte 1      code 0
//   bytes 2-3   checksum over all 40 bytes, computed with this field 0
//   bytes 4-5   identifier
//   bytes 6-7   sequence number
//   bytes 8-11  send time stamp
//   bytes 12-39 pattern 0x20, 0x21, ... 0x3B
// Multi-byte fields are little-endian.
std::array<unsigned char, kEchoRequestSize> BuildEchoRequest(uint16_t identifier, uint16_t sequence,
                                                             uint32_t stamp);

// A heap copy of the text for WM_PING_LINE; the receiver takes it back with TakePostedText.
char* DupTextForPost(const std::string& text);
// Takes the text of a WM_PING_LINE lParam and frees the copy.
std::string TakePostedText(std::intptr_t lParam);

namespace platform {
class IcmpSocket;
}

class PingEngine {
public:
    // Sends `count` echo requests to the dotted IPv4 `address`, one after the other, and posts
    // the header line, one line per echo, the statistics and WM_PING_DONE to `window`. The
    // manual-reset `stopEvent` ends the run early; it is looked at before each echo and during the
    // pause after a reply.
    void Run(unsigned count, const std::string& address, NotifyWindow* window, platform::Event* stopEvent);

    // The clock of the time stamps: 100-nanosecond steps of a monotonic clock, cut to 32 bits.
    static uint32_t GetTick();
    static constexpr uint64_t kTicksPerSecond = 10'000'000;

private:
    void SendEcho(platform::IcmpSocket& socket, const std::string& address, uint16_t* identifier,
                  uint16_t* sequence);
    void ReportError(const char* operation, int code);
    void PostLine(int kind, const std::string& text);

    NotifyWindow* m_window = nullptr;
};

// The ping worker. It lives as long as its dialog: the constructor starts the thread, which waits;
// each Start runs one PingEngine::Run; the destructor stops and joins it.
class CPingThread {
public:
    CPingThread();
    CPingThread(const CPingThread&) = delete;
    CPingThread& operator=(const CPingThread&) = delete;
    virtual ~CPingThread();

    // Stores the run's parameters and wakes the worker. Not called while a run is going on.
    void Start(int count, const std::string& address, NotifyWindow* window);

private:
    void ThreadProc();

    platform::Event m_stopEvent{true}; // manual reset; set once, by the destructor
    platform::Event m_startEvent;      // auto reset; set by Start
    PingEngine m_engine;
    std::string m_address;
    NotifyWindow* m_window = nullptr;
    int m_count = 0;
    std::thread m_thread;
};
