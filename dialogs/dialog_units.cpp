#include "dialogs/dialog_units.h"

#include <algorithm>
#include <functional>
#include <vector>
#include <wx/button.h>
#include <wx/display.h>
#include <wx/radiobut.h>
#include <wx/scrolwin.h>
#include <wx/settings.h>
#include <wx/sizer.h>

namespace {

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

// Runs `fit` now, and again each time the shown dialog is idle until the window manager's frame
// around it is known: the toolkit learns the frame's size only as the dialog appears, and then keeps
// the client area as it was, so that the frame may have grown past the screen's edge.
void FitNowAndWhenFramed(wxDialog* dialog, std::function<void()> fit) {
    fit();
    dialog->Bind(wxEVT_IDLE, [dialog, fit, framed = false](wxIdleEvent& event) mutable {
        event.Skip();
        if (framed || !dialog->IsShown())
            return;
        framed = dialog->GetSize() != dialog->GetClientSize();
        fit();
    });
}

} // namespace

void FocusFirstControl(wxWindow* dialog) {
    dialog->CallAfter([dialog] {
        if (wxWindow* first = FirstFocusableControl(dialog))
            first->SetFocus();
    });
}

void PressDefaultOnReturn(wxDialog* dialog) {
    dialog->Bind(wxEVT_CHAR_HOOK, [dialog](wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        if ((key != WXK_RETURN && key != WXK_NUMPAD_ENTER) || event.HasAnyModifiers() ||
            dynamic_cast<wxButton*>(wxWindow::FindFocus())) {
            event.Skip();
            return;
        }
        auto* button = dynamic_cast<wxButton*>(dialog->GetDefaultItem());
        if (!button || !button->IsEnabled())
            return;
        wxCommandEvent click(wxEVT_BUTTON, button->GetId());
        click.SetEventObject(button);
        button->HandleWindowEvent(click);
    });
}

wxSize ClientRoom(wxWindow* dialog) {
    const int display = wxDisplay::GetFromWindow(dialog);
    const wxRect area =
        wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
    return area.GetSize() - (dialog->GetSize() - dialog->GetClientSize()); // less the window manager's frame
}

void ScrollIfTooLarge(wxDialog* dialog) {
    wxSizer* sizer = dialog->GetSizer();
    const wxSize needed = sizer ? sizer->GetMinSize() : dialog->GetClientSize();
    wxScrolledWindow* body = nullptr;
    auto fit = [dialog, needed, body]() mutable {
        const wxSize room = ClientRoom(dialog);
        if (needed.x <= room.x && needed.y <= room.y)
            return;
        if (!body) {
            body = new wxScrolledWindow(dialog, wxID_ANY, wxPoint(0, 0), dialog->GetClientSize(),
                                        wxHSCROLL | wxVSCROLL | wxTAB_TRAVERSAL | wxBORDER_NONE);
            // The controls move in their order, which is their tab order and keeps their radio groups.
            const std::vector<wxWindow*> controls(dialog->GetChildren().begin(), dialog->GetChildren().end());
            for (wxWindow* control : controls)
                if (control != body && !control->IsTopLevel())
                    control->Reparent(body);
            dialog->SetExtraStyle(dialog->GetExtraStyle() | wxWS_EX_VALIDATE_RECURSIVELY);
            if (wxSizer* layout = dialog->GetSizer()) {
                dialog->SetSizer(nullptr, false);
                body->SetSizer(layout);
            }
            body->SetVirtualSize(needed);
            body->SetScrollRate(dialog->GetCharWidth(), dialog->GetCharHeight());
            dialog->SetMinSize(wxDefaultSize);
            // The toolkit forgets the default button of a window that lost it on the way.
            if (auto* button = dynamic_cast<wxButton*>(dialog->GetDefaultItem()))
                button->SetDefault();
        }
        // Room for a scroll bar across what does not scroll.
        const wxSize bars(needed.y > room.y ? wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, dialog) : 0,
                          needed.x > room.x ? wxSystemSettings::GetMetric(wxSYS_HSCROLL_Y, dialog) : 0);
        dialog->SetClientSize(
            wxSize(std::min(needed.x + bars.x, room.x), std::min(needed.y + bars.y, room.y)));
        body->SetSize(dialog->GetClientSize());
    };
    FitNowAndWhenFramed(dialog, fit);
}

void KeepOnScreen(wxDialog* dialog) {
    FitNowAndWhenFramed(dialog, [dialog] {
        const wxSize room = ClientRoom(dialog);
        const wxSize client = dialog->GetClientSize();
        if (client.x > room.x || client.y > room.y)
            dialog->SetClientSize(std::min(client.x, room.x), std::min(client.y, room.y));
    });
}
