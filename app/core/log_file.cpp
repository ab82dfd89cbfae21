#include "app/core/log_file.h"

#include "platform/file_replace.h"
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
    m_path = path;
    std::error_code ec;
    bool exists = fs::exists(path, ec);
    if (exists && fs::is_regular_file(path, ec)) {
        const std::uintmax_t size = fs::file_size(path, ec);
        if (!ec && size > kLogRotationThreshold) {
            const std::string backup = FindFreeLogBackupName(path);
            // A failed copy or delete keeps the old file, which is then appended to. A log reached
            // through a symbolic link is begun anew where the link leads, so that it stays a link.
            if (fs::copy_file(path, backup, fs::copy_options::none, ec) &&
                fs::remove(platform::ResolveLinks(path), ec))
                exists = false;
        }
    }
    // Always appending: an existing file is never written from its start. A folder, a named pipe
    // or a device is no log: it is refused with what it is, rather than waited on.
    platform::OpenedFile failure;
    if (m_file.Open(path, &failure))
        return {};
    if (!failure.notAFile.empty())
        return "Cannot open log file\n" + platform::MessageText::Path(path) + ": " + failure.Reason() + ".";
    return exists ? "Cannot open log file" : "Cannot create log file";
}

namespace {

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // the "\n" that follows is written as CR LF
        if (text[i] == '\n')
            out += '\r';
        out += text[i];
    }
    return out;
}

std::string Readings(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " reading" : " readings");
}

} // namespace

int LogFile::WriteHeld(std::size_t* written) {
    while (!m_held.empty()) {
        if (const int error = m_file.Append(WithCrLf(m_held.front())))
            return error;
        m_heldBytes -= m_held.front().size();
        m_held.pop_front();
        ++*written;
    }
    return 0;
}

LogWrite LogFile::WriteReading(const std::string& text) {
    LogWrite result;
    if (!IsOpen())
        return result;
    result.error = WriteHeld(&result.heldWritten);
    if (result.error == 0)
        result.error = m_file.Append(WithCrLf(text));
    if (result.error == 0) {
        result.written = true;
        m_lost = 0;
        return result;
    }
    // Later readings wait behind the held ones, so that the log keeps the order of the readings.
    if (m_held.size() < kMaxHeldLogReadings && m_heldBytes + text.size() <= kMaxHeldLogBytes) {
        m_held.push_back(text);
        m_heldBytes += text.size();
        result.held = true;
    } else {
        ++m_lost;
    }
    result.unlogged = m_held.size() + m_lost;
    return result;
}

LogUnwritten LogFile::Close() {
    LogUnwritten result;
    if (IsOpen())
        result.error = WriteHeld(&result.heldWritten);
    result.readings.assign(m_held.begin(), m_held.end());
    m_held.clear();
    m_heldBytes = 0;
    m_lost = 0;
    m_file.Close();
    return result;
}

platform::MessageText LogWriteNote(const std::string& path, const LogWrite& write) {
    const platform::MessageText log = "Data log " + platform::MessageText::Path(path) + ": ";
    platform::MessageText note;
    if (write.heldWritten > 0)
        note = log + "written again; " + Readings(write.heldWritten) + " held meanwhile now logged";
    if (write.written || write.error == 0)
        return note;
    if (!note.empty())
        note += "\r\n";
    note +=
        log + Readings(write.unlogged) + " not logged (" + std::generic_category().message(write.error) + ")";
    if (write.held)
        note += "; held until the log can be written again";
    else
        note += "; no more can be held, so the last reading is lost to the log";
    return note;
}

platform::MessageText LogCloseNote(const std::string& path, const LogUnwritten& close) {
    if (close.readings.empty())
        return {};
    const std::size_t count = close.readings.size();
    std::string readings; // the held readings, a line each
    for (const std::string& reading : close.readings) {
        readings += "\r\n" + reading;
        while (!readings.empty() && (readings.back() == '\n' || readings.back() == '\r'))
            readings.pop_back();
    }
    return "Data log " + platform::MessageText::Path(path) + ": cannot be written (" +
           std::generic_category().message(close.error) + "); " +
           (count == 1 ? "this held reading is" : "these " + Readings(count) + " held are") +
           " lost to the log:" + readings;
}
