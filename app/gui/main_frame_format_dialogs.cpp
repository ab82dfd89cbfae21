// The main frame's commands that open the data-format, output-mode and start-up and hot-key
// dialogs, and what the frame does around them. The dialogs write the settings themselves.
#include "app/gui/main_frame.h"

#include "app/gui_base/message_box.h"
#include "comms/settings.h"
#include "dialogs/data_dlg.h"
#include "dialogs/hkey_dlg.h"
#include "dialogs/output_mode.h"

void CMainFrame::OnFieldSelect(wxCommandEvent&) {
    // The workers read the field formats while they run, so none runs while they change.
    StopForSettingChange();
    Refresh();
    CDataDlg dialog;
    dialog.ShowModal();
}

void CMainFrame::OnOutputMode(wxCommandEvent&) {
    Refresh();
    COutputMode dialog;
    dialog.SetStopScales([this] { StopForSettingChange(); });
    if (dialog.ShowModal() != wxID_CANCEL) {
        StopAll();
    } else if (g_OutMode == "Excel" && g_ExcelFile == "0") {
        PondraMessageBox("Output ExcelFile is not specified, Output set to Test mode.",
                         wxOK | wxICON_EXCLAMATION, this);
        StopForSettingChange();
        g_OutMode = "Test";
    }
}

void CMainFrame::OnHotkeySetting(wxCommandEvent&) {
    Refresh();
    CHKeyDlg dialog;
    if (dialog.ShowModal() != wxID_CANCEL)
        StopAll();
}
