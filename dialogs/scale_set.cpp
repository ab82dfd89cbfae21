#include "dialogs/scale_set.h"

#include "app/gui_base/text.h"
#include "comms/model_table.h"
#include "comms/settings.h"
#include "dialogs/dialog_units.h"

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

namespace {
constexpr const char* kKtM25Model = "KT m25";
constexpr const char* kKtM25EthernetPort = "11001";
constexpr int kMaxIntervalChars = 4;
} // namespace

void SetModelCode(const std::string& modelName) {
    g_DefaultEthernetPort = modelName == kKtM25Model ? kKtM25EthernetPort : "";
}

CScaleSet::CScaleSet(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Scale Setting") {
    SetClientSize(DialogSize(this, 229, 172));
    auto at = [this](int x, int y) { return DialogPoint(this, x, y); };
    auto size = [this](int w, int h) { return DialogSize(this, w, h); };
    auto width = [this](int w) { return DialogWidth(this, w); };

    new wxStaticText(this, wxID_ANY, "Scale Type:", at(22, 20));
    m_scaleTypeList = new wxComboBox(this, IDC_SCALE_TYPE, "", at(69, 18), width(131));
    new wxStaticBox(this, IDC_RUN_MODE_GROUP, "Run Mode", at(31, 43), size(168, 88));
    m_stream =
        new wxRadioButton(this, IDC_STREAM_MODE, "&Stream Mode", at(57, 59), wxDefaultSize, wxRB_GROUP);
    m_manual = new wxRadioButton(this, IDC_MANUAL_MODE, "&Manual Mode", at(57, 77), wxDefaultSize);
    m_command = new wxRadioButton(this, IDC_COMMAND_MODE, "&Command Mode", at(57, 94), wxDefaultSize);
    new wxStaticText(this, wxID_ANY, "Command Interval", at(66, 108));
    m_intervalEdit = new wxTextCtrl(this, IDC_COMMAND_INTERVAL, "", at(129, 107), size(20, 12), 0,
                                    wxTextValidator(wxFILTER_DIGITS));
    m_intervalEdit->SetMaxLength(kMaxIntervalChars);
    new wxStaticText(this, wxID_ANY, "minutes", at(154, 108));
    auto* ok = new wxButton(this, wxID_OK, "OK", at(57, 143), size(45, 14));
    ok->SetDefault();
    new wxButton(this, wxID_CANCEL, "Cancel", at(125, 143), size(43, 14));
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);

    Bind(wxEVT_INIT_DIALOG, &CScaleSet::OnInitDialog, this);
    Bind(wxEVT_COMBOBOX, &CScaleSet::OnSelchangeScaleType, this, IDC_SCALE_TYPE);
    Bind(wxEVT_RADIOBUTTON, &CScaleSet::OnStreamOrManual, this, IDC_STREAM_MODE);
    Bind(wxEVT_RADIOBUTTON, &CScaleSet::OnStreamOrManual, this, IDC_MANUAL_MODE);
    Bind(wxEVT_RADIOBUTTON, &CScaleSet::OnCommandMode, this, IDC_COMMAND_MODE);
    Bind(wxEVT_BUTTON, &CScaleSet::OnOK, this, wxID_OK);
}

bool CScaleSet::TransferDataToWindow() {
    m_intervalEdit->ChangeValue(FromBytes(m_commandInterval));
    return true;
}

bool CScaleSet::TransferDataFromWindow() {
    m_commandInterval = ToBytes(m_intervalEdit->GetValue()).substr(0, kMaxIntervalChars);
    return true;
}

void CScaleSet::CheckRunMode(const std::string& mode) {
    m_stream->SetValue(mode == "Stream");
    m_manual->SetValue(mode == "Manual");
    m_command->SetValue(mode == "Command");
}

void CScaleSet::OnInitDialog(wxInitDialogEvent&) {
    m_commandInterval = g_CommandInterval;
    CheckRunMode(g_RunMode == "Stream" || g_RunMode == "Manual" ? g_RunMode : "Command");

    ModelRow row{};
    std::string name = g_ModelName;
    LookupModel(&row, &name);
    m_scaleTypeList->Clear();
    for (const ModelRow& model : g_ModelTable)
        if (model.name[0] != '\0')
            m_scaleTypeList->Append(model.name);
    g_ModelName = row.name;
    m_scaleTypeList->SetValue(FromBytes(g_ModelName));
    // The run mode the model offers is stored at once; workers read it, so it changes only when
    // it must, once they have ended.
    const std::string mode = ApplyModeSupport(row.command, row.manual, row.stream);
    if (mode != g_RunMode) {
        if (m_stopScales)
            m_stopScales();
        g_RunMode = mode;
    }
    TransferDataToWindow();
}

std::string CScaleSet::ApplyModeSupport(unsigned char command, unsigned char manual, unsigned char stream) {
    m_command->Enable(command != 0);
    m_manual->Enable(manual != 0);
    m_stream->Enable(stream != 0);

    std::string mode = m_stream->GetValue() ? "Stream" : m_manual->GetValue() ? "Manual" : "Command";
    if (!command && mode == "Command")
        mode = manual ? "Manual" : "Stream";
    if (!manual && mode == "Manual")
        mode = command ? "Command" : "Stream";
    if (!stream && mode == "Stream")
        mode = command ? "Command" : "Manual";
    CheckRunMode(mode);
    m_intervalEdit->Enable(mode == "Command");
    return mode;
}

void CScaleSet::OnSelchangeScaleType(wxCommandEvent&) {
    TransferDataFromWindow();
    const int selection = m_scaleTypeList->GetSelection();
    if (selection == wxNOT_FOUND)
        return;
    m_scaleType = ToBytes(m_scaleTypeList->GetString(selection));
    ModelRow row{};
    std::string name = m_scaleType;
    LookupModel(&row, &name);
    ApplyModeSupport(row.command, row.manual, row.stream);
    Refresh();
}

void CScaleSet::OnStreamOrManual(wxCommandEvent&) {
    m_intervalEdit->Disable();
    Refresh();
}

void CScaleSet::OnCommandMode(wxCommandEvent&) {
    m_intervalEdit->Enable();
    Refresh();
}

void CScaleSet::OnOK(wxCommandEvent&) {
    TransferDataFromWindow();
    if (m_stopScales)
        m_stopScales();
    if (!m_scaleType.empty())
        g_ModelName = m_scaleType;
    if (m_command->GetValue())
        g_RunMode = "Command";
    else if (m_manual->GetValue())
        g_RunMode = "Manual";
    else if (m_stream->GetValue())
        g_RunMode = "Stream";
    g_CommandInterval = m_commandInterval;
    SetModelCode(g_ModelName);
    CloseDialog(this, wxID_OK);
}
