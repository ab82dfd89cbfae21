// How the status bar shares its width: the message pane, first, takes the room the other panes
// leave, and each other pane is as wide as its text. A message wider than that room is still shown
// whole: the widest other panes give up what it lacks, none below its minimum.
#pragma once

#include <vector>

struct StatusPaneSpan {
    int natural; // the width that shows the pane's text whole
    int minimum; // the least it may be cut to
};

// The widths of the panes after the message pane, for a bar `barWidth` wide whose message needs
// `messageWidth` (0 when it is empty).
std::vector<int> StatusPaneWidths(int barWidth, int messageWidth, const std::vector<StatusPaneSpan>& panes);
