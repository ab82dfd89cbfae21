#include "app/core/status_panes.h"

#include <algorithm>

std::vector<int> StatusPaneWidths(int barWidth, int messageWidth, const std::vector<StatusPaneSpan>& panes) {
    std::vector<int> widths;
    int total = 0;
    int highest = 0;
    for (const StatusPaneSpan& pane : panes) {
        widths.push_back(pane.natural);
        total += pane.natural;
        highest = std::max(highest, pane.natural);
    }
    const int lacking = messageWidth - (barWidth - total);
    if (messageWidth <= 0 || lacking <= 0)
        return widths;
    // The highest cap that frees what the message lacks (or all there is to free): panes wider than
    // the cap are cut to it, never below their minimum.
    const auto freedBelow = [&](int cap) {
        int freed = 0;
        for (const StatusPaneSpan& pane : panes)
            freed += std::max(0, pane.natural - std::max(cap, pane.minimum));
        return freed;
    };
    int cap = highest;
    while (cap > 0 && freedBelow(cap) < lacking)
        --cap;
    for (std::size_t i = 0; i < panes.size(); ++i)
        widths[i] = std::min(panes[i].natural, std::max(cap, panes[i].minimum));
    return widths;
}
