#include "support/file_conditions.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kBlock = 4096;

} // namespace

SmallDisk::SmallDisk(fs::path folder) : m_folder(std::move(folder)) {
    fs::create_directories(m_folder);
    m_mounted = ::mount("tmpfs", m_folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0777") == 0;
}

SmallDisk::~SmallDisk() {
    Free();
    if (m_mounted)
        ::umount2(m_folder.c_str(), MNT_DETACH);
}

void SmallDisk::Fill(std::uintmax_t largest) {
    if (m_mounted) {
        const int fd = ::open((m_folder / ".fill").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        static const std::string block(kBlock, 'f');
        while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
        return;
    }
    for (const auto& entry : fs::directory_iterator(m_folder))
        if (entry.is_regular_file())
            largest = std::max(largest, entry.file_size());
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = (largest + kBlock - 1) / kBlock * kBlock;
    m_limited = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

void SmallDisk::Free() {
    if (m_mounted)
        ::unlink((m_folder / ".fill").c_str());
    if (m_limited) {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        m_limited = false;
    }
}

std::string SmallDisk::Reason() const {
    return std::strerror(m_mounted ? ENOSPC : EFBIG);
}

ReadOnlyMount::ReadOnlyMount(const fs::path& folder) : m_folder(folder) {
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return;
    m_made = ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    if (!m_made)
        ::umount2(folder.c_str(), MNT_DETACH);
}

ReadOnlyMount::~ReadOnlyMount() {
    if (m_made)
        ::umount2(m_folder.c_str(), MNT_DETACH);
}

int RunAsNobody(const std::function<int()>& check) {
    if (::geteuid() != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        const gid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(99);
        ::_exit(check());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 98;
    return WEXITSTATUS(status);
}
