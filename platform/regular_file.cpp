#include "platform/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {

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

AppendFile::~AppendFile() {
    Close();
}

bool AppendFile::Open(const std::string& path, OpenedFile* failure) {
    Close();
    const RegularFd opened = OpenRegularFd(path, O_WRONLY | O_APPEND | O_CREAT);
    if (opened.fd < 0) {
        failure->error = opened.error;
        if (opened.notAFile != 0)
            failure->notAFile = NonFileKind(opened.notAFile);
        return false;
    }
    m_fd = opened.fd;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    return true;
}

int AppendFile::Append(std::string_view record) {
    if (m_fd < 0)
        return EBADF;
    if (m_cutTo >= 0) {
        if (::ftruncate(m_fd, m_cutTo) != 0)
            return errno;
        m_cutTo = -1;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        return errno;
    for (std::string_view rest = record; !rest.empty();) {
        const ssize_t n = ::write(m_fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            // What did go in is taken out again; should that fail too, it is tried again before
            // the next record, which never follows a part of this one.
            if (::ftruncate(m_fd, info.st_size) != 0)
                m_cutTo = info.st_size;
            return error;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

void AppendFile::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_cutTo = -1;
}

} // namespace platform
