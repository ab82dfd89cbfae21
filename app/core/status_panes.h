// How the status bar shares its room: each pane after the message pane is as wide as its text, and
// the message pane, first, takes the room they leave on their line. A message wider than that room
// takes lines of its own above the panes instead of cutting them or being cut. The panes are cut
// only when they alone are wider than the bar: the widest give up what is lacking, none below its
// minimum.
#pragma once

#include <vector>

struct StatusPaneSpan {
    int natural; // the width that shows the pane's text whole
    int minimum; // the least it may be cut to
};

struct StatusPaneLayout {
    bool messageAbove = false; // the message takes lines of its own above the panes
    std::vector<int> widths;   // of the panes after the message pane
};

// The layout of a bar `barWidth` wide whose message needs `messageWidth` (0 when it is empty).
StatusPaneLayout LayOutStatusPanes(int barWidth, int messageWidth, const std::vector<StatusPaneSpan>& panes);
