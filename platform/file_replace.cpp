#include "platform/file_replace.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The file a save really replaces: the target of a symbolic link, so that the link stays a link.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path; // a dangling link: replacing the link itself is the best left to do
    return resolved;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Opens a new, not yet existing file beside the target.
int CreateSibling(const std::string& target, std::string* name) {
    for (int attempt = 0;; ++attempt) {
        *name = target + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST || attempt == 99)
            return fd;
    }
}

} // namespace

ReplaceResult ReplaceFileContents(const std::string& path, std::string_view content) {
    const std::string target = ResolveTarget(path);
    std::string temp;
    const int fd = CreateSibling(target, &temp);
    if (fd < 0)
        return {ReplaceStep::Create, errno};

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);

    bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temp.c_str());
        return {ReplaceStep::Write, error};
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
        ::unlink(temp.c_str());
        return {ReplaceStep::Rename, error};
    }
    // Make the rename itself durable. Some file systems cannot sync a folder; the new content is
    // already on the disk then, so this is not a failure of the save.
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}

} // namespace platform
