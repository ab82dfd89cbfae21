// The open link to a scale: one file descriptor (a serial port or a connected TCP socket) read by
// the scale's worker and closed by the GUI thread. It is isolated here because closing a
// descriptor under a blocked reader is unsafe on POSIX: descriptor numbers are reused at once.
// Close() therefore wakes every pending read and write, and the descriptor is released only when
// the last call that could still use it has returned.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>

namespace platform {

enum class ReadStatus {
    Data,    // at least one byte arrived
    Timeout, // no byte within the time-out; the link is still usable
    Failed,  // the link is closed, broken or was closed by the peer
};

class Link {
public:
    enum class Kind { Serial, Socket };

    Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link();

    // Takes ownership of an open descriptor and switches it to non-blocking mode (waits are done
    // by poll, so that Close can interrupt them); closes any link held before.
    void Attach(int fd, Kind kind);
    bool IsOpen() const;
    // The kind of the open link (Serial when none is open).
    Kind GetKind() const;

    // Reads up to `count` bytes. A serial read returns when `count` bytes arrived, when no byte
    // came within `totalTimeoutMs` of the start, or when a gap between two bytes is longer than
    // `intervalTimeoutMs` (0 = no interval limit). A socket read returns as soon as some bytes
    // arrived. `*got` holds the bytes read; bytes that arrived before a failure are reported as
    // Data, and the failure is seen by the next read.
    ReadStatus Read(void* buffer, std::size_t count, std::size_t* got, int totalTimeoutMs,
                    int intervalTimeoutMs = 0);
    // Waits up to `timeoutMs` for the first byte, then returns every byte the link holds, up to
    // `count`, without waiting for more: bytes are handed on as soon as they arrive.
    ReadStatus ReadAvailable(void* buffer, std::size_t count, std::size_t* got, int timeoutMs);
    // Writes all bytes, waiting as long as the line needs; false when the link is closed (also
    // while waiting) or the write failed.
    bool Write(const void* buffer, std::size_t count);
    // Closes the link from any thread; pending and later reads and writes fail at once.
    void Close();

private:
    struct Channel;
    std::shared_ptr<Channel> Current() const;
    ReadStatus DoRead(void* buffer, std::size_t count, std::size_t* got, int totalTimeoutMs,
                      int intervalTimeoutMs, bool untilCount);

    mutable std::mutex m_mutex;
    std::shared_ptr<Channel> m_channel;
};

} // namespace platform
