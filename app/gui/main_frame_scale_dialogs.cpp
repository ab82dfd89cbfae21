// The main frame's commands that open the scale setting, port setting, transfer select and
// communication status dialogs, and what the frame does around them.
#include "app/gui/main_frame.h"

#include "comms/device.h"
#include "comms/settings.h"
#include "dialogs/port_dlg.h"
#include "dialogs/scale_check_dlgs.h"
#include "dialogs/scale_set.h"

void CMainFrame::OnScaleSetting(wxCommandEvent&) {
    Refresh();
    CScaleSet dialog;
    dialog.SetStopScales([this] { StopForSettingChange(); });
    if (dialog.ShowModal() != wxID_CANCEL)
        StopAll();
    // The interval may have been written even by a cancelled dialog.
    RecomputeTimerInterval();
}

void CMainFrame::OnPortSetting(wxCommandEvent&) {
    Refresh();
    CPortDlg dialog;
    dialog.SetStopScale([this](Device* dev) { StopForSettingChange(dev); });
    const int result = dialog.ShowModal();
    // Only the scale shown last had its connection changed by OK; the others go on.
    const int index = dialog.GetCurrentIndex();
    if (result != wxID_CANCEL && index >= 0 && index < g_DeviceCount)
        StopScale(g_DeviceList[index].get());
}

void CMainFrame::OnTransferSelect(wxCommandEvent&) {
    Refresh();
    CTransferSelect dialog;
    if (dialog.ShowModal() != wxID_CANCEL)
        StopAll();
    RecomputeTimerInterval();
}

void CMainFrame::OnUpdateTransferSelect(wxUpdateUIEvent& event) {
    event.Enable(g_RunMode == "Command");
}

void CMainFrame::OnCommsStatus(wxCommandEvent&) {
    CScaleCommsStatus dialog;
    dialog.ShowModal();
}
