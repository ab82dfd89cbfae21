#include "app/core/status_panes.h"

#include <algorithm>

StatusPaneLayout LayOutStatusPanes(int barWidth, int messageWidth, const std::vector<StatusPaneSpan>& panes) {
    StatusPaneLayout layout;
    int total = 0;
    int highest = 0;
    for (const StatusPaneSpan& pane : panes) {
        layout.widths.push_back(pane.natural);
        total += pane.natural;
        highest = std::max(highest, pane.natural);
    }
    layout.messageAbove = messageWidth > 0 && messageWidth > barWidth - total;
    const int lacking = total - barWidth;
    if (lacking <= 0)
        return layout;
    // The highest cap that frees what the panes lack (or all there is to free): panes wider than
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
        layout.widths[i] = std::min(panes[i].natural, std::max(cap, panes[i].minimum));
    return layout;
}
