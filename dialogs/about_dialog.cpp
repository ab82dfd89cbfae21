#include "dialogs/about_dialog.h"

#include "dialogs/dialog_units.h"

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "res/pondra.xpm"

CAboutDlg::CAboutDlg() : wxDialog(nullptr, wxID_ANY, "About") {
    auto* texts = new wxBoxSizer(wxVERTICAL);
    auto* version = new wxStaticText(this, wxID_ANY, wxString());
    version->SetLabelText("Pondra Version 3.2"); // taken as it stands: no mnemonic in it
    texts->Add(version, wxSizerFlags().Border(wxBOTTOM, 8));
    texts->Add(new wxStaticText(this, wxID_ANY, "Not approved for trade measurement use"));

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(this, wxID_ANY, wxBitmap(pondra_xpm)),
             wxSizerFlags().Top().Border(wxRIGHT, 12));
    row->Add(texts, wxSizerFlags(1).Top().Border(wxRIGHT, 16));
    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();
    row->Add(ok, wxSizerFlags().Top());

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(row, wxSizerFlags(1).Expand().Border(wxALL, 12));
    SetSizerAndFit(sizer);
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);
    Centre();
}

CAboutDlg::~CAboutDlg() = default;
