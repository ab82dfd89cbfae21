#include "platform/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

const char* NonFileKind(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

} // namespace

std::string OpenedFile::Reason() const {
    if (!notAFile.empty())
        return "it is " + notAFile + ", not a file";
    return std::generic_category().message(error);
}

OpenedFile OpenRegularFile(const std::string& path, FileAccess access) {
    OpenedFile result;
    // Looked at before anything is opened: opening a device may already do something to it.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        result.notAFile = NonFileKind(info.st_mode);
        return result;
    }
    const int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                      (access == FileAccess::Read ? O_RDONLY : O_WRONLY | O_APPEND | O_CREAT);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    // Something else may have taken the name since it was looked at.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.notAFile = NonFileKind(info.st_mode);
        ::close(fd);
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.file = ::fdopen(fd, access == FileAccess::Read ? "rb" : "ab");
    if (!result.file) {
        result.error = errno;
        ::close(fd);
    }
    return result;
}

} // namespace platform
