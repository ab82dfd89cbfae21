// "Extra Format": the number format of one weight or quantity field, turned from its stored mask
// into controls and built back into a mask on OK.
#pragma once

#include <string>
#include <wx/dialog.h>

class wxCheckBox;
class wxComboBox;
class wxStaticText;

class CFldFormat : public wxDialog {
public:
    enum ControlId {
        kIdField = 987,
        kIdDecimals = 993,
        kIdRounding = 994,
        kIdSeparator = 995,
        kIdSign = 996,
        kIdNegative = 997,
        kIdShowUnits = 998,
        kIdExample = 1010,
        kIdConversion = 1011,
        kIdConversionLabel = 1142,
    };

    // The field list offers the fields whose Format button (id 1209 + field) is enabled in the
    // parent, the data-format dialog.
    explicit CFldFormat(wxWindow* parent = nullptr);

    // The field to edit, by its display name; set before the dialog is shown.
    void SetFieldName(const std::string& name) { m_fieldName = name; }

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnSelchangeField(wxCommandEvent& event);
    void OnSelchangeDecimals(wxCommandEvent& event);
    void OnFlagClicked(wxCommandEvent& event);

    void InitFields();
    void FillLists();
    void RebuildExample();
    void ReadControls();
    void ShowMembers();

    // Members, moved to and from the controls by ReadControls and ShowMembers.
    std::string m_fieldName;
    bool m_negative = false;
    std::string m_example;
    std::string m_decimals;
    int m_rounding = 0;
    bool m_sign = false;
    bool m_separator = false;
    bool m_showUnits = false;
    std::string m_conversion;
    bool m_refill = true;

    wxComboBox* m_fieldList;
    wxCheckBox* m_negativeBox;
    wxStaticText* m_exampleText;
    wxComboBox* m_decimalList;
    wxComboBox* m_roundingList;
    wxCheckBox* m_signBox;
    wxCheckBox* m_separatorBox;
    wxCheckBox* m_showUnitsBox;
    wxStaticText* m_conversionLabel;
    wxStaticText* m_conversionText;
};
