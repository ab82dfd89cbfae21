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

RegularFd OpenRegularFd(const std::string& path, int flags) {
    RegularFd result;
    // Looked at before anything is opened: opening a device may already do something to it (a
    // serial port's modem lines change).
    if (::stat(path.c_str(), &result.info) == 0 && !S_ISREG(result.info.st_mode)) {
        result.notAFile = result.info.st_mode & S_IFMT;
        return result;
    }
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    // Something else may have taken the name since it was looked at.
    if (::fstat(fd, &result.info) != 0) {
        result.error = errno;
        ::close(fd);
    } else if (!S_ISREG(result.info.st_mode)) {
        result.notAFile = result.info.st_mode & S_IFMT;
        ::close(fd);
    } else {
        result.fd = fd;
    }
    return result;
}

OpenedFile OpenRegularFile(const std::string& path, FileAccess access) {
    OpenedFile result;
    const RegularFd opened =
        OpenRegularFd(path, access == FileAccess::Read ? O_RDONLY : O_WRONLY | O_APPEND | O_CREAT);
    if (opened.fd < 0) {
        result.error = opened.error;
        if (opened.notAFile != 0)
            result.notAFile = NonFileKind(opened.notAFile);
        return result;
    }
    const int fd = opened.fd;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.file = ::fdopen(fd, access == FileAccess::Read ? "rb" : "ab");
    if (!result.file) {
        result.error = errno;
        ::close(fd);
    }
    return result;
}

} // namespace platform
