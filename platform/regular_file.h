// Opening a file whose path the user chose (the data log, "Pondra.ini"). Isolated here because an
// ordinary open waits for ever on a named pipe that nobody reads or writes, and reads without end
// from a device; only a regular file is opened, and opening it never waits.
#pragma once

#include <cstdio>
#include <string>

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

} // namespace platform
