#include "dialogs/ping_dlg.h"

#include "app/gui_base/text.h"
#include "dialogs/dialog_units.h"

#include <wx/button.h>
#include <wx/settings.h>
#include <wx/textctrl.h>

namespace {
constexpr int kEchoesPerRun = 4;
}

void CPingDlg::WorkerMessages::PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    auto* event = new wxThreadEvent(wxEVT_THREAD, static_cast<int>(message));
    if (message == WM_PING_LINE) {
        event->SetInt(static_cast<int>(wParam));
        event->SetString(FromBytes(TakePostedText(lParam)));
    }
    wxQueueEvent(m_dialog, event);
}

CPingDlg::CPingDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Ping Test") {
    SetClientSize(DialogSize(this, 246, 185));
    m_output = new wxTextCtrl(this, IDC_PING_OUTPUT, "", DialogPoint(this, 10, 10),
                              DialogSize(this, 224, 140), wxTE_MULTILINE | wxTE_READONLY);
    // The output is read-only but should look like a normal edit.
    m_output->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    m_retry = new wxButton(this, IDC_RETRY, "Retry", DialogPoint(this, 52, 160), DialogSize(this, 50, 14));
    m_retry->SetDefault();
    new wxButton(this, IDC_CLOSE, "Close", DialogPoint(this, 142, 160), DialogSize(this, 50, 14));
    SetEscapeId(IDC_CLOSE);
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);

    Bind(wxEVT_INIT_DIALOG, &CPingDlg::OnInitDialog, this);
    Bind(wxEVT_THREAD, &CPingDlg::OnPingText, this, WM_PING_LINE);
    Bind(wxEVT_THREAD, &CPingDlg::OnPingDone, this, WM_PING_DONE);
    Bind(wxEVT_BUTTON, &CPingDlg::OnRetry, this, IDC_RETRY);
    Bind(wxEVT_BUTTON, &CPingDlg::OnCloseButton, this, IDC_CLOSE);
}

void CPingDlg::OnInitDialog(wxInitDialogEvent&) {
    SetTitle("Ping " + FromBytes(m_address));
    StartPing();
}

void CPingDlg::StartPing() {
    if (!m_retry->IsEnabled())
        return;
    m_retry->Disable();
    m_worker.Start(kEchoesPerRun, m_address, &m_messages);
}

void CPingDlg::OnPingText(wxThreadEvent& event) {
    m_output->SetInsertionPointEnd();
    m_output->ShowPosition(m_output->GetLastPosition());
    // The lines end in CR LF; the edit here breaks lines at LF alone.
    wxString text = event.GetString();
    text.Replace("\r\n", "\n");
    m_output->AppendText(text);
}

void CPingDlg::OnPingDone(wxThreadEvent&) {
    m_retry->Enable();
}

void CPingDlg::OnRetry(wxCommandEvent&) {
    StartPing();
}

void CPingDlg::OnCloseButton(wxCommandEvent&) {
    CloseDialog(this, wxID_CANCEL);
}
