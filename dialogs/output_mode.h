// "Computer Mode Setting": where readings go (keystrokes, log file, raw traffic or a workbook).
#pragma once

#include <functional>
#include <wx/dialog.h>

class wxButton;
class wxRadioButton;

class COutputMode : public wxDialog {
public:
    enum ControlId { kIdLink = 1000, kIdLog = 1001, kIdTest = 1002, kIdFormat = 1011, kIdExcel = 1027 };

    explicit COutputMode(wxWindow* parent = nullptr);

    // What the dialog calls before it writes a setting that running scale workers read (the output mode):
    // the caller stops the scales and lets their workers end first.
    void SetStopScales(std::function<void()> stop) { m_stopScales = std::move(stop); }

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnFormat(wxCommandEvent& event);
    void OnNonExcelMode(wxCommandEvent& event);
    void OnExcelMode(wxCommandEvent& event);

    wxRadioButton* m_link;
    wxRadioButton* m_log;
    wxRadioButton* m_test;
    wxRadioButton* m_excel;
    wxRadioButton* m_none;
    wxButton* m_format;
    std::function<void()> m_stopScales;
};
