#include "dialogs/exit_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

wxIMPLEMENT_DYNAMIC_CLASS(CExitDialog, wxDialog);

CExitDialog::CExitDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Pondra", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(this, wxID_ANY, "Are you sure you want to exit?", wxDefaultPosition,
                                wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL),
               wxSizerFlags().Expand().Border(wxALL, 16));
    // OK comes first in the tab order and takes the focus; the sizer puts the buttons in the
    // desktop's order.
    auto* buttons = new wxStdDialogButtonSizer;
    buttons->AddButton(new wxButton(this, wxID_OK));
    buttons->AddButton(new wxButton(this, wxID_CANCEL));
    buttons->Realize();
    sizer->Add(buttons, wxSizerFlags().Centre().Border(wxBOTTOM, 12));
    SetSizerAndFit(sizer);
    SetDefaultItem(FindWindow(wxID_OK));
    SetEscapeId(wxID_CANCEL);
    Centre();
}

CExitDialog::~CExitDialog() = default;
