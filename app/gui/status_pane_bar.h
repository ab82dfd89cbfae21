// The main window's status bar: the message pane first, then panes as wide as their texts. The
// widths are worked out again whenever a text or the bar's width changes (see LayOutStatusPanes); a
// message too wide for the room the panes leave is shown on lines of its own above them.
#pragma once

#include <vector>
#include <wx/statusbr.h>

class StatusPaneBar : public wxStatusBar {
public:
    StatusPaneBar(wxWindow* parent, int panes);

    // Sets the text of a pane after the message pane and sizes it to the text.
    void SetPaneText(int pane, const wxString& text);
    // The width a pane needs to show `text` whole.
    int NeededWidth(const wxString& text) const;
    // The lines that show the message above the panes; none while it shares their line.
    const std::vector<wxString>& MessageLines() const { return m_messageLines; }

protected:
    void DoUpdateStatusText(int pane) override;
    void DrawField(wxDC& dc, int pane, int textHeight) override;
    void DrawFieldText(wxDC& dc, const wxRect& rect, int pane, int textHeight) override;

private:
    void FitPanes();
    int LineHeight() const;

    std::vector<wxString> m_messageLines;
    int m_lines = 1;      // lines of text the bar is high
    int m_linesWidth = 0; // the bar's width when it took that height
    bool m_hasGrip;       // a size grip while the bar is a line high
};
