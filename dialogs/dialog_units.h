// The dialogs are laid out in dialog units (a quarter of the font's average character width
// across, an eighth of its height down), so they scale with the font as their layouts are drawn.
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

// The dialog's first control, in tab order, that takes the focus from the keyboard (of a group of
// radio buttons, the chosen one): where a dialog that leaves its focus to the system opens with it.
wxWindow* FirstFocusableControl(wxWindow* dialog);
// Done once the dialog is shown: before, the toolkit would give the focus a place of its own.
inline void FocusFirstControl(wxWindow* dialog) {
    dialog->CallAfter([dialog] {
        if (wxWindow* first = FirstFocusableControl(dialog))
            first->SetFocus();
    });
}

// Ends a dialog with the result `rc`: a modal one returns it from ShowModal; one shown without a
// modal loop (as the GUI tests open them) is hidden and keeps it as its return code.
inline void CloseDialog(wxDialog* dialog, int rc) {
    dialog->SetReturnCode(rc);
    if (dialog->IsModal())
        dialog->EndModal(rc);
    else
        dialog->Hide();
}
