#include "app/gui_base/message_box.h"

#include "app/gui_base/text.h"

#include <wx/msgdlg.h>

namespace {
MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}
} // namespace

int PondraMessageBox(const platform::MessageText& text, long style, wxWindow* parent,
                     const std::string& caption) {
    if (Hook())
        return Hook()(FromMessage(text).utf8_string(), caption, style);
    return wxMessageBox(FromMessage(text), FromBytes(caption), style, parent);
}

int PondraWideMessageBox(const wxString& text, long style, wxWindow* parent) {
    if (Hook())
        return Hook()(text.utf8_string(), "Pondra", style);
    return wxMessageBox(text, "Pondra", style, parent);
}

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}
