// What the dialogs share: sizes in dialog units (a quarter of the font's average character width
// across, an eighth of its height down, so that layouts scale with the font as they are drawn), the
// focus and the keys as a dialog opens, and a dialog too large for the screen.
#pragma once

#include <wx/dialog.h>
#include <wx/window.h>

inline wxPoint DialogPoint(wxWindow* dialog, int x, int y) {
    return wxDLG_UNIT(dialog, wxPoint(x, y));
}
inline wxSize DialogSize(wxWindow* dialog, int width, int height) {
    return wxDLG_UNIT(dialog, wxSize(width, height));
}

// A width in dialog units with the control's natural height, for controls (radio buttons, check
// boxes, drop-down lists) that the toolkit cannot draw lower than it likes.
inline wxSize DialogWidth(wxWindow* dialog, int width) {
    return wxSize(wxDLG_UNIT(dialog, wxSize(width, 0)).x, wxDefaultCoord);
}

// Gives the focus to the dialog's first control in tab order that takes it from the keyboard (of a
// group of radio buttons, the chosen one), once the dialog is shown: before, the toolkit would give
// the focus a place of its own.
void FocusFirstControl(wxWindow* dialog);

// Return (and Enter) press the dialog's default button wherever the focus is, as in the dialogs of
// other desktops: the toolkit would let a focused drop-down list open, or a radio button or check
// box take the key. Only a focused button takes Return itself and is pressed; a disabled default
// button does nothing.
void PressDefaultOnReturn(wxDialog* dialog);

// The largest client area the dialog can have with its frame on the screen it opens on.
wxSize ClientRoom(wxWindow* dialog);

// Called once the dialog's controls are laid out: when the dialog needs more room than the screen
// it opens on has, its controls move onto a window that fills the dialog and scrolls, and the dialog
// takes only the room there is. A dialog that fits is left as it is.
void ScrollIfTooLarge(wxDialog* dialog);

// For a dialog that scrolls by itself: keeps its frame within the screen, once the window manager
// has framed it.
void KeepOnScreen(wxDialog* dialog);

// Ends a dialog with the result `rc`: a modal one returns it from ShowModal; one shown without a
// modal loop (as the GUI tests open them) is hidden and keeps it as its return code.
inline void CloseDialog(wxDialog* dialog, int rc) {
    dialog->SetReturnCode(rc);
    if (dialog->IsModal())
        dialog->EndModal(rc);
    else
        dialog->Hide();
}
