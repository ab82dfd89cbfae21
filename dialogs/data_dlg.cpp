#include "dialogs/data_dlg.h"

#include "app/gui_base/text.h"
#include "comms/model_table.h"
#include "comms/settings.h"
#include "dialogs/dialog_units.h"
#include "dialogs/fld_format.h"
#include "dialogs/hotkey_ctrl.h"
#include "dialogs/typed_text.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {

// Caption of each field's check box.
constexpr std::array<const char*, kFieldCount> kFieldCaptions{
    "Weight Leading sign (+)",
    "PC Date Time",
    "Code Number",
    "Net Weight",
    "Gross Weight",
    "Tare Weight",
    "Unit Weight",
    "Quantity",
    "Set Point 1 (Wgh)",
    "Set Point 1 (Qty)",
    "Set Point 2 (Wgh)",
    "Set Point 2 (Qty)",
    "Set Point 3",
    "Set Point 4",
    "Set Point 5",
    "Set Point 6",
    "Total Quantity",
    "Total Weight",
    "Total Trans.",
    "Part Number",
    "Part Name",
    "Inventory",
    "Reference 1",
    "Reference 2",
    "Scale Number",
    "Scale Date",
    "ScaleTime",
    "Grading",
    "Status",
    "Weight Unit",
    "Unit Price",
    "Total Price",
    "Scale Name",
};

constexpr std::uint64_t Fields(std::initializer_list<int> fields) {
    std::uint64_t mask = 0;
    for (int field : fields)
        mask |= std::uint64_t{1} << field;
    return mask;
}

// The data fields each scale model can send, by model id. Fields 0 and 1 never come from a scale;
// every model has a scale name. Id 9 belongs to no model.
constexpr std::array<std::uint64_t, 17> kFieldsSent{
    Fields({2, 3, 4, 5, 32}),                                                             // TR-11
    Fields({3, 5, 32}),                                                                   // TR-24
    Fields({2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 16, 17, 19, 20, 21, 24, 25, 27, 28, 32}), // TR-70
    Fields({3, 5, 28, 32}),                                                               // TR-150
    Fields({3, 5, 24, 28, 32}),                                                           // TR-152 / TR-156
    Fields({2, 3, 4, 5, 17, 18, 32}),                                                     // TR-175
    Fields({2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 15, 16, 19, 20, 21, 24, 32}),         // TC-180
    Fields({3, 32}),                                                                      // TS-440
    Fields({2, 3, 5, 32}),                                                                // TR-500
    Fields({}),                                                                           // no model
    Fields({3, 4, 5, 8, 32}),                                                             // TS-740
    Fields({3, 5, 28, 30, 31, 32}),                                                       // TS-748
    Fields({4, 24, 29, 32}),                                                              // Orvel QB/QT
    Fields({3, 28, 29, 32}),                                                      // Mareno Kiki - HL/Vela/AK
    Fields({2, 3, 4, 5, 6, 7, 17, 18, 20, 22, 23, 25, 26, 28, 32}),               // KT m25
    Fields({2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 16, 17, 19, 20, 24, 25, 28, 32}), // TRX-3005
    Fields({3, 5, 28, 32}),                                                       // TSX-4000
};

struct KeyButton {
    int id;
    int word;         // put into the hot-key control
    const char* code; // put into the key-code box
};
// New Line puts Enter into the control but the line-end code 10 into the box.
constexpr KeyButton kKeyButtons[] = {
    {CDataDlg::kIdTab, 9, "9"},
    {CDataDlg::kIdShiftTab, 265, "265"},
    {CDataDlg::kIdNewLine, 13, "10"},
    {CDataDlg::kIdSpace, 32, "32"},
};

constexpr int kFieldsPerColumn = 16;

} // namespace

bool CDataDlg::ModelSendsField(int modelId, int field) {
    if (modelId < 0 || modelId >= static_cast<int>(kFieldsSent.size()) || field < 0 || field >= kFieldCount)
        return false;
    return (kFieldsSent[modelId] >> field) & 1;
}

