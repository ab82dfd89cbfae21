#include "dialogs/exit_dialog.h"

#include "dialogs/dialog_units.h"

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
    // The sizer puts the buttons in the desktop's order, Cancel first; OK, the default, has the focus
    // from the start, before the toolkit gives it to the first button as the dialog appears.
    auto* ok = new wxButton(this, wxID_OK);
    auto* buttons = new wxStdDialogButtonSizer;
    buttons->AddButton(ok);
    buttons->AddButton(new wxButton(this, wxID_CANCEL));
    buttons->Realize();
    sizer->Add(buttons, wxSizerFlags().Centre().Border(wxBOTTOM, 12));
    SetSizerAndFit(sizer);
    ok->SetDefault();
    SetEscapeId(wxID_CANCEL);
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);
    Centre();
    ok->SetFocus();
}

CExitDialog::~CExitDialog() = default;
