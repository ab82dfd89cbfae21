// A file that keeps work not yet saved elsewhere, record by record, so that a run of the program
// that is killed loses nothing it had written there. Isolated here because it takes POSIX calls:
// each record reaches the system in one write, and the file is locked (flock) for as long as a run
// uses it, so that another run tells a live journal from one left behind.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class JournalFile {
public:
    JournalFile() = default;
    ~JournalFile() { Close(); }
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Creates a new file "<stem>-<process id>-<n>.journal" in `folder`, never one that exists,
    // and locks it. Returns "" or why it could not.
    std::string Create(const std::string& folder, const std::string& stem);
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }
    // Appends the record in one write. Returns "" or why it could not; the file then ends where
    // it did before.
    std::string Append(std::string_view record);
    // Closes the file, which stays on disk for a later run.
    void Close();
    // Closes the file and deletes it.
    void Remove();

private:
    int m_fd = -1;
    long long m_size = 0;
    std::string m_path;
};

// Holds the lock of a journal left behind by another run, so that no other run takes it meanwhile.
class JournalLock {
public:
    JournalLock() = default;
    ~JournalLock();
    JournalLock(const JournalLock&) = delete;
    JournalLock& operator=(const JournalLock&) = delete;
    // False when the file cannot be opened, or a running program holds it.
    bool Lock(const std::string& path);

private:
    int m_fd = -1;
};

} // namespace platform
