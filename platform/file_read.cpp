#include "platform/file_read.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileStamp StampOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

} // namespace

std::optional<FileStamp> CurrentFileStamp(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return StampOf(info);
}

std::string FileReadResult::Reason() const {
    if (error != 0)
        return std::strerror(error);
    if (!regular)
        return "it is not a regular file";
    if (tooLarge)
        return "it is too large";
    return {};
}

FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    FileReadResult result;
    // Non-blocking, so that opening a named pipe that nobody writes returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        result.error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        result.regular = false;
    } else if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        result.tooLarge = true;
    } else {
        result.stamp = StampOf(info);
        result.bytes.reserve(static_cast<std::size_t>(info.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result.error = errno;
                break;
            }
            if (n == 0)
                break;
            // The file may grow while it is read.
            if (result.bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
                result.tooLarge = true;
                break;
            }
            result.bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (!result.Ok())
        result.bytes.clear();
    return result;
}

} // namespace platform
