#include "app/gui/status_pane_bar.h"

#include "app/core/status_panes.h"

#include <vector>

namespace {
// The bar draws each text this far inside its pane's borders, on both sides.
constexpr int kTextMargin = 3;
// A pane cut for a long message keeps room for at least this.
const wxString kShortestPaneText = wxString::FromUTF8("\xE2\x80\xA6"); // an ellipsis
} // namespace

StatusPaneBar::StatusPaneBar(wxWindow* parent, int panes) : wxStatusBar(parent, wxID_ANY) {
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

void StatusPaneBar::SetPaneText(int pane, const wxString& text) {
    if (pane <= 0 || pane >= GetFieldsCount() || GetStatusText(pane) == text)
        return;
    SetStatusText(text, pane);
}

void StatusPaneBar::DoUpdateStatusText(int pane) {
    FitPanes();
    wxStatusBar::DoUpdateStatusText(pane);
}

void StatusPaneBar::FitPanes() {
    const int count = GetFieldsCount();
    if (count == 0)
        return;
    // The size grip takes its room from the panes' width, and the last pane draws its text clear of
    // it as well.
    const int grip = ShowsSizeGrip() ? GetSizeGripRect().width : 0;
    std::vector<StatusPaneSpan> spans;
    for (int pane = 1; pane < count; ++pane) {
        const int beside = pane == count - 1 ? grip : 0;
        const int natural = NeededWidth(GetStatusText(pane));
        spans.push_back(
            {natural ? natural + beside : 0, std::min(natural, NeededWidth(kShortestPaneText)) + beside});
    }
    const int width = GetClientSize().x - grip;
    const std::vector<int> fixed = StatusPaneWidths(width, NeededWidth(GetStatusText(0)), spans);
    std::vector<int> widths{-1};
    widths.insert(widths.end(), fixed.begin(), fixed.end());
    for (int pane = 0; pane < count; ++pane)
        if (GetStatusWidth(pane) != widths[pane]) {
            SetStatusWidths(count, widths.data());
            Refresh();
            break;
        }
}