CDataDlg::CDataDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Data Format Setting") {
    // Created in tab order: the title, one row per field, the line-end macro, the key converter.
    auto* title = new wxStaticText(this, kIdTitle, "");
    auto* sign = new wxCheckBox(this, kFirstCheckBox, kFieldCaptions[0]);
    sign->Hide();

    // The cells of each field's row: check box, "Macro :", macro edit, Format button (or nothing).
    using Row = std::array<wxWindow*, 4>;
    std::array<Row, kFieldCount> rows{};
    const wxSize editSize = DialogWidth(this, 60);
    for (int n = 1; n < kFieldCount; ++n) {
        rows[n][0] = new wxCheckBox(this, kFirstCheckBox + n, kFieldCaptions[n]);
        rows[n][1] = new wxStaticText(this, kFirstLabel + n, "Macro :");
        rows[n][2] = new wxTextCtrl(this, kFirstMacroEdit + n, "", wxDefaultPosition, editSize);
        if (g_FieldHasFormat[n])
            rows[n][3] = new wxButton(this, kFirstFormatButton + n, "Format");
    }
    const Row lineEndRow{new wxStaticText(this, wxID_ANY, "End of line"),
                         new wxStaticText(this, kIdLineEndLabel, "Macro :"),
                         new wxTextCtrl(this, kIdLineEndMacro, "", wxDefaultPosition, editSize), nullptr};

    auto* keyGroup = new wxStaticBox(this, wxID_ANY, "Key Converting");
    m_hotKey = new HotKeyCtrl(this, kIdHotKey, wxDefaultPosition, DialogWidth(this, 80));
    auto* convert = new wxButton(this, kIdConvert, "=", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    m_keyCode = new wxTextCtrl(this, kIdKeyCode, "", wxDefaultPosition, DialogWidth(this, 40));
    auto* tab = new wxButton(this, kIdTab, "&Tab");
    auto* shiftTab = new wxButton(this, kIdShiftTab, "S&hift+Tab");
    auto* newLine = new wxButton(this, kIdNewLine, "New &Line");
    auto* space = new wxButton(this, kIdSpace, "&Space");
    auto* ok = new wxButton(this, wxID_OK, "OK");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    ok->SetDefault();
    // Text boxes as high as the buttons beside them: the toolkit tells their height only once the
    // dialog is shown, too late for the layout. The "=" button is as narrow as its text allows.
    const int lineHeight = ok->GetBestSize().y;
    for (wxWindow* child : GetChildren())
        if (auto* edit = dynamic_cast<wxTextCtrl*>(child))
            edit->SetMinSize(wxSize(edit->GetSize().x, lineHeight));
    convert->SetMinSize(wxSize(convert->GetTextExtent("=").x + 4 * GetCharWidth(), lineHeight));

    // One grid holds both columns of fields, so that their rows line up; the line-end macro ends
    // the second column.
    auto* fields = new wxFlexGridSizer(2 * 4 + 1, 2, 6);
    const auto addRow = [fields](const Row& row) {
        for (wxWindow* cell : row)
            if (cell)
                fields->Add(cell, 0, wxALIGN_CENTER_VERTICAL);
            else
                fields->AddSpacer(0);
    };
    for (int r = 1; r <= kFieldsPerColumn; ++r) {
        addRow(rows[r]);
        fields->AddSpacer(10);
        addRow(rows[r + kFieldsPerColumn]);
    }
    addRow(Row{});
    fields->AddSpacer(10);
    addRow(lineEndRow);

    auto* converter = new wxStaticBoxSizer(keyGroup, wxHORIZONTAL);
    for (wxWindow* control :
         std::initializer_list<wxWindow*>{m_hotKey, convert, m_keyCode, tab, shiftTab, newLine, space})
        converter->Add(control, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    auto* bottom = new wxBoxSizer(wxHORIZONTAL);
    bottom->Add(converter, 1, wxRIGHT, 10);
    bottom->Add(ok, 0, wxALIGN_BOTTOM | wxRIGHT, 5);
    bottom->Add(cancel, 0, wxALIGN_BOTTOM);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(title, 0, wxALL, 8);
    top->Add(fields, 0, wxLEFT | wxRIGHT, 8);
    top->Add(bottom, 0, wxALL | wxEXPAND, 8);
    SetSizerAndFit(top);
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);

    Bind(wxEVT_INIT_DIALOG, &CDataDlg::OnInitDialog, this);
    Bind(wxEVT_BUTTON, &CDataDlg::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CDataDlg::OnConvert, this, kIdConvert);
    for (const KeyButton& button : kKeyButtons)
        Bind(wxEVT_BUTTON, &CDataDlg::OnKeyButton, this, button.id);
    for (int n = 0; n < kFieldCount; ++n)
        if (g_FieldHasFormat[n])
            Bind(wxEVT_BUTTON, &CDataDlg::OnFormat, this, kFirstFormatButton + n);
}

