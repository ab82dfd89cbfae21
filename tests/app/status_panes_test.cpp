#include "app/core/status_panes.h"

#include <gtest/gtest.h>

TEST(StatusPanesTest, AMessageTakesWhatIsLeftOrLinesOfItsOwnAndPanesAreCutOnlyToFitTheBar) {
    // Run mode, model, output mode and port panes, and an empty lock pane.
    const std::vector<StatusPaneSpan> panes{{58, 40}, {48, 40}, {0, 0}, {36, 36}, {225, 60}};
    struct Case {
        int bar;
        int message;
        bool messageAbove;
        std::vector<int> widths;
    } cases[] = {
        {548, 0, false, {58, 48, 0, 36, 225}},   // no message: every pane shows its text
        {548, 181, false, {58, 48, 0, 36, 225}}, // the message fits in what is left
        {548, 182, true, {58, 48, 0, 36, 225}},  // one more pixel: it goes above the panes
        {548, 900, true, {58, 48, 0, 36, 225}},
        {300, 0, false, {58, 48, 0, 36, 158}}, // a narrow bar: the port pane gives up what is lacking
        {180, 0, false, {42, 42, 0, 36, 60}},  // ... down to its minimum, then the next widest ones
        {100, 50, true, {40, 40, 0, 36, 60}},  // never below the minimums
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "bar " << c.bar << ", message " << c.message);
        const StatusPaneLayout layout = LayOutStatusPanes(c.bar, c.message, panes);
        EXPECT_EQ(layout.messageAbove, c.messageAbove);
        EXPECT_EQ(layout.widths, c.widths);
    }
}
