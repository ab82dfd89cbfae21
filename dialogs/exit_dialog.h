// The question asked before the program closes.
#pragma once

#include <wx/dialog.h>

class CExitDialog : public wxDialog {
public:
    // Ends with wxID_OK (exit) or wxID_CANCEL (stay), the close box included.
    explicit CExitDialog(wxWindow* parent = nullptr);
    ~CExitDialog() override;

    // A do-not-ask-again flag: no control sets it, so the question is always asked again.
    int m_dontAskAgain = 0;

private:
    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CExitDialog);
};
