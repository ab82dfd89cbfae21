// Opening a file whose path the user chose (the data log, "Pondra.ini"). Isolated here because an
// ordinary open waits for ever on a named pipe that nobody reads or writes, and reads without end
// from a device; only a regular file is opened, and opening it never waits. Appending to one so that
// a full disk never leaves part of a record takes the same descriptor calls.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace platform {

enum class FileAccess {
    Read,   // from the start
    Append, // writes go to the end; a missing file is created
};

struct OpenedFile {
    std::FILE* file = nullptr; // the caller closes it
    int error = 0;             // errno of a failed open
    std::string notAFile; // "a folder", "a named pipe", "a device" or "a socket": what the path names instead
    bool Ok() const { return file != nullptr; }
    // Why the open failed: "it is a named pipe, not a file", or the system's text.
    std::string Reason() const;
};

OpenedFile OpenRegularFile(const std::string& path, FileAccess access);

// "a folder", "a named pipe", "a device", "a socket": what a path names that is not a regular file.
const char* NonFileKind(mode_t mode);

// Appends records to a regular file, each one whole or not at all: after a failed or short write
// (a full disk) the file is cut back to where the record began, so that it never ends in part of
// one, and the next record starts where this one would have.
class AppendFile {
public:
    AppendFile() = default;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;
    ~AppendFile();

    // Opens the regular file at `path` for appending, creating it when missing. False when it
    // cannot; `failure` then says why (its `file` stays null).
    bool Open(const std::string& path, OpenedFile* failure);
    bool IsOpen() const { return m_fd >= 0; }
    // 0 when the record went in whole, else the errno of the failure (nothing of it is left). The
    // record reaches the system before this returns; it is not forced onto the disk.
    int Append(std::string_view record);
    void Close();

private:
    int m_fd = -1;
    off_t m_cutTo = -1; // a cut-back that failed, tried again before the next record
};

// A descriptor open on a regular file, or why there is none.
struct RegularFd {
    int fd = -1;         // the caller closes it
    int error = 0;       // errno of a failed open
    mode_t notAFile = 0; // the type of what the path names instead (S_IFDIR, S_IFIFO, ...)
    struct stat info {}; // of the opened file
};

// Opens the path with `flags` (O_NONBLOCK, O_NOCTTY and O_CLOEXEC added, so that the open never
// waits) only when it names a regular file, or nothing and `flags` create one. The path is looked at
// before it is opened, and the opened file checked again in case something took the name between.
RegularFd OpenRegularFd(const std::string& path, int flags);

} // namespace platform
