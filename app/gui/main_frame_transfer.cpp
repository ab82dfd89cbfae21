// Transfer control of the main frame: Start, Stop and Get, the Get triggers, and what the frame does
// with a worker's messages. Transfers are not wired yet: the commands stay disabled, and stopping
// makes sure that no scale runs.
#include "app/gui/main_frame.h"

#include "comms/device.h"

void CMainFrame::StartTransfer() {}

void CMainFrame::StopScale(int index) {
    if (index < 0 || index >= static_cast<int>(g_DeviceList.size()))
        return;
    Device* dev = g_DeviceList[index].get();
    if (!dev->m_worker || !dev->m_worker->IsStarted() || dev->m_worker->HasEnded())
        return;
    dev->m_stopping = 1;
    dev->StopEvent.Set();
    dev->m_link.Close();
}

void CMainFrame::StopAll() {
    for (std::size_t i = 0; i < g_DeviceList.size(); ++i)
        StopScale(static_cast<int>(i));
}

void CMainFrame::CloseAllDevices() {
    for (const auto& dev : g_DeviceList)
        dev->m_link.Close();
}

void CMainFrame::CloseOutputsOnExit() {}

void CMainFrame::OnTransferStart(wxCommandEvent&) {
    StartTransfer();
}
void CMainFrame::OnTransferStop(wxCommandEvent&) {
    StopAll();
}
void CMainFrame::OnTransferGet(wxCommandEvent&) {
    OnTriggerMessage();
}
void CMainFrame::OnUpdateTransferStart(wxUpdateUIEvent& event) {
    event.Enable(false);
}
void CMainFrame::OnUpdateTransferStop(wxUpdateUIEvent& event) {
    event.Enable(false);
}
void CMainFrame::OnUpdateTransferGet(wxUpdateUIEvent& event) {
    event.Enable(false);
}
void CMainFrame::OnTriggerMessage() {}
void CMainFrame::OnScaleData(std::uintptr_t, std::intptr_t) {}
void CMainFrame::OnScaleError(std::uintptr_t, std::intptr_t) {}
