#include "platform/file_replace.h"

#include "platform/regular_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
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

// "rw-r--r--", as a listing shows the permission bits.
std::string ModeText(mode_t mode) {
    std::string text = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        if (!(mode & (0400 >> bit)))
            text[static_cast<std::size_t>(bit)] = '-';
    return text;
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

MessageText ReplaceResult::Reason() const {
    return step == ReplaceStep::Refused ? refusal : std::strerror(error);
}

std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    // As many links as the system itself follows; a longer chain is a loop, which the check finds.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
            break;
        target.resize(static_cast<std::size_t>(n));
        current = target.front() == '/' ? target : FolderOf(current) + "/" + target;
    }
    return current;
}

MessageText WhyNotReplaceable(const std::string& path, bool folderToo) {
    const std::string target = ResolveLinks(path);
    const std::string folder = FolderOf(target);
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return std::strerror(errno);
    } else {
        if (S_ISLNK(st.st_mode))
            return std::strerror(ELOOP);
        if (!S_ISREG(st.st_mode))
            return std::string("it is ") + NonFileKind(st.st_mode) + ", not a file";
        // Root may write any file, but a file that grants no one the right to write it is meant to
        // stay as it is.
        if ((st.st_mode & 0222) == 0)
            return "it is read-only (" + ModeText(st.st_mode) + ")";
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return std::strerror(errno);
        if (st.st_nlink > 1)
            return "it has " + std::to_string(st.st_nlink) +
                   " names (hard links), and a new file would part it from the others";
    }
    if (folderToo && ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return "its folder " + MessageText::Path(folder) + " cannot take a new file (" +
               std::strerror(errno) + ")";
    return {};
}

ReplaceResult ReplaceFileContents(const std::string& path, std::string_view content) {
    const std::string target = ResolveLinks(path);
    if (MessageText why = WhyNotReplaceable(target); !why.empty())
        return {ReplaceStep::Refused, 0, std::move(why)};
    std::string temp;
    const int fd = CreateSibling(target, &temp);
    if (fd < 0)
        return {ReplaceStep::Create, errno, {}};

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // The owner where the system allows it (root may; others may keep at least the group),
        // then the permission bits, which a change of owner clears in part.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // The new file belongs to the user who saves it.
        }
        ::fchmod(fd, old.st_mode & 07777);
    }

    bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temp.c_str());
        return {ReplaceStep::Write, error, {}};
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
        ::unlink(temp.c_str());
        return {ReplaceStep::Rename, error, {}};
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
