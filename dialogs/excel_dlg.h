// "Excel Format Setting": the workbook, the direction and start of the output, the sheet, the
// visibility of the spreadsheet window and the ordered list of fields written for each reading.
#pragma once

#include <functional>
#include <string>
#include <wx/dialog.h>

class wxButton;
class wxCheckBox;
class wxListBox;
class wxRadioButton;
class wxTextCtrl;

class CExcelDlg : public wxDialog {
public:
    enum ControlId {
        kIdVisibility = 994,
        kIdByColumn = 1012,
        kIdByRows = 1013,
        kIdFile = 1014,
        kIdBrowse = 1015,
        kIdCell = 1016,
        kIdUp = 1018,
        kIdDown = 1019,
        kIdDelete = 1020,
        kIdOrder = 1021,
        kIdSheet = 1022,
        kIdBlank = 1025,
        kIdReset = 1028,
    };

    static constexpr const char* kEndMark = "-----";
    static constexpr const char* kBlank = " <Blank>";

    explicit CExcelDlg(wxWindow* parent = nullptr);

    // Picks the workbook for "Browse...": returns the chosen path, or "" when the user cancels.
    // Replaceable so that tests need no file chooser on the screen.
    using FileChooser = std::function<std::string(wxWindow* parent)>;
    static void SetFileChooser(FileChooser chooser);

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnBrowse(wxCommandEvent& event);
    void OnUp(wxCommandEvent& event);
    void OnDown(wxCommandEvent& event);
    void OnSelchangeOrder(wxCommandEvent& event);
    void OnBlank(wxCommandEvent& event);
    void OnDelete(wxCommandEvent& event);
    void OnReset(wxCommandEvent& event);

    void AddDefaultOrder();
    void MoveItem(int from, int to);
    void UpdateMoveButtons();

    wxTextCtrl* m_file;
    wxRadioButton* m_byColumn;
    wxRadioButton* m_byRows;
    wxTextCtrl* m_cell;
    wxTextCtrl* m_sheet;
    wxCheckBox* m_visibility;
    wxListBox* m_order;
    wxButton* m_up;
    wxButton* m_down;
};
