// Program text is 8-bit bytes; where it meets wxWidgets it is converted as ISO-8859-1 both ways so
// that no byte is lost or changed.
#pragma once

#include <string>
#include <wx/string.h>

inline wxString FromBytes(const std::string& bytes) { return wxString(bytes.data(), wxConvISO8859_1, bytes.size()); }

inline std::string ToBytes(const wxString& text) {
    const wxScopedCharBuffer buffer = text.mb_str(wxConvISO8859_1);
    return std::string(buffer.data(), buffer.length());
}
