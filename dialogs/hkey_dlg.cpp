#include "dialogs/hkey_dlg.h"

#include "app/core/hotkey_text.h"
#include "app/gui_base/message_box.h"
#include "comms/settings.h"
#include "dialogs/dialog_units.h"
#include "dialogs/hotkey_ctrl.h"
#include "platform/x11_hotkey.h"

#include <cstdlib>
#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

CHKeyDlg::CHKeyDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Start Up & Hot Key Setting") {
    // Created in tab order.
    auto* label = new wxStaticText(this, wxID_ANY, "Set Hot &Key :");
    m_hotKey = new HotKeyCtrl(this, kIdHotKey, wxDefaultPosition, wxDLG_UNIT(this, wxSize(100, 12)));
    auto* group = new wxStaticBox(this, wxID_ANY, "&Start-up Mode:");
    m_minimized = new wxRadioButton(this, kIdMinimized, "&Minimized Start up", wxDefaultPosition,
                                    wxDefaultSize, wxRB_GROUP);
    m_normal = new wxRadioButton(this, kIdNormal, "&Normal Start up");
    auto* ok = new wxButton(this, wxID_OK, "OK");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    ok->SetDefault();

    auto* keyRow = new wxBoxSizer(wxHORIZONTAL);
    keyRow->Add(label, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 5);
    keyRow->Add(m_hotKey, 1);
    auto* groupSizer = new wxStaticBoxSizer(group, wxVERTICAL);
    groupSizer->Add(m_minimized, 0, wxALL, 5);
    groupSizer->Add(m_normal, 0, wxALL, 5);
    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(keyRow, 0, wxEXPAND | wxBOTTOM, 8);
    left->Add(groupSizer, 0, wxEXPAND);
    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(ok, 0, wxBOTTOM, 5);
    buttons->Add(cancel);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(left, 1, wxALL, 8);
    top->Add(buttons, 0, wxALL, 8);
    SetSizerAndFit(top);
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);

    Bind(wxEVT_INIT_DIALOG, &CHKeyDlg::OnInitDialog, this);
    Bind(wxEVT_BUTTON, &CHKeyDlg::OnOK, this, wxID_OK);
}

void CHKeyDlg::OnInitDialog(wxInitDialogEvent&) {
    // The hot key only triggers Gets in command mode.
    if (g_RunMode != "Command")
        m_hotKey->Disable();
    m_hotKey->SetHotKey(static_cast<int>(std::strtol(g_HotKeyCode.c_str(), nullptr, 10) & 0xFFFF));
    if (g_StartUp == "Mini")
        m_minimized->SetValue(true);
    else
        m_normal->SetValue(true);
    FocusFirstControl(this);
}

void CHKeyDlg::OnOK(wxCommandEvent&) {
    g_StartUp = m_minimized->GetValue() ? "Mini" : "Norm";
    const int word = m_hotKey->GetHotKey();
    g_HotKeyCode = std::to_string(word);

    // Try the key once and let it go again at once, so that a combination another program holds is
    // reported now; the lasting registration is the main window's, made when a command transfer
    // starts, and does not count as another program.
    if (g_RunMode == "Command" && word != 0) {
        const HotKeySpec spec = ParseHotKeyCode(g_HotKeyCode);
        const std::string failure = platform::X11HotKey::Probe(spec.key, spec.extended, spec.modifiers);
        if (!failure.empty())
            PondraMessageBox("Hotkey not registered: " + failure, wxOK | wxICON_EXCLAMATION, this);
    }
    EndDialog(wxID_OK);
}
