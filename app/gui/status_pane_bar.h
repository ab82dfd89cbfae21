// The main window's status bar: the message pane first, then panes as wide as their texts. The
// widths are worked out again whenever a text or the bar's width changes (see StatusPaneWidths).
#pragma once

#include <wx/statusbr.h>

class StatusPaneBar : public wxStatusBar {
public:
    StatusPaneBar(wxWindow* parent, int panes);

    // Sets the text of a pane after the message pane and sizes it to the text.
    void SetPaneText(int pane, const wxString& text);
    // The width a pane needs to show `text` whole.
    int NeededWidth(const wxString& text) const;

protected:
    void DoUpdateStatusText(int pane) override;

private:
    void FitPanes();
};
