// The data log file of output mode "Log": opened when a transfer starts (rotating a file that grew
// past the threshold into a numbered backup), one line appended per reading, closed when the last
// scale stops.
//
// A reading goes into the log whole or not at all. One that cannot be written (a full disk) is held
// and written, in order, before the next reading once the log takes readings again; the hold is
// bounded, and what it cannot take is lost to the log, which the caller is told reading by reading.
#pragma once

#include "platform/message_text.h"
#include "platform/regular_file.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

constexpr std::uintmax_t kLogRotationThreshold = 60000;
constexpr int kLogBackupCount = 1000;
// At most this many readings, and this many bytes of them, wait for the log to take them again.
constexpr std::size_t kMaxHeldLogReadings = 10000;
constexpr std::size_t kMaxHeldLogBytes = 1 << 20;

// What became of one reading handed to the log.
struct LogWrite {
    bool written = false;        // the reading is in the log
    bool held = false;           // not written; held, to be written before the next reading
    std::size_t heldWritten = 0; // readings held before that went into the log ahead of this one
    std::size_t unlogged = 0;    // readings not in the log since it last took one: held or lost
    int error = 0;               // errno of the write that failed
};

// The held readings that never reached the log before it was closed.
struct LogUnwritten {
    std::vector<std::string> readings;
    std::size_t heldWritten = 0; // held readings that went in at the close
    int error = 0;
};

class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile() { Close(); }

    // Opens `path` for appending, first copying a file larger than the threshold to the first free
    // backup name and beginning anew. Returns an empty message, or the message to show.
    platform::MessageText Open(const std::string& path);
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_path; }
    // Appends one reading's text, after any held readings; every line end is stored as CR LF. The
    // text reaches the system before this returns, so a reading survives the program being killed
    // right after.
    LogWrite WriteReading(const std::string& text);
    // Writes the held readings if the log takes them now, and closes the file.
    LogUnwritten Close();

private:
    // Writes held readings in order until one fails; returns 0 or the errno of that failure.
    int WriteHeld(std::size_t* written);

    platform::AppendFile m_file;
    std::string m_path;
    std::deque<std::string> m_held;
    std::size_t m_heldBytes = 0;
    std::size_t m_lost = 0; // readings the hold could not take since the log last took one
};

// What the user is told, in the view and the status bar, of a reading handed to the log at `path`:
// nothing when it went in as usual; else lines (CR LF between them) that give why it did not, how
// many readings are not logged and what becomes of them, or that held readings went in after all.
platform::MessageText LogWriteNote(const std::string& path, const LogWrite& write);
// The same for the close: which held readings never reached the log, each on a line of its own.
platform::MessageText LogCloseNote(const std::string& path, const LogUnwritten& close);

// The backup name "<base><n>.bak", where base is the path without the extension of its file name.
std::string LogBackupName(const std::string& path, int n);
// The first backup name that does not exist (number 0 to 999); the last one when all exist.
std::string FindFreeLogBackupName(const std::string& path);

extern LogFile g_LogFile;
