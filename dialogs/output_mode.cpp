#include "dialogs/output_mode.h"

#include "app/gui_base/message_box.h"
#include "comms/settings.h"
#include "dialogs/dialog_units.h"
#include "dialogs/excel_dlg.h"

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>

COutputMode::COutputMode(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Computer Mode Setting") {
    // Created in tab order; the four radio buttons form one group.
    auto* ok = new wxButton(this, wxID_OK, "OK");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    m_link = new wxRadioButton(this, kIdLink, "L&ink Mode", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    m_log = new wxRadioButton(this, kIdLog, "L&og Mode");
    m_test = new wxRadioButton(this, kIdTest, "T&est Mode");
    auto* group = new wxStaticBox(this, wxID_ANY, "Computer Setting");
    m_format = new wxButton(this, kIdFormat, "Format...");
    m_excel = new wxRadioButton(this, kIdExcel, "Output data to &Excel");
    // A radio group always has one button on; this hidden member of the group stands for an output
    // mode that none of the four buttons names.
    m_none = new wxRadioButton(this, wxID_ANY, "");
    m_none->Hide();
    ok->SetDefault();

    auto* excelRow = new wxBoxSizer(wxHORIZONTAL);
    excelRow->Add(m_excel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 10);
    excelRow->Add(m_format, 0, wxALIGN_CENTER_VERTICAL);
    auto* groupSizer = new wxStaticBoxSizer(group, wxVERTICAL);
    for (wxRadioButton* radio : {m_link, m_log, m_test})
        groupSizer->Add(radio, 0, wxALL, 4);
    groupSizer->Add(excelRow, 0, wxALL, 4);
    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(ok, 0, wxBOTTOM, 5);
    buttons->Add(cancel);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(groupSizer, 1, wxALL, 8);
    top->Add(buttons, 0, wxALL, 8);
    SetSizerAndFit(top);
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);

    Bind(wxEVT_INIT_DIALOG, &COutputMode::OnInitDialog, this);
    Bind(wxEVT_BUTTON, &COutputMode::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &COutputMode::OnFormat, this, kIdFormat);
    for (int id : {kIdLink, kIdLog, kIdTest})
        Bind(wxEVT_RADIOBUTTON, &COutputMode::OnNonExcelMode, this, id);
    Bind(wxEVT_RADIOBUTTON, &COutputMode::OnExcelMode, this, kIdExcel);
}

void COutputMode::OnInitDialog(wxInitDialogEvent&) {
    m_format->Disable();
    m_none->SetValue(true);
    if (g_OutMode == "Link") {
        m_link->SetValue(true);
    } else if (g_OutMode == "Log") {
        m_log->SetValue(true);
    } else if (g_OutMode == "Test") {
        m_test->SetValue(true);
    } else if (g_OutMode == "Excel") {
        m_excel->SetValue(true);
        m_format->Enable();
    }
    // Keystrokes cannot follow a stream; these changes stand even if the dialog is cancelled.
    if (g_RunMode == "Stream") {
        m_link->Disable();
        if (g_OutMode == "Link") {
            m_test->SetValue(true);
            if (m_stopScales)
                m_stopScales();
            g_OutMode = "Test";
        }
    }
    // A workbook is kept only while the output goes to it.
    if (g_OutMode != "Excel")
        g_ExcelFile = "0";
}

void COutputMode::OnNonExcelMode(wxCommandEvent&) {
    m_format->Disable();
    Refresh();
}

void COutputMode::OnExcelMode(wxCommandEvent&) {
    m_format->Enable();
    Refresh();
}

void COutputMode::OnFormat(wxCommandEvent&) {
    CExcelDlg dialog(this);
    dialog.ShowModal();
}

void COutputMode::OnOK(wxCommandEvent&) {
    if (m_stopScales)
        m_stopScales();
    if (m_test->GetValue())
        g_OutMode = "Test";
    else if (m_log->GetValue())
        g_OutMode = "Log";
    else if (m_link->GetValue())
        g_OutMode = "Link";
    else if (m_excel->GetValue())
        g_OutMode = "Excel";

    if (g_OutMode == "Excel" && g_ExcelFile == "0") {
        PondraMessageBox("Please specify an Excel file.", wxOK | wxICON_EXCLAMATION, this);
        return;
    }
    if (g_OutMode != "Excel")
        g_ExcelFile = "0";
    EndDialog(wxID_OK);
}
