// The box that reports scale failures. While it is open, later failures are added to it line by line
// (see GrowScaleErrorText), so the user sees one box however many scales fail.
#pragma once

#include "platform/message_text.h"

#include <string>
#include <wx/dialog.h>

class wxButton;
class wxStaticBitmap;
class wxStaticText;

// A start's report of the links that failed to open offers nothing to choose: OK and a warning. A
// failure of a running scale is an error box with OK and Cancel; a report that such a failure grows
// becomes one.
enum class ScaleBoxKind { kStartReport, kScaleError };

class CScaleMessageBox : public wxDialog {
public:
    CScaleMessageBox(wxWindow* parent, const platform::MessageText& text, ScaleBoxKind kind);
    const platform::MessageText& GetText() const { return m_text; }
    void SetText(const platform::MessageText& text, ScaleBoxKind kind);
    bool OffersCancel() const;

private:
    platform::MessageText m_text;
    wxStaticBitmap* m_icon = nullptr;
    wxStaticText* m_label = nullptr;
    wxButton* m_cancel = nullptr;
};
