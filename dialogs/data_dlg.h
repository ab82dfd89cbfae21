// "Data Format Setting": which data fields go into the output line, the macro in front of each and
// the one that ends the line. Fields the current scale model never sends are greyed out.
#pragma once

#include <wx/dialog.h>

class HotKeyCtrl;
class wxTextCtrl;

class CDataDlg : public wxDialog {
public:
    // Control ids by field number n: check box 1100 + n, "Macro :" label 1025 + n, macro edit
    // 1060 + n, Format button 1209 + n (fields with a number format only).
    enum ControlId {
        kIdTitle = 1001,
        kIdShiftTab = 1025,
        kIdLineEndLabel = 1058,
        kIdLineEndMacro = 1093,
        kIdSpace = 1143,
        kIdNewLine = 1144,
        kIdTab = 1145,
        kIdKeyCode = 1146,
        kIdConvert = 1147,
        kIdHotKey = 1148,
    };
    static constexpr int kFirstCheckBox = 1100;
    static constexpr int kFirstLabel = 1025;
    static constexpr int kFirstMacroEdit = 1060;
    static constexpr int kFirstFormatButton = 1209;

    explicit CDataDlg(wxWindow* parent = nullptr);

    // True when the scale model with this id can send data field n.
    static bool ModelSendsField(int modelId, int field);

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnKeyButton(wxCommandEvent& event);
    void OnConvert(wxCommandEvent& event);
    void OnFormat(wxCommandEvent& event);

    HotKeyCtrl* m_hotKey;
    wxTextCtrl* m_keyCode;
};
