#include "app/core/status_panes.h"

#include <gtest/gtest.h>

TEST(StatusPanesTest, MessageTakesWhatIsLeftAndAWideOneTakesFromTheWidestPanes) {
    // Run mode, model, output mode and port panes, and an empty lock pane.
    const std::vector<StatusPaneSpan> panes{{58, 40}, {48, 40}, {0, 0}, {36, 36}, {225, 60}};
    struct Case {
        int bar;
        int message;
        std::vector<int> widths;
    } cases[] = {
        {548, 0, {58, 48, 0, 36, 225}},   // no message: every pane shows its text
        {548, 181, {58, 48, 0, 36, 225}}, // the message fits in what is left
        {548, 200, {58, 48, 0, 36, 206}}, // the port pane gives up what the message lacks
        {548, 344, {58, 48, 0, 36, 62}},
        {548, 360, {46, 46, 0, 36, 60}}, // ... down to its minimum, then the next widest ones
        {548, 400, {40, 40, 0, 36, 60}},
        {200, 400, {40, 40, 0, 36, 60}}, // never below the minimums
        {900, 400, {58, 48, 0, 36, 225}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "bar " << c.bar << ", message " << c.message);
        EXPECT_EQ(StatusPaneWidths(c.bar, c.message, panes), c.widths);
    }
}
