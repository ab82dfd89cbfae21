// Reading a whole file that the user named, and telling whether another program has written it
// since. Isolated here because it takes POSIX calls (a non-blocking open, fstat) so that a named
// pipe or a device given as the file can neither hang the reader nor be read as a file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

// One version of a file on disk: another program that saves the file changes at least one of these.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long seconds = 0;
    long nanoseconds = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the file now; nullopt when it cannot be found.
std::optional<FileStamp> CurrentFileStamp(const std::string& path);

struct FileReadResult {
    std::string bytes;
    FileStamp stamp;
    int error = 0;         // errno of the open or read that failed
    bool regular = true;   // false: the path names a folder, pipe or device
    bool tooLarge = false; // the file holds more than the bytes asked for
    bool Ok() const { return error == 0 && regular && !tooLarge; }
    // Why the read failed, fit to follow "Cannot open ...: ".
    std::string Reason() const;
};

// Reads a regular file whole when it holds at most maxBytes; its size is checked before anything
// is read.
FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes);

} // namespace platform
