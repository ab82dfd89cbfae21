#include "dialogs/dialog_units.h"

#include <wx/radiobut.h>

wxWindow* FirstFocusableControl(wxWindow* parent) {
    for (wxWindow* child : parent->GetChildren()) {
        if (child->IsTopLevel() || !child->IsShown() || !child->IsEnabled())
            continue;
        if (auto* radio = dynamic_cast<wxRadioButton*>(child)) {
            for (wxRadioButton* member = radio->GetFirstInGroup(); member; member = member->GetNextInGroup())
                if (member->GetValue() && member->IsShown() && member->IsEnabled())
                    return member;
        }
        if (child->CanAcceptFocusFromKeyboard())
            return child;
        if (wxWindow* inner = FirstFocusableControl(child))
            return inner;
    }
    return nullptr;
}
