// Every message box of the program goes through here, so that GUI tests can answer boxes without a
// person at the screen.
#pragma once

#include "platform/message_text.h"

#include <functional>
#include <string>
#include <wx/defs.h>
#include <wx/string.h>

class wxWindow;

// Shows a modal message box (style: wxOK, wxYES_NO, wxICON_... flags) and returns wxOK, wxYES, wxNO
// or wxCANCEL as wxMessageBox does. The text is the program's own, with the paths it names.
int PondraMessageBox(const platform::MessageText& text, long style = wxOK | wxICON_EXCLAMATION,
                     wxWindow* parent = nullptr, const std::string& caption = "Pondra");

// The same for a text that may hold any character (one the user typed, a file name).
int PondraWideMessageBox(const wxString& text, long style = wxOK | wxICON_EXCLAMATION,
                         wxWindow* parent = nullptr);

// Test hook: when set, boxes are not shown; the hook gets the text as the box would show it, in
// UTF-8, the caption and the style, and answers.
using MessageBoxHook = std::function<int(const std::string& text, const std::string& caption, long style)>;
void SetMessageBoxHook(MessageBoxHook hook);
