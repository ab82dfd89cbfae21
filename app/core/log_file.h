// The data log file of output mode "Log": opened when a transfer starts (rotating a file that grew
// past the threshold into a numbered backup), one line appended and flushed per reading, closed
// when the last scale stops.
#pragma once

#include "platform/message_text.h"

#include <cstdint>
#include <cstdio>
#include <string>

constexpr std::uintmax_t kLogRotationThreshold = 60000;
constexpr int kLogBackupCount = 1000;

class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile() { Close(); }

    // Opens `path` for appending, first copying a file larger than the threshold to the first free
    // backup name and beginning anew. Returns an empty message, or the message to show.
    platform::MessageText Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }
    // Appends one reading's text; every line end is stored as CR LF. The text reaches the system
    // before this returns, so a reading survives the program being killed right after.
    bool WriteReading(const std::string& text);
    void Close();

private:
    std::FILE* m_file = nullptr;
};

// The backup name "<base><n>.bak", where base is the path without the extension of its file name.
std::string LogBackupName(const std::string& path, int n);
// The first backup name that does not exist (number 0 to 999); the last one when all exist.
std::string FindFreeLogBackupName(const std::string& path);

extern LogFile g_LogFile;
