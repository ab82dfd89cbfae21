// The per-scale record and the program-wide device list.
#pragma once

#include "comms/notify.h"
#include "comms/settings.h"
#include "platform/event.h"
#include "platform/link.h"
#include "platform/worker_thread.h"

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Buffer size of reading field k (2 to 31), terminating NUL included: 33 for the code number,
// part number and part name, 16 for every other field.
constexpr int ReadingFieldSize(int k) {
    return (k == DF_ID_CODE || k == DF_PARTS_NO || k == DF_PARTS_NAME) ? 33 : 16;
}

namespace detail {
constexpr int ReadingFieldOffset(int k) {
    int offset = 0;
    for (int i = kFirstReadingField; i < k; ++i)
        offset += ReadingFieldSize(i);
    return offset;
}
} // namespace detail

constexpr int kReadingBytes = detail::ReadingFieldOffset(kLastReadingField + 1);

enum SessionState : int { kSessionNone = 0, kSessionGood = 1, kSessionError = 2 };

struct Device {
    Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    int m_index = 0;    // creation number; the wParam of every message its worker posts
    int m_active = 1;   // takes part in transfers
    int m_deleted = 0;  // deleted in the port dialog; kept in the list, left out of the file
    int m_gettable = 1; // a Get request goes to this scale
    int m_stopping = 0; // a stop was asked and the worker has not been seen to end
    int m_sessionState = kSessionNone;

    std::string m_name;
    std::string m_port;
    std::string m_baudRate;
    std::string m_dataBits;
    std::string m_stopBits;
    std::string m_parity;
    std::string m_flowControl;
    std::string m_useEthernet; // "1" = TCP link
    std::string m_ipAddress;
    std::string m_tcpPort;

    platform::Link m_link; // the open serial port or connected socket
    // Bytes read from the link that the engine has not taken yet. One read takes all the link
    // holds, and the engine then takes bytes from here without a lock or a system call. Only the
    // worker uses it; opening the link empties it, before the worker starts.
    struct ReceiveBuffer {
        std::array<char, 4096> bytes{};
        std::size_t start = 0;
        std::size_t end = 0;
    } m_received;
    platform::Event StopEvent;    // auto-reset
    platform::Event RequestEvent; // auto-reset
    std::unique_ptr<platform::WorkerThread> m_worker;
    NotifyWindow* m_notifyWindow = nullptr;
    // 1 from the moment the stream engine hands a line on until the GUI thread has taken it.
    std::atomic<int> m_readingTaken{0};

    // The last trace line. Written by the worker and read by the GUI thread after a text-ready
    // message, so it is guarded: the worker may already be writing the next line.
    void SetLastText(std::string text);
    std::string GetLastText() const;
    // Returns the last trace line and empties it, in one step.
    std::string TakeLastText();

    // The reading fields. Parsers write them on the worker thread while holding ReadingsLock(); the
    // GUI thread holds it while it builds the output line, so it never sees half a reading.
    std::mutex& ReadingsLock() const { return m_readingsMutex; }
    char* ReadingField(int k) { return m_readings.data() + detail::ReadingFieldOffset(k); }
    const char* ReadingField(int k) const { return m_readings.data() + detail::ReadingFieldOffset(k); }

    // Readings announced to the GUI thread and not yet taken, oldest first: each is a copy of the
    // reading fields at the moment its parser announced it, so a reading that arrives before the
    // GUI thread has taken the one before it does not overwrite it. One message tells the GUI
    // thread that readings are waiting; it takes them all (or asks itself again) before the worker
    // posts the next one, so the messages in flight stay few however fast a scale sends.
    //
    // A full queue means the output cannot keep up: readings that arrive then are dropped, never a
    // queued one, and no more are queued until the GUI thread has emptied the queue. The queued
    // reading before the gap carries the number dropped after it, so the GUI thread reports each
    // gap where it is. These calls need ReadingsLock().
    //
    // Queues the current fields; true when the GUI thread must be told (no message is on its way).
    bool QueueReading();
    // Makes the oldest queued reading the delivered one. False when none is queued; else
    // `*droppedAfter` is the number of readings dropped right after this one (usually 0).
    bool TakeReading(unsigned* droppedAfter);
    std::size_t QueuedReadings() const { return m_queued.size(); }
    // The delivered reading's field k, which the output side reads under ReadingsLock().
    const char* DeliveredField(int k) const { return m_delivered.data() + detail::ReadingFieldOffset(k); }
    // Set by the worker while a parser runs under ReadingsLock(); only the worker touches it.
    bool m_parsing = false;
    // Set when the running parser announced a reading; only the worker touches it.
    bool m_announced = false;

    // A copy of every reading field, to be put back when a frame turns out to be no reading.
    using ReadingBytes = std::array<char, kReadingBytes>;
    ReadingBytes SaveReadings() const { return m_readings; }
    void RestoreReadings(const ReadingBytes& saved) { m_readings = saved; }

    static constexpr std::size_t kMaxQueuedReadings = 4096;

private:
    struct QueuedReading {
        std::array<char, kReadingBytes> fields;
        unsigned droppedAfter = 0;
    };
    mutable std::mutex m_lastTextMutex;
    std::string m_lastText;
    mutable std::mutex m_readingsMutex;
    std::array<char, kReadingBytes> m_readings{};
    std::deque<QueuedReading> m_queued;
    bool m_overflowing = false;    // the queue was full and has not been emptied since
    bool m_messagePending = false; // a message about queued readings is on its way
    std::array<char, kReadingBytes> m_delivered{};
};

// Replaces the text of reading field k. A value longer than the field holds is not cut, since a
// shortened number would be a wrong reading: the field is emptied and false is returned.
bool SetReadingField(Device* dev, int k, std::string_view value);

// The most scales the device list holds. The communication status and Get selection dialogs give
// the box of the k-th scale the control id 1100 + k, and the window toolkit keeps the ids from 4999
// on for its own controls.
constexpr int kMaxScales = 3899;

extern std::vector<std::unique_ptr<Device>> g_DeviceList; // entry i holds the Device of index i
extern int g_DeviceCount;
extern int g_CurrentDevice;

Device* CreateDevice();
void SetDefaultSettings(Device* dev);
// The current scale; an index outside the list is a programming error (std::out_of_range).
Device* GetCurrentScale();
// Makes scale i current and returns it; nullptr (current unchanged) when i is out of range.
Device* SelectScale(int i);
void ClearReadings(Device* dev);
void ZeroFill(char* buffer, int n);
void ClearCString(char* text);
// Empties the device list (program end, and tests).
void DestroyDeviceList();
