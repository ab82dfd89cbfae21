// Opening a file whose path the user chose (the data log, "Pondra.ini"). Isolated here because an
// ordinary open waits for ever on a named pipe that nobody reads or writes, and reads without end
// from a device; only a regular file is opened, and opening it never waits.
#pragma once

#include <cstdio>
#include <string>
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
