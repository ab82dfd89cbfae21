#include "app/gui/scale_message_box.h"

#include "app/gui_base/text.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

CScaleMessageBox::CScaleMessageBox(wxWindow* parent, const std::string& text)
    : wxDialog(parent, wxID_ANY, "Pondra", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(wxART_ERROR, wxART_MESSAGE_BOX)), 0,
             wxALL, 10);
    m_label = new wxStaticText(this, wxID_ANY, wxString());
    row->Add(m_label, 1, wxALL | wxEXPAND, 10);
    top->Add(row, 1, wxEXPAND);
    top->Add(CreateButtonSizer(wxOK | wxCANCEL), 0, wxALL | wxALIGN_RIGHT, 10);
    SetSizer(top);
    SetText(text);
}

void CScaleMessageBox::SetText(const std::string& text) {
    m_text = text;
    m_label->SetLabelText(FromBytes(text));
    GetSizer()->SetSizeHints(this);
    Fit();
    if (IsShown())
        CentreOnParent();
}
