#include "app/core/log_file.h"

#include "platform/regular_file.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

LogFile g_LogFile;

std::string LogBackupName(const std::string& path, int n) {
    // Only a "." inside the file name starts an extension: "/data/v1.2/log" has none, and a name
    // that begins with "." (such as ".log") is all base.
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    std::string base = path;
    if (dot != std::string::npos && dot > nameStart)
        base = path.substr(0, dot);
    return base + std::to_string(n) + ".bak";
}

std::string FindFreeLogBackupName(const std::string& path) {
    std::string name;
    for (int n = 0; n < kLogBackupCount; ++n) {
        name = LogBackupName(path, n);
        std::error_code ec;
        if (!fs::exists(name, ec))
            break;
    }
    return name;
}

platform::MessageText LogFile::Open(const std::string& path) {
    Close();
    std::error_code ec;
    bool exists = fs::exists(path, ec);
    if (exists && fs::is_regular_file(path, ec)) {
        const std::uintmax_t size = fs::file_size(path, ec);
        if (!ec && size > kLogRotationThreshold) {
            const std::string backup = FindFreeLogBackupName(path);
            // A failed copy or delete keeps the old file, which is then appended to.
            if (fs::copy_file(path, backup, fs::copy_options::none, ec) && fs::remove(path, ec))
                exists = false;
        }
    }
    // Always appending: an existing file is never written from its start. A folder, a named pipe
    // or a device is no log: it is refused with what it is, rather than waited on.
    const platform::OpenedFile opened = platform::OpenRegularFile(path, platform::FileAccess::Append);
    m_file = opened.file;
    if (!opened.notAFile.empty())
        return "Cannot open log file\n" + platform::MessageText::Path(path) + ": " + opened.Reason() + ".";
    if (!m_file)
        return exists ? "Cannot open log file" : "Cannot create log file";
    return {};
}

bool LogFile::WriteReading(const std::string& text) {
    if (!m_file)
        return false;
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // the "\n" that follows is written as CR LF
        if (text[i] == '\n')
            out += '\r';
        out += text[i];
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), m_file) == out.size();
    return std::fflush(m_file) == 0 && written;
}

void LogFile::Close() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}
