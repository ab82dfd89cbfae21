#include "dialogs/fld_format.h"

#include "app/gui_base/text.h"
#include "comms/formatter.h"
#include "comms/model_table.h"
#include "comms/settings.h"
#include "dialogs/dialog_units.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace {

constexpr int kFirstFormatButton = 1209; // the data-format dialog's Format button of field n is 1209 + n
constexpr const char* kDecimalPlaces[] = {"0", "0.0", "0.00", "0.000", "0.0000"};
constexpr const char* kFiveDecimals = "0.00000"; // offered for Unit Weight only
constexpr const char* kUnitWeight = "Unit Weight";
constexpr const char* kTotalQuantity = "Total Quantity";

// Shows a text in a drop-down list: the item that matches, else the text typed into it.
void ShowComboText(wxComboBox* combo, const std::string& text) {
    const int item = combo->FindString(FromBytes(text), true);
    if (item != wxNOT_FOUND)
        combo->SetSelection(item);
    else
        combo->ChangeValue(FromBytes(text));
}

} // namespace

CFldFormat::CFldFormat(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Extra Format") {
    if (g_WeightConversion == "1")
        m_conversion = "Kilograms to Grams";

    auto* fieldLabel = new wxStaticText(this, wxID_ANY, "Field Format:");
    m_fieldList = new wxComboBox(this, kIdField, "", wxDefaultPosition, wxDLG_UNIT(this, wxSize(90, -1)), 0,
                                 nullptr, wxCB_DROPDOWN);
    m_negativeBox = new wxCheckBox(this, kIdNegative, "Negative Number");
    auto* negativeHint = new wxStaticText(this, wxID_ANY, "(Show negative if present)");
    auto* exampleLabel = new wxStaticText(this, wxID_ANY, "Example:");
    m_exampleText = new wxStaticText(this, kIdExample, "", wxDefaultPosition,
                                     wxDLG_UNIT(this, wxSize(70, -1)), wxBORDER_SUNKEN | wxST_NO_AUTORESIZE);
    auto* decimalLabel = new wxStaticText(this, wxID_ANY, "Decimal Places");
    m_decimalList = new wxComboBox(this, kIdDecimals, "", wxDefaultPosition, wxDLG_UNIT(this, wxSize(60, -1)),
                                   0, nullptr, wxCB_DROPDOWN | wxCB_SORT);
    auto* roundingLabel = new wxStaticText(this, wxID_ANY, "Rounding");
    m_roundingList = new wxComboBox(this, kIdRounding, "", wxDefaultPosition,
                                    wxDLG_UNIT(this, wxSize(90, -1)), 0, nullptr, wxCB_DROPDOWN);
    m_signBox = new wxCheckBox(this, kIdSign, "Sign");
    auto* signHint = new wxStaticText(this, wxID_ANY, "(eg, + 12.01)");
    m_separatorBox = new wxCheckBox(this, kIdSeparator, "Use Separator ( , )     ");
    auto* separatorHint = new wxStaticText(this, wxID_ANY, "(eg, 1,000,000,000)");
    m_showUnitsBox = new wxCheckBox(this, kIdShowUnits, "Show Units");
    auto* showUnitsHint = new wxStaticText(this, wxID_ANY, "(Show units if present)");
    m_conversionLabel = new wxStaticText(this, kIdConversionLabel, "Weight Conversion");
    m_conversionText = new wxStaticText(this, kIdConversion, "");
    m_conversionText->Disable();
    auto* ok = new wxButton(this, wxID_OK, "OK");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    ok->SetDefault();

    auto* grid = new wxFlexGridSizer(2, 6, 10);
    auto addRow = [grid](wxWindow* left, wxWindow* right) {
        grid->Add(left, 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(right, 0, wxALIGN_CENTER_VERTICAL);
    };
    addRow(fieldLabel, m_fieldList);
    addRow(decimalLabel, m_decimalList);
    addRow(roundingLabel, m_roundingList);
    addRow(m_separatorBox, separatorHint);
    addRow(m_signBox, signHint);
    addRow(m_negativeBox, negativeHint);
    addRow(m_showUnitsBox, showUnitsHint);
    addRow(exampleLabel, m_exampleText);
    addRow(m_conversionLabel, m_conversionText);
    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(ok, 0, wxBOTTOM, 5);
    buttons->Add(cancel);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(grid, 1, wxALL, 8);
    top->Add(buttons, 0, wxALL, 8);
    SetSizerAndFit(top);
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);

    Bind(wxEVT_INIT_DIALOG, &CFldFormat::OnInitDialog, this);
    Bind(wxEVT_BUTTON, &CFldFormat::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CFldFormat::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_COMBOBOX, &CFldFormat::OnSelchangeField, this, kIdField);
    Bind(wxEVT_COMBOBOX, &CFldFormat::OnSelchangeDecimals, this, kIdDecimals);
    Bind(wxEVT_CHECKBOX, &CFldFormat::OnFlagClicked, this, kIdSeparator);
    Bind(wxEVT_CHECKBOX, &CFldFormat::OnFlagClicked, this, kIdSign);
}

void CFldFormat::OnInitDialog(wxInitDialogEvent&) {
    InitFields();
}

