// "Start Up & Hot Key Setting": the start-up mode and the global Get hot key.
#pragma once

#include <wx/dialog.h>

class HotKeyCtrl;
class wxRadioButton;

class CHKeyDlg : public wxDialog {
public:
    enum ControlId { kIdHotKey = 1003, kIdMinimized = 1004, kIdNormal = 1005 };

    explicit CHKeyDlg(wxWindow* parent = nullptr);

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);

    HotKeyCtrl* m_hotKey;
    wxRadioButton* m_minimized;
    wxRadioButton* m_normal;
};
