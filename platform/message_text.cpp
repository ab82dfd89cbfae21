#include "platform/message_text.h"

namespace platform {

MessageText::MessageText(std::string text) {
    Append(text, false);
}

MessageText::MessageText(const char* text) : MessageText(std::string(text)) {}

MessageText MessageText::Path(std::string path) {
    MessageText text;
    text.Append(path, true);
    return text;
}

MessageText& MessageText::operator+=(const MessageText& more) {
    for (const Part& part : more.m_parts)
        Append(part.bytes, part.path);
    return *this;
}

std::string MessageText::Bytes() const {
    std::string bytes;
    for (const Part& part : m_parts)
        bytes += part.bytes;
    return bytes;
}

MessageText MessageText::FirstLine() const {
    MessageText line;
    for (const Part& part : m_parts) {
        const std::size_t end = part.path ? std::string::npos : part.bytes.find_first_of("\r\n");
        line.Append(part.bytes.substr(0, end), part.path);
        if (end != std::string::npos)
            break;
    }
    return line;
}

MessageText MessageText::LastLine() const {
    MessageText line;
    for (const Part& part : m_parts) {
        const std::size_t end = part.path ? std::string::npos : part.bytes.rfind('\n');
        if (end != std::string::npos)
            line = {};
        line.Append(end == std::string::npos ? part.bytes : part.bytes.substr(end + 1), part.path);
    }
    return line;
}

void MessageText::Append(const std::string& bytes, bool path) {
    if (bytes.empty())
        return;
    if (!path && !m_parts.empty() && !m_parts.back().path)
        m_parts.back().bytes += bytes;
    else
        m_parts.push_back({bytes, path});
}

} // namespace platform
