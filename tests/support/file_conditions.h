// The conditions a file meets on a real system and that tests must bring about for real: a disk
// that fills up, a read-only mount, and a user other than the one running the tests.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

// A folder on a disk that fills up when the test says so. Where the test may mount (root or
// CAP_SYS_ADMIN) the folder is a small tmpfs of its own, filled by a file that takes every free
// block, so that each file can still grow to the end of the 4 KB block it ends in. Elsewhere a file
// size limit (RLIMIT_FSIZE) of the whole process stands in: no file may grow past the end of the
// block in which the largest file of the folder ends, and a write past it fails with EFBIG.
class SmallDisk {
public:
    explicit SmallDisk(std::filesystem::path folder);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::filesystem::path& Folder() const { return m_folder; }
    // From now on the disk is full. With the size limit, `largest` is the size that the largest
    // file in the folder has or will have.
    void Fill(std::uintmax_t largest = 0);
    void Free();
    // What a write that meets the full disk is told: "No space left on device" or "File too large".
    std::string Reason() const;

private:
    std::filesystem::path m_folder;
    bool m_mounted = false;
    bool m_limited = false;
};

// Makes a folder read-only for everyone, root included, by binding it read-only onto itself.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(const std::filesystem::path& folder);
    ~ReadOnlyMount();
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;
    // False when mounting is not allowed here (not root): the caller skips, saying so.
    bool Made() const { return m_made; }

private:
    std::filesystem::path m_folder;
    bool m_made = false;
};

// Runs `check` in a child process as the user "nobody" (uid and gid 65534) and returns what it
// returned, or -1 when the tests do not run as root and so cannot switch users.
int RunAsNobody(const std::function<int()>& check);
