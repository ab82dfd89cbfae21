#include "dialogs/excel_dlg.h"

#include "app/gui_base/message_box.h"
#include "app/gui_base/text.h"
#include "comms/settings.h"
#include "dialogs/dialog_units.h"
#include "dialogs/typed_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {

// At most this many fields stand before the end mark.
constexpr int kMaxListedFields = kOutputFieldCount - 1;

std::string ChooseWorkbook(wxWindow* parent) {
    wxFileDialog dialog(parent, wxFileSelectorPromptStr, "", "",
                        "Microsoft Excel Files (*.xlsx)|*.xlsx;*.XLSX|All files (*.*)|*",
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return "";
    return PathToBytes(dialog.GetPath());
}

CExcelDlg::FileChooser& Chooser() {
    static CExcelDlg::FileChooser chooser = ChooseWorkbook;
    return chooser;
}

// The whole text as a decimal int, as a dialog's integer field takes it.
bool ParseInteger(const std::string& text, int* value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    while (*end == ' ' || *end == '\t')
        ++end;
    if (end == begin || *end != '\0' || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

void ToUpperAscii(std::string* text) {
    for (char& c : *text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
}

// A start cell names a column letter first and a row digit last; what lies between is left to
// the spreadsheet output.
bool IsCellStart(const std::string& cell) {
    return !cell.empty() && cell.front() >= 'A' && cell.front() <= 'Z' && cell.back() >= '0' &&
           cell.back() <= '9';
}

} // namespace

void CExcelDlg::SetFileChooser(FileChooser chooser) {
    Chooser() = chooser ? std::move(chooser) : ChooseWorkbook;
}

CExcelDlg::CExcelDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Excel Format Setting") {
    // Created in tab order.
    auto* ok = new wxButton(this, wxID_OK, "OK");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    auto* fileLabel = new wxStaticText(this, wxID_ANY, "Excel output file:");
    // No length limit here: a longer path would be cut without a word; OK says what Pondra.ini keeps.
    m_file = new wxTextCtrl(this, kIdFile, "", wxDefaultPosition, wxDLG_UNIT(this, wxSize(150, 12)));
    auto* browse = new wxButton(this, kIdBrowse, "Browse...");
    auto* directionLabel = new wxStaticText(this, wxID_ANY, "Display Field(s):");
    m_byColumn =
        new wxRadioButton(this, kIdByColumn, "By &Column", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    m_byRows = new wxRadioButton(this, kIdByRows, "by &Rows");
    auto* cellLabel = new wxStaticText(this, wxID_ANY, "Cell Start:");
    m_cell = new wxTextCtrl(this, kIdCell, "", wxDefaultPosition, wxDLG_UNIT(this, wxSize(40, 12)));
    auto* sheetLabel = new wxStaticText(this, wxID_ANY, "Sheet Number:");
    m_sheet = new wxTextCtrl(this, kIdSheet, "", wxDefaultPosition, wxDLG_UNIT(this, wxSize(40, 12)));
    m_visibility = new wxCheckBox(this, kIdVisibility, "Startup &Visibility", wxDefaultPosition,
                                  wxDefaultSize, wxALIGN_RIGHT);
    auto* orderLabel = new wxStaticText(this, wxID_ANY, "Display Order:");
    m_order = new wxListBox(this, kIdOrder, wxDefaultPosition, wxDLG_UNIT(this, wxSize(90, 110)), 0, nullptr,
                            wxLB_SINGLE | wxLB_ALWAYS_SB);
    m_up = new wxButton(this, kIdUp, "&Up");
    m_down = new wxButton(this, kIdDown, "&Down");
    auto* blank = new wxButton(this, kIdBlank, "&Blank");
    auto* remove = new wxButton(this, kIdDelete, "&Delete");
    auto* reset = new wxButton(this, kIdReset, "&Reset");
    ok->SetDefault();

    auto* settings = new wxFlexGridSizer(2, 5, 8);
    settings->Add(fileLabel, 0, wxALIGN_CENTER_VERTICAL);
    auto* fileRow = new wxBoxSizer(wxHORIZONTAL);
    fileRow->Add(m_file, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 5);
    fileRow->Add(browse, 0, wxALIGN_CENTER_VERTICAL);
    settings->Add(fileRow, 1, wxEXPAND);
    settings->Add(directionLabel, 0, wxALIGN_CENTER_VERTICAL);
    auto* directionRow = new wxBoxSizer(wxHORIZONTAL);
    directionRow->Add(m_byColumn, 0, wxRIGHT, 10);
    directionRow->Add(m_byRows);
    settings->Add(directionRow);
    settings->Add(cellLabel, 0, wxALIGN_CENTER_VERTICAL);
    settings->Add(m_cell);
    settings->Add(sheetLabel, 0, wxALIGN_CENTER_VERTICAL);
    settings->Add(m_sheet);
    settings->AddSpacer(0);
    settings->Add(m_visibility);

    auto* listButtons = new wxBoxSizer(wxVERTICAL);
    for (wxButton* button : {m_up, m_down, blank, remove, reset})
        listButtons->Add(button, 0, wxBOTTOM | wxEXPAND, 4);
    auto* listRow = new wxBoxSizer(wxHORIZONTAL);
    listRow->Add(m_order, 1, wxEXPAND | wxRIGHT, 5);
    listRow->Add(listButtons);
    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(settings, 0, wxEXPAND | wxBOTTOM, 8);
    left->Add(orderLabel, 0, wxBOTTOM, 3);
    left->Add(listRow, 1, wxEXPAND);
    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(ok, 0, wxBOTTOM, 5);
    buttons->Add(cancel);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(left, 1, wxALL | wxEXPAND, 8);
    top->Add(buttons, 0, wxALL, 8);
    SetSizerAndFit(top);
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);

    Bind(wxEVT_INIT_DIALOG, &CExcelDlg::OnInitDialog, this);
    Bind(wxEVT_BUTTON, &CExcelDlg::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CExcelDlg::OnBrowse, this, kIdBrowse);
    Bind(wxEVT_BUTTON, &CExcelDlg::OnDown, this, kIdDown);
    Bind(wxEVT_BUTTON, &CExcelDlg::OnUp, this, kIdUp);
    Bind(wxEVT_LISTBOX, &CExcelDlg::OnSelchangeOrder, this, kIdOrder);
    Bind(wxEVT_BUTTON, &CExcelDlg::OnBlank, this, kIdBlank);
    Bind(wxEVT_BUTTON, &CExcelDlg::OnDelete, this, kIdDelete);
    Bind(wxEVT_BUTTON, &CExcelDlg::OnReset, this, kIdReset);
}

void CExcelDlg::AddDefaultOrder() {
    // The enabled fields in their fixed order; field 0 has no name and is never listed.
    int added = 0;
    for (int n = 0; n < kFieldCount && added < kMaxListedFields; ++n) {
        if (g_FieldEnabled[n] != 0 && *g_FieldDisplayNames[n] != '\0') {
            m_order->Append(g_FieldDisplayNames[n]);
            ++added;
        }
    }
}

void CExcelDlg::OnInitDialog(wxInitDialogEvent&) {
    m_order->Clear();
    if (g_ExcelFile != "0") {
        m_file->ChangeValue(PathFromBytes(g_ExcelFile));
        for (int k = 0; k < kMaxListedFields; ++k) {
            const std::string& name = g_OutputFields[k];
            if (name.empty() || name == kEndMark)
                break;
            m_order->Append(FromBytes(name));
        }
    } else {
        AddDefaultOrder();
    }
    m_order->Append(kEndMark);
    m_sheet->ChangeValue(wxString::Format("%d", g_ExcelSheet));
    m_cell->ChangeValue(FromBytes(g_ExcelCell));
    (wxString(FromBytes(g_ExcelDisplay)).IsSameAs("Row", false) ? m_byRows : m_byColumn)->SetValue(true);
    m_visibility->SetValue(g_ExcelVisibility != 0);
    FocusFirstControl(this);
}

void CExcelDlg::UpdateMoveButtons() {
    const int selected = m_order->GetSelection();
    if (selected == wxNOT_FOUND) {
        m_up->Disable();
        m_down->Disable();
        return;
    }
    m_up->Enable(selected != 0);
    m_down->Enable(selected != static_cast<int>(m_order->GetCount()) - 1);
}

void CExcelDlg::OnSelchangeOrder(wxCommandEvent&) {
    UpdateMoveButtons();
}

void CExcelDlg::MoveItem(int from, int to) {
    const wxString text = m_order->GetString(from);
    m_order->Freeze();
    m_order->Delete(from);
    m_order->Insert(text, to);
    m_order->SetSelection(to);
    m_order->Thaw();
    UpdateMoveButtons();
}

void CExcelDlg::OnUp(wxCommandEvent&) {
    // The buttons can be stale after the selection was set by the dialog itself; a move past either
    // end would drop the item, so it is refused here as well.
    const int selected = m_order->GetSelection();
    if (selected != wxNOT_FOUND && selected > 0)
        MoveItem(selected, selected - 1);
}

void CExcelDlg::OnDown(wxCommandEvent&) {
    const int selected = m_order->GetSelection();
    if (selected != wxNOT_FOUND && selected + 1 < static_cast<int>(m_order->GetCount()))
        MoveItem(selected, selected + 1);
}

void CExcelDlg::OnDelete(wxCommandEvent&) {
    const int selected = m_order->GetSelection();
    const std::string text = selected == wxNOT_FOUND ? "" : ToBytes(m_order->GetString(selected));
    if (text == kEndMark) {
        PondraMessageBox("Cannot delete end of field marking!", wxOK | wxICON_EXCLAMATION, this);
    } else if (!text.empty()) {
        m_order->Delete(selected);
        UpdateMoveButtons();
    } else {
        PondraMessageBox("Please select a delete field!", wxOK | wxICON_EXCLAMATION, this);
    }
}

void CExcelDlg::OnBlank(wxCommandEvent&) {
    // The filler goes after the end mark; it counts only once it is moved up above it.
    m_order->SetSelection(m_order->Append(kBlank));
    UpdateMoveButtons();
}

void CExcelDlg::OnReset(wxCommandEvent&) {
    m_order->Clear();
    AddDefaultOrder();
    m_order->Append(kEndMark);
    UpdateMoveButtons();
}

void CExcelDlg::OnBrowse(wxCommandEvent&) {
    // Cancelling the file chooser keeps the name that was there, and so does a path that cannot
    // be stored (the message says why).
    const std::string chosen = Chooser()(this);
    std::string path;
    if (!chosen.empty() && TakeTypedPath(PathFromBytes(chosen), "file name", "Excel", this, &path))
        m_file->ChangeValue(PathFromBytes(path));
}

void CExcelDlg::OnOK(wxCommandEvent&) {
    // The next reading starts again at the start cell, whatever becomes of this press.
    g_ExcelNextCell.clear();
    bool failed = false;

    int sheet = g_ExcelSheet;
    if (!ParseInteger(ToBytes(m_sheet->GetValue()), &sheet)) {
        PondraMessageBox("Please enter an integer.", wxOK | wxICON_EXCLAMATION, this);
        m_sheet->SetFocus();
        failed = true;
    }

    std::string file;
    if (!TakeTypedPath(m_file->GetValue(), "file name", "Excel", this, &file)) {
        failed = true;
    } else if (file.empty()) {
        PondraMessageBox("File Name is empty!", wxOK | wxICON_EXCLAMATION, this);
        failed = true;
    } else {
        g_ExcelFile = file;
    }

    std::string cell;
    const bool cellTaken = TakeTypedText(m_cell->GetValue(), "start cell", "Cell", this, &cell);
    if (cellTaken) {
        ToUpperAscii(&cell);
        m_cell->ChangeValue(FromBytes(cell));
    }
    if (!cellTaken) {
        failed = true;
    } else if (!IsCellStart(cell)) {
        PondraMessageBox("Invalid coordinate at Cell Start!", wxOK | wxICON_EXCLAMATION, this);
        failed = true;
    } else {
        g_ExcelCell = cell;
    }

    if (sheet < 1) {
        PondraMessageBox("Excel sheet number only allows positive number!", wxOK | wxICON_EXCLAMATION, this);
        failed = true;
    } else {
        g_ExcelSheet = sheet;
    }

    const int byRows = m_byRows->GetValue() ? 1 : 0;
    g_ExcelVisibility = m_visibility->GetValue() ? 1 : 0;
    g_ExcelByRows = byRows;
    g_ExcelDisplay = byRows ? "Row" : "Col";

    // The list up to and with its end mark; entries after the copied mark keep their contents,
    // as the output reads no further than the mark.
    bool markCopied = false;
    const int count = static_cast<int>(m_order->GetCount());
    for (int k = 0; k < count && k < kOutputFieldCount; ++k) {
        g_OutputFields[k] = ToBytes(m_order->GetString(k));
        if (g_OutputFields[k] == kEndMark) {
            markCopied = true;
            break;
        }
    }
    if (!markCopied) {
        PondraMessageBox(
            "Only allow less than 32 lines.\nMake sure there is no blank line after end of field "
            "marking.",
            wxOK | wxICON_EXCLAMATION, this);
        return;
    }
    if (!failed)
        EndDialog(wxID_OK);
}
