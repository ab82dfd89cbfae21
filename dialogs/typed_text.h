// Text the user typed, on its way into the settings. Names and other program text are kept in
// ISO-8859-1, file paths in the file system's bytes; either is taken only when it is stored
// unchanged, in memory and in "Pondra.ini" under `key` (none: no settings value). Otherwise a
// message says what cannot be stored, naming the character, and nothing is taken.
#pragma once

#include <string>
#include <wx/string.h>

class wxWindow;

// `what` names the field in the message: "name" gives "The name cannot hold ...".
bool TakeTypedText(const wxString& text, const char* what, const char* key, wxWindow* parent,
                   std::string* bytes);
bool TakeTypedPath(const wxString& path, const char* what, const char* key, wxWindow* parent,
                   std::string* bytes);
