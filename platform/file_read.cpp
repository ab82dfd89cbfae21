#include "platform/file_read.h"

#include "platform/regular_file.h"

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
    const RegularFd opened = OpenRegularFd(path, O_RDONLY);
    const int fd = opened.fd;
    const struct stat& info = opened.info;
    if (fd < 0) {
        if (S_ISDIR(opened.notAFile))
            result.error = EISDIR;
        else if (opened.notAFile != 0)
            result.regular = false;
        else
            result.error = opened.error;
        return result;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
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
