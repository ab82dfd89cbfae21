// The dialogs are laid out in dialog units (a quarter of the font's average character width
// across, an eighth of its height down), so they scale with the font as their layouts are drawn.
#pragma once

#include <wx/window.h>

inline wxPoint DialogPoint(wxWindow* dialog, int x, int y) {
    return wxDLG_UNIT(dialog, wxPoint(x, y));
}
inline wxSize DialogSize(wxWindow* dialog, int width, int height) {
    return wxDLG_UNIT(dialog, wxSize(width, height));
}
