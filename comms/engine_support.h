// What every run-mode engine shares: the control bytes, the line buffer that collects one frame,
// byte reads, the stop check, "Test" mode, and handing a finished frame on.
//
// The engines take the scale's bytes one at a time as the protocols describe them, but each read
// of the link takes all it holds (Device::m_received), so that a byte costs neither a lock nor a
// system call; the stream engine takes whole runs up to the line end.
#pragma once

#include "comms/session.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

constexpr char kEOT = 0x04;
constexpr char kACK = 0x06;
constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;
constexpr char kLF = 0x0A;
constexpr char kDC1 = 0x11;
constexpr char kNAK = 0x15;
constexpr char kCAN = 0x18;

inline bool IsNakOrCan(char byte) {
    return byte == kNAK || byte == kCAN;
}

// NAK or CAN bytes in one transaction that make it the scale's error.
constexpr int kNakCanLimit = 10;

// The bytes of one frame, up to and including its LF; at most 255 bytes, always NUL-terminated.
// A frame that grows past 255 bytes is overlong: its first 255 bytes are kept, the rest is
// discarded until the frame's LF, and the frame is never handed to a parser (a cut frame would
// be a wrong reading). In "Test" mode the kept bytes are still traced, so the user sees them.
class LineBuffer {
public:
    static constexpr int kSize = 256;
    static constexpr int kMaxFrame = kSize - 1;

    void Append(char byte) {
        if (m_length < kMaxFrame)
            m_bytes[m_length++] = byte;
        else
            m_overlong = true;
    }
    // Appends `count` bytes, as that many calls of Append(byte) would.
    void Append(const char* bytes, std::size_t count) {
        const std::size_t room = static_cast<std::size_t>(kMaxFrame - m_length);
        const std::size_t kept = std::min(count, room);
        std::memcpy(m_bytes.data() + m_length, bytes, kept);
        m_length += static_cast<int>(kept);
        if (count > room)
            m_overlong = true;
    }
    // Empties the buffer (and forgets an overlong frame).
    void Clear() {
        std::fill(m_bytes.begin(), m_bytes.begin() + m_length, '\0');
        m_length = 0;
        m_overlong = false;
    }
    char* Data() { return m_bytes.data(); }
    const char* Data() const { return m_bytes.data(); }
    int Length() const { return m_length; }
    bool Overlong() const { return m_overlong; }

private:
    std::array<char, kSize> m_bytes{};
    int m_length = 0;
    bool m_overlong = false;
};

// True when the output mode is "Test" (looked up afresh at every call).
bool IsTestMode();

// A zero-time look at the stop event, which takes no lock; an auto-reset event, so a stop is seen
// once.
inline bool StopSeen(Device* dev) {
    return dev->StopEvent.Wait(0);
}

enum class ByteRead { Data, Timeout, Failed };
// Data when received bytes are waiting, at once when some are; else one read of all the link
// holds, which may time out (Timeout) or fail (Failed).
ByteRead Receive(Device* dev);
// Reads one byte from the scale's link. On Timeout and Failed `*byte` is left as it was.
inline ByteRead ReadOneByte(Device* dev, char* byte) {
    Device::ReceiveBuffer& in = dev->m_received;
    if (in.start == in.end) {
        if (const ByteRead read = Receive(dev); read != ByteRead::Data)
            return read;
    }
    *byte = in.bytes[in.start++];
    return ByteRead::Data;
}
// Takes the received bytes up to and including the next LF, appending them to `line`; true when
// the LF was among them, false when every received byte was taken without one. The same bytes
// one ReadOneByte at a time would give the same line.
bool TakeLine(Device* dev, LineBuffer& line);
// Drops the received bytes up to and including the next LF; true when the LF was among them.
bool SkipLine(Device* dev);

// Writes `count` bytes to the scale's link; false when the write failed.
bool WriteBytes(Device* dev, const char* bytes, int count);

// True when the frame in `line` would be handed on by HandOnFrame (an overlong frame is not,
// outside "Test" mode).
bool FrameWanted(const LineBuffer& line);

// Hands a finished frame on: outside "Test" mode to the parser, which runs holding the
// scale's readings lock so that the GUI thread never sees half a reading; in "Test" mode to the
// trace, as received with line end. Returns false when nothing was announced: the frame was
// dropped as overlong, or the parser found no reading in it.
bool HandOnFrame(Device* dev, FrameParser parser, LineBuffer& line);

// Posts the session's final code (PostSessionStopped for code 9, else PostSessionError).
void EndSession(Device* dev, int code);
// A link that failed ends the session: as a stop when the user stopped the scale (Stop closes the
// link under a waiting read), otherwise as a read failure.
void EndAfterFailedRead(Device* dev);
// Waits for the next request; a stop instead posts code 9 and gives false.
bool WaitForRequest(Device* dev);
