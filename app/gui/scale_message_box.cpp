#include "app/gui/scale_message_box.h"

#include "app/gui_base/text.h"
#include "dialogs/dialog_units.h"

#include <algorithm>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/gdicmn.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

namespace {
constexpr int kWrapCharacters = 80;

wxBitmap IconOf(ScaleBoxKind kind) {
    return wxArtProvider::GetBitmap(kind == ScaleBoxKind::kScaleError ? wxART_ERROR : wxART_WARNING,
                                    wxART_MESSAGE_BOX);
}
} // namespace

CScaleMessageBox::CScaleMessageBox(wxWindow* parent, const platform::MessageText& text, ScaleBoxKind kind)
    : wxDialog(parent, wxID_ANY, "Pondra", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    m_icon = new wxStaticBitmap(this, wxID_ANY, IconOf(kind));
    row->Add(m_icon, 0, wxALL, 10);
    m_label = new wxStaticText(this, wxID_ANY, wxString());
    row->Add(m_label, 1, wxALL | wxEXPAND, 10);
    top->Add(row, 1, wxEXPAND);
    // The sizer puts the buttons in the desktop's order, Cancel first; OK, the default, has the focus
    // from the start, before the toolkit gives it to the first button as the dialog appears.
    auto* ok = new wxButton(this, wxID_OK);
    auto* buttons = new wxStdDialogButtonSizer;
    buttons->AddButton(ok);
    m_cancel = new wxButton(this, wxID_CANCEL);
    buttons->AddButton(m_cancel);
    buttons->Realize();
    top->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 10);
    SetSizer(top);
    SetText(text, kind);
    ok->SetDefault();
    PressDefaultOnReturn(this);
    ok->SetFocus();
}

bool CScaleMessageBox::OffersCancel() const {
    return m_cancel && m_cancel->IsShown();
}

void CScaleMessageBox::SetText(const platform::MessageText& text, ScaleBoxKind kind) {
    m_text = text;
    m_label->SetLabelText(FromMessage(text));
    // A message that says why a link failed runs long: lines are wrapped, so that the box stays
    // on the screen with its buttons.
    m_label->Wrap(std::min(GetCharWidth() * kWrapCharacters, wxGetDisplaySize().GetWidth() * 2 / 3));
    if (OffersCancel() != (kind == ScaleBoxKind::kScaleError)) {
        m_icon->SetBitmap(IconOf(kind));
        m_cancel->Show(kind == ScaleBoxKind::kScaleError);
    }
    GetSizer()->SetSizeHints(this);
    Fit();
    if (IsShown())
        CentreOnParent();
}
