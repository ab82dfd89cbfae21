// The About box: the program's name and version.
#pragma once

#include <wx/dialog.h>

class CAboutDlg : public wxDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;
};
