// A message for the user that may name files. Pondra's own text is ISO-8859-1, as everywhere in the
// program, while a path keeps the file system's bytes (UTF-8 here, or whatever bytes a name has): the
// two cannot share one byte string and both show right. So a message keeps its parts apart, each
// knowing whether it is a path, and the window converts each as it is spelled.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace platform {

class MessageText {
public:
    struct Part {
        std::string bytes;
        bool path = false;
    };

    MessageText() = default;
    // The program's own text.
    MessageText(std::string text);
    MessageText(const char* text);
    // A file's path, as the file system spells it.
    static MessageText Path(std::string path);

    MessageText& operator+=(const MessageText& more);
    friend MessageText operator+(MessageText left, const MessageText& right) { return left += right; }

    const std::vector<Part>& Parts() const { return m_parts; }
    bool empty() const { return m_parts.empty(); }
    // Every part's bytes in a row.
    std::string Bytes() const;
    // The text up to its first line end (CR or LF), and the text after its last LF. A line break
    // in a path belongs to the path.
    MessageText FirstLine() const;
    MessageText LastLine() const;

    // Equal when their bytes are, whichever parts are paths.
    friend bool operator==(const MessageText& left, const MessageText& right) {
        return left.Bytes() == right.Bytes();
    }
    friend std::ostream& operator<<(std::ostream& out, const MessageText& text) {
        return out << text.Bytes();
    }

private:
    void Append(const std::string& bytes, bool path);

    std::vector<Part> m_parts; // no empty part, no two program texts in a row
};

} // namespace platform
