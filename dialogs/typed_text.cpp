#include "dialogs/typed_text.h"

#include "app/core/settings_file.h"
#include "app/gui_base/message_box.h"
#include "app/gui_base/text.h"

namespace {

// The message for a value that "Pondra.ini" would not give back, or "" when it would.
wxString SettingsProblemText(const wxString& what, const char* key, const std::string& bytes) {
    if (key == nullptr)
        return "";
    switch (CheckSettingsValue(key, bytes)) {
    case SettingsValueProblem::None:
        return "";
    case SettingsValueProblem::Semicolon:
        return "The " + what + " cannot hold the character \";\": Pondra.ini ends a value there.";
    case SettingsValueProblem::LineBreak:
        return "The " + what + " cannot hold a line break.";
    case SettingsValueProblem::EdgeBlank:
        return "The " + what + " cannot start or end with a blank: Pondra.ini would drop it.";
    case SettingsValueProblem::TooLong:
        return wxString::Format("The %s is too long: Pondra.ini keeps at most %zu bytes of it.", what,
                                MaxSettingsValueLength(key));
    }
    return "";
}

bool Refused(const wxString& message, wxWindow* parent) {
    if (message.empty())
        return false;
    PondraWideMessageBox(message, wxOK | wxICON_EXCLAMATION, parent);
    return true;
}

} // namespace

bool TakeTypedText(const wxString& text, const char* what, const char* key, wxWindow* parent,
                   std::string* bytes) {
    const size_t at = FindNonLatin1(text);
    if (at != wxString::npos) {
        const wxUniChar c = text[at];
        Refused(wxString::Format("The %s cannot hold the character \"%s\" (U+%04X): Pondra keeps text in "
                                 "ISO-8859-1 (Latin-1).",
                                 what, wxString(c), static_cast<unsigned>(c.GetValue())),
                parent);
        return false;
    }
    const std::string taken = ToBytes(text);
    if (Refused(SettingsProblemText(what, key, taken), parent))
        return false;
    *bytes = taken;
    return true;
}

bool TakeTypedPath(const wxString& path, const char* what, const char* key, wxWindow* parent,
                   std::string* bytes) {
    const std::string taken = PathToBytes(path);
    if (taken.empty() && !path.empty()) {
        Refused("The " + wxString(what) + " holds characters that no file name can hold.", parent);
        return false;
    }
    if (Refused(SettingsProblemText(what, key, taken), parent))
        return false;
    *bytes = taken;
    return true;
}