void CFldFormat::FillLists() {
    // Only the fields that the current scale model sends: their Format buttons are enabled.
    const wxWindow* owner = GetParent();
    for (int n = 0; n < kFieldCount; ++n) {
        if (!g_FieldHasFormat[n] || !owner)
            continue;
        const wxWindow* button = owner->FindWindow(kFirstFormatButton + n);
        if (button && button->IsEnabled())
            m_fieldList->Append(g_FieldDisplayNames[n]);
    }
    for (const char* places : kDecimalPlaces)
        m_decimalList->Append(places);
    for (const RoundingMode& mode : g_RoundingModes)
        if (*mode.name != '\0')
            m_roundingList->Append(mode.name);
}

// Reads the stored mask of the field named in the field list into the members; runs again each
// time another field is picked.
void CFldFormat::InitFields() {
    if (m_refill)
        FillLists();

    const int fiveDecimals = m_decimalList->FindString(kFiveDecimals, true);
    if (m_fieldName == kUnitWeight) {
        if (fiveDecimals == wxNOT_FOUND)
            m_decimalList->Append(kFiveDecimals);
    } else if (fiveDecimals != wxNOT_FOUND) {
        m_decimalList->Delete(fiveDecimals);
    }

    ModelRow model{};
    LookupModel(&model, &g_ModelName);

    const int field = FindFormattedFieldByDisplayName(m_fieldName);
    if (field >= 0) {
        const FieldFormat& format = g_FieldFormats[field];
        m_example = format.mask;
        // A leading "0" marks that negative numbers keep their sign.
        if (!m_example.empty() && m_example.front() == '0') {
            m_negative = true;
            m_example.erase(0, 1);
        }
        if (StripGramsSuffix(m_example))
            m_showUnits = model.grams != 0;
        for (size_t row = 0; row < g_RoundingModes.size(); ++row)
            if (g_RoundingModes[row].id == format.rounding)
                m_rounding = static_cast<int>(row);
    }
    m_sign = m_example.find('+') != std::string::npos;
    m_separator = m_example.find(',') != std::string::npos;
    const size_t point = m_example.find('.');
    m_decimals = point == std::string::npos ? "0" : "0" + m_example.substr(point);

    const bool showConversion = !m_conversion.empty() && m_fieldName != kTotalQuantity;
    m_conversionLabel->Show(showConversion);
    m_conversionText->Show(showConversion);
    m_showUnitsBox->Enable(model.grams != 0 && IsGramsOff());

    m_refill = false;
    ShowMembers();
}

void CFldFormat::ReadControls() {
    m_fieldName = ToBytes(m_fieldList->GetValue());
    m_negative = m_negativeBox->GetValue();
    m_decimals = ToBytes(m_decimalList->GetValue());
    m_rounding = m_roundingList->GetSelection();
    m_sign = m_signBox->GetValue();
    m_separator = m_separatorBox->GetValue();
    m_showUnits = m_showUnitsBox->GetValue();
}

void CFldFormat::ShowMembers() {
    ShowComboText(m_fieldList, m_fieldName);
    m_negativeBox->SetValue(m_negative);
    m_exampleText->SetLabelText(FromBytes(m_example));
    ShowComboText(m_decimalList, m_decimals);
    m_roundingList->SetSelection(m_rounding);
    m_signBox->SetValue(m_sign);
    m_separatorBox->SetValue(m_separator);
    m_showUnitsBox->SetValue(m_showUnits);
    m_conversionText->SetLabelText(FromBytes(m_conversion));
    Layout();
}

void CFldFormat::RebuildExample() {
    m_example = std::string(m_sign ? "+" : "") + (m_separator ? "10,00" : "1000") + m_decimals;
    ShowMembers();
}

void CFldFormat::OnSelchangeField(wxCommandEvent&) {
    ReadControls();
    m_fieldName = ToBytes(m_fieldList->GetStringSelection());
    InitFields();
}

void CFldFormat::OnSelchangeDecimals(wxCommandEvent&) {
    const std::string old = m_decimals;
    ReadControls();
    m_decimals = ToBytes(m_decimalList->GetStringSelection());
    if (m_decimals != old)
        RebuildExample();
}

void CFldFormat::OnFlagClicked(wxCommandEvent&) {
    ReadControls();
    RebuildExample();
}

void CFldFormat::OnOK(wxCommandEvent&) {
    ReadControls();
    const int field = FindFormattedFieldByDisplayName(m_fieldName);
    m_refill = true;
    if (field < 0) {
        // A name typed into the list that names no formatted field changes nothing.
        ShowMembers();
        EndDialog(wxID_OK);
        return;
    }
    std::string mask = (m_negative ? "0" : "") + m_example;
    if (m_showUnits)
        AddGramsSuffix(mask);
    FieldFormat& format = g_FieldFormats[field];
    format.mask = mask;
    // With no rounding picked (text typed into the list) the field keeps its rounding, or rounds
    // down when what it holds is no rounding mode.
    if (m_rounding >= 0 && m_rounding < static_cast<int>(g_RoundingModes.size()))
        format.rounding = g_RoundingModes[m_rounding].id;
    else if (format.rounding < kRoundDown || format.rounding > kRoundNearest)
        format.rounding = kRoundDown;
    ShowMembers();
    EndDialog(wxID_OK);
}

void CFldFormat::OnCancel(wxCommandEvent&) {
    m_refill = true;
    EndDialog(wxID_CANCEL);
}
