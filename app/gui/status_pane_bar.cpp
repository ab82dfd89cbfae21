#include "app/gui/status_pane_bar.h"

#include "app/core/status_panes.h"

#include <algorithm>
#include <wx/control.h>
#include <wx/dcclient.h>
#include <wx/textwrapper.h>

namespace {
// The bar draws each text this far inside its pane's borders, on both sides.
constexpr int kTextMargin = 3;
// A pane cut to fit the bar keeps room for at least this.
const wxString kShortestPaneText = wxString::FromUTF8("\xE2\x80\xA6"); // an ellipsis
// A message is shown on at most this many lines above the panes, the last one cut if need be.
constexpr std::size_t kMostMessageLines = 3;

class LineCollector : public wxTextWrapper {
public:
    std::vector<wxString> lines;

protected:
    void OnOutputLine(const wxString& line) override { lines.push_back(line); }
};
} // namespace

StatusPaneBar::StatusPaneBar(wxWindow* parent, int panes)
    : wxStatusBar(parent, wxID_ANY), m_hasGrip(HasFlag(wxSTB_SIZEGRIP)) {
    SetFieldsCount(panes);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        FitPanes();
        event.Skip();
    });
    FitPanes();
}

int StatusPaneBar::NeededWidth(const wxString& text) const {
    if (text.empty())
        return 0;
    return GetTextExtent(text).x + 2 * (GetBorderX() + kTextMargin);
}

int StatusPaneBar::LineHeight() const {
    return 11 * GetCharHeight() / 10; // what the toolkit's bar gives one line
}

void StatusPaneBar::SetPaneText(int pane, const wxString& text) {
    if (pane <= 0 || pane >= GetFieldsCount() || GetStatusText(pane) == text)
        return;
    SetStatusText(text, pane);
}

void StatusPaneBar::DoUpdateStatusText(int pane) {
    FitPanes();
    if (m_lines > 1)
        Refresh(); // the message's lines cross the other panes
    wxStatusBar::DoUpdateStatusText(pane);
}

void StatusPaneBar::DrawField(wxDC& dc, int pane, int textHeight) {
    if (m_lines == 1 || pane != 0) {
        wxStatusBar::DrawField(dc, pane, textHeight);
        return;
    }
    // The message's lines across the bar, above the panes.
    const int line = LineHeight();
    int y = GetBorderY() + (line - textHeight) / 2;
    for (const wxString& text : m_messageLines) {
        dc.DrawText(text, GetBorderX() + kTextMargin, y);
        y += line;
    }
}

void StatusPaneBar::DrawFieldText(wxDC& dc, const wxRect& rect, int pane, int textHeight) {
    // The panes' texts on the bottom line.
    const int line = LineHeight();
    wxStatusBar::DrawFieldText(
        dc, m_lines == 1 ? rect : wxRect(rect.x, rect.GetBottom() + 1 - line, rect.width, line), pane,
        textHeight);
}

void StatusPaneBar::FitPanes() {
    const int count = GetFieldsCount();
    if (count == 0)
        return;
    const int barWidth = GetClientSize().x;
    const wxString& message = GetStatusText(0);
    const auto layOut = [&] {
        // The size grip takes its room from the panes' width, and the last pane draws its text clear
        // of it as well.
        const int grip = ShowsSizeGrip() ? GetSizeGripRect().width : 0;
        std::vector<StatusPaneSpan> spans;
        for (int pane = 1; pane < count; ++pane) {
            const int beside = pane == count - 1 ? grip : 0;
            const int natural = NeededWidth(GetStatusText(pane));
            spans.push_back(
                {natural ? natural + beside : 0, std::min(natural, NeededWidth(kShortestPaneText)) + beside});
        }
        return LayOutStatusPanes(barWidth - grip, NeededWidth(message), spans);
    };

    // The bar grows for a long message and keeps that height while its width stays, so that the
    // window does not jump as menu prompts come and go; a resized bar fits anew. A bar taller than
    // a line leaves resizing the window to the window's frame: its size grip would be as tall.
    if (barWidth != m_linesWidth) {
        m_linesWidth = barWidth;
        m_lines = 1;
    }
    const auto showGrip = [this](bool show) {
        const long style = GetWindowStyleFlag();
        SetWindowStyleFlag(show && m_hasGrip ? style | wxSTB_SIZEGRIP : style & ~wxSTB_SIZEGRIP);
    };
    showGrip(m_lines == 1);
    StatusPaneLayout layout = layOut();
    m_messageLines.clear();
    if ((layout.messageAbove || m_lines > 1) && !message.empty()) {
        const int room = barWidth - 2 * (GetBorderX() + kTextMargin);
        LineCollector wrapped;
        wrapped.Wrap(this, message, room);
        if (wrapped.lines.size() > kMostMessageLines) {
            wxString rest;
            for (std::size_t i = kMostMessageLines - 1; i < wrapped.lines.size(); ++i)
                rest += (rest.empty() ? "" : " ") + wrapped.lines[i];
            wrapped.lines.resize(kMostMessageLines - 1);
            wrapped.lines.push_back(rest);
        }
        for (const wxString& line : wrapped.lines)
            m_messageLines.push_back(wxControl::Ellipsize(line, wxClientDC(this), wxELLIPSIZE_END, room));
        if (m_lines == 1) {
            showGrip(false);
            layout = layOut();
        }
        m_lines = std::max(m_lines, 1 + static_cast<int>(m_messageLines.size()));
    }

    std::vector<int> widths{-1};
    widths.insert(widths.end(), layout.widths.begin(), layout.widths.end());
    bool changed = false;
    for (int pane = 0; pane < count; ++pane)
        if (GetStatusWidth(pane) != widths[pane]) {
            SetStatusWidths(count, widths.data());
            changed = true;
            break;
        }
    const int height = m_lines * LineHeight() + 2 * GetBorderY();
    if (GetSize().y != height) {
        SetSize(wxDefaultCoord, wxDefaultCoord, wxDefaultCoord, height, wxSIZE_USE_EXISTING);
        changed = true;
    }
    if (changed)
        Refresh();
}