void CDataDlg::OnInitDialog(wxInitDialogEvent&) {
    // Opening writes no setting, so that Cancel changes nothing: the model is looked up on a copy of
    // its name (the title names it as set), and what the controls show is stored only by OK.
    const std::string title = "Scale :   " + g_ModelName;
    ModelRow model{};
    std::string modelName = g_ModelName;
    LookupModel(&model, &modelName);

    for (int n = 0; n < kFieldCount; ++n) {
        auto* check = static_cast<wxCheckBox*>(FindWindow(kFirstCheckBox + n));
        if (n >= 1) {
            // A macro that is a lone line feed shows as empty text.
            const std::string macro = g_Macros[n] == "\n" ? std::string() : g_Macros[n];
            static_cast<wxTextCtrl*>(FindWindow(kFirstMacroEdit + n))->ChangeValue(FromBytes(macro));
        }
        if (g_FieldEnabled[n])
            check->SetValue(true);
        // Fields the model never sends are greyed out; the date and time come from the PC.
        if (n > 1 && !ModelSendsField(model.id, n)) {
            check->Disable();
            check->SetValue(false);
            FindWindow(kFirstMacroEdit + n)->Disable();
            FindWindow(kFirstLabel + n)->Disable();
            if (g_FieldHasFormat[n])
                FindWindow(kFirstFormatButton + n)->Disable();
        }
    }
    static_cast<wxTextCtrl*>(FindWindow(kIdLineEndMacro))->ChangeValue(FromBytes(g_Macros[kEndOfLineMacro]));
    wxWindow* titleText = FindWindow(kIdTitle);
    static_cast<wxStaticText*>(titleText)->SetLabelText(FromBytes(title));
    titleText->GetParent()->Layout(); // the dialog, or the window that scrolls its controls
    FocusFirstControl(this);
}

void CDataDlg::OnOK(wxCommandEvent&) {
    // A macro that cannot be stored as typed keeps the dialog open on its field; what came before
    // it is stored.
    auto takeMacro = [this](int n, int editId) {
        auto* edit = static_cast<wxTextCtrl*>(FindWindow(editId));
        const std::string key = "Macro" + std::to_string(n);
        if (TakeTypedText(edit->GetValue(), "macro", key.c_str(), this, &g_Macros[n]))
            return true;
        edit->SetFocus();
        return false;
    };
    g_FieldEnabled[0] = static_cast<wxCheckBox*>(FindWindow(kFirstCheckBox))->GetValue() ? 1 : 0;
    for (int n = 1; n < kFieldCount; ++n) {
        if (!takeMacro(n, kFirstMacroEdit + n))
            return;
        g_FieldEnabled[n] = static_cast<wxCheckBox*>(FindWindow(kFirstCheckBox + n))->GetValue() ? 1 : 0;
    }
    if (takeMacro(kEndOfLineMacro, kIdLineEndMacro))
        EndDialog(wxID_OK);
}

void CDataDlg::OnKeyButton(wxCommandEvent& event) {
    for (const KeyButton& button : kKeyButtons) {
        if (button.id == event.GetId()) {
            m_hotKey->SetHotKey(button.word);
            m_keyCode->ChangeValue(button.code);
        }
    }
}

void CDataDlg::OnConvert(wxCommandEvent&) {
    m_keyCode->ChangeValue(wxString::Format("%d", m_hotKey->GetHotKey() & 0xFFFF));
    Refresh();
}

void CDataDlg::OnFormat(wxCommandEvent& event) {
    CFldFormat format(this);
    format.SetFieldName(g_FieldDisplayNames[event.GetId() - kFirstFormatButton]);
    format.ShowModal();
}
