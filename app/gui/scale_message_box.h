// The box that reports scale failures. While it is open, later failures are added to it line by line
// (see GrowScaleErrorText), so the user sees one box however many scales fail.
#pragma once

#include <string>
#include <wx/dialog.h>

class wxStaticText;

class CScaleMessageBox : public wxDialog {
public:
    CScaleMessageBox(wxWindow* parent, const std::string& text);
    const std::string& GetText() const { return m_text; }
    void SetText(const std::string& text);

private:
    std::string m_text;
    wxStaticText* m_label = nullptr;
};
