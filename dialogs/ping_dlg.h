// "Ping Test": four ICMP echoes to an Ethernet scale's address, run by the ping worker, whose
// output lines the dialog appends as they arrive. "Retry" runs the echoes again.
#pragma once

#include "comms/notify.h"
#include "comms/ping.h"

#include <string>
#include <wx/dialog.h>

class wxButton;
class wxTextCtrl;
class wxThreadEvent;

class CPingDlg : public wxDialog {
public:
    enum { IDC_PING_OUTPUT = 1232, IDC_RETRY = 1233, IDC_CLOSE = 1234 };

    explicit CPingDlg(wxWindow* parent = nullptr);

    // Starts a run of four echoes unless one is going on (Retry is disabled until it ends).
    void StartPing();

    wxTextCtrl* Output() const { return m_output; }
    wxButton* RetryButton() const { return m_retry; }

    std::string m_address; // dotted IPv4 address of the target; set before ShowModal

private:
    // Hands the worker's messages to the GUI thread as queued events; the worker never touches a
    // window. Each line is copied into its event, so lines still queued when the dialog goes away
    // are freed with it.
    class WorkerMessages : public NotifyWindow {
    public:
        explicit WorkerMessages(CPingDlg* dialog) : m_dialog(dialog) {}
        void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
        // The ping worker shows no message boxes.
        void ShowMessageBoxAndWait(const std::string&) override {}

    private:
        CPingDlg* m_dialog;
    };

    void OnInitDialog(wxInitDialogEvent& event);
    void OnPingText(wxThreadEvent& event);
    void OnPingDone(wxThreadEvent& event);
    void OnRetry(wxCommandEvent& event);
    void OnCloseButton(wxCommandEvent& event);

    wxTextCtrl* m_output = nullptr;
    wxButton* m_retry = nullptr;
    // Declared in this order so that the worker, which posts through m_messages, is stopped and
    // joined first when the dialog is destroyed.
    WorkerMessages m_messages{this};
    CPingThread m_worker;
};
