// Program text is 8-bit bytes; where it meets wxWidgets it is converted as ISO-8859-1 both ways so
// that no byte is lost or changed. File paths are the exception: they keep the file system's bytes.
#pragma once

#include "platform/message_text.h"

#include <string>
#include <wx/strconv.h>
#include <wx/string.h>

inline wxString FromBytes(const std::string& bytes) {
    return wxString(bytes.data(), wxConvISO8859_1, bytes.size());
}

// A character that ISO-8859-1 cannot hold becomes "?"; text the user typed is checked before it
// gets here (FindNonLatin1), so that nothing is lost unnoticed.
inline std::string ToBytes(const wxString& text) {
    std::string bytes;
    bytes.reserve(text.length());
    for (wxUniChar c : text)
        bytes += c.GetValue() <= 0xFF ? static_cast<char>(c.GetValue()) : '?';
    return bytes;
}

// The position of the first character of `text` that ISO-8859-1 cannot hold, or wxString::npos.
inline size_t FindNonLatin1(const wxString& text) {
    size_t at = 0;
    for (wxUniChar c : text) {
        if (c.GetValue() > 0xFF)
            return at;
        ++at;
    }
    return wxString::npos;
}

// File paths as the toolkit's file chooser and the file system spell them: UTF-8 (or what
// G_FILENAME_ENCODING names), with bytes that are no UTF-8 kept as private-use characters, so that
// every path, also one with an ISO-8859-1 name, goes through a text field and back unchanged.
inline wxString PathFromBytes(const std::string& bytes) {
    return wxString(bytes.data(), *wxConvFileName, bytes.size());
}

inline std::string PathToBytes(const wxString& path) {
    const wxScopedCharBuffer buffer = path.mb_str(*wxConvFileName);
    return std::string(buffer.data(), buffer.length());
}

// A message as the window shows it: the program's text as ISO-8859-1, each path as its file name.
inline wxString FromMessage(const platform::MessageText& text) {
    wxString shown;
    for (const platform::MessageText::Part& part : text.Parts())
        shown += part.path ? PathFromBytes(part.bytes) : FromBytes(part.bytes);
    return shown;
}
