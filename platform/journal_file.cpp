#include "platform/journal_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

std::string JournalFile::Create(const std::string& folder, const std::string& stem) {
    Close();
    const std::string base = folder + "/" + stem + "-" + std::to_string(::getpid()) + "-";
    for (int n = 1;; ++n) {
        m_path = base + std::to_string(n) + ".journal";
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd >= 0)
            break;
        if (errno != EEXIST)
            return std::strerror(errno);
    }
    // Nobody else knows the new name yet, so the lock is free.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    m_size = 0;
    return "";
}

std::string JournalFile::Append(std::string_view record) {
    if (m_fd < 0)
        return std::strerror(EBADF);
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n = ::write(m_fd, record.data() + done, record.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            // A record is whole or not there: the next one must not be glued to a piece of it.
            // When the piece cannot go, nothing more is written after it.
            if (::ftruncate(m_fd, m_size) != 0)
                Close();
            return std::strerror(error);
        }
        done += static_cast<std::size_t>(n);
    }
    m_size += static_cast<long long>(record.size());
    return "";
}

void JournalFile::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void JournalFile::Remove() {
    if (m_fd < 0)
        return;
    ::unlink(m_path.c_str());
    Close();
}

JournalLock::~JournalLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool JournalLock::Lock(const std::string& path) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

} // namespace platform
