// Every message box of the program goes through here, so that GUI tests can answer boxes without a
// person at the screen.
#pragma once

#include <functional>
#include <string>
#include <wx/defs.h>
#include <wx/string.h>

class wxWindow;

// Shows a modal message box (style: wxOK, wxYES_NO, wxICON_... flags) and returns wxOK, wxYES, wxNO
// or wxCANCEL as wxMessageBox does.
int PondraMessageBox(const std::string& text, long style = wxOK | wxICON_EXCLAMATION,
                     wxWindow* parent = nullptr, const std::string& caption = "Pondra");

// The same for a text that may hold any character (one the user typed, a file name); the test
// hook gets it as UTF-8.
int PondraWideMessageBox(const wxString& text, long style = wxOK | wxICON_EXCLAMATION,
                         wxWindow* parent = nullptr);

// Test hook: when set, boxes are not shown; the hook gets text, caption and style and answers.
using MessageBoxHook = std::function<int(const std::string& text, const std::string& caption, long style)>;
void SetMessageBoxHook(MessageBoxHook hook);
