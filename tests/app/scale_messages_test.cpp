#include "app/core/scale_messages.h"
#include "comms/device.h"

#include <gtest/gtest.h>

namespace {

TEST(ScaleMessages, TextsByCode) {
    EXPECT_EQ(ScaleErrorText(1), "Read data failed. Please check scale and computer connection and Run Mode Setting.");
    EXPECT_EQ(ScaleErrorText(2), "Write data failed. Please check scale and computer connection.");
    EXPECT_EQ(ScaleErrorText(3), "Error reading scale signal. Error response from scale.");
    EXPECT_EQ(ScaleErrorText(9), "");
    for (int code : {0, 4, -1, 1000})
        EXPECT_EQ(ScaleErrorText(code), "Communication Error.") << code;
}

TEST(ScaleMessages, FormatAndRecognise) {
    DestroyDeviceList();
    Device* dev = CreateDevice();
    EXPECT_EQ(FormatScaleMessage(dev, "Error opening COM12"), "Scale Scale01: Error opening COM12");
    EXPECT_TRUE(IsScaleMessageText("Scale Scale01: x"));
    EXPECT_FALSE(IsScaleMessageText("scale Scale01: x"));
    EXPECT_FALSE(IsScaleMessageText("Scale"));
    EXPECT_FALSE(IsScaleMessageText("Unable to set Timer"));
    DestroyDeviceList();
}

TEST(ScaleMessages, OneBoxGrowsToEightLinesThenSaysTooMany) {
    std::string box = "Scale A: e1";
    for (int i = 2; i <= 8; ++i) {
        auto grown = GrowScaleErrorText(box, "Scale A: e" + std::to_string(i));
        ASSERT_TRUE(grown);
        box = grown->Bytes();
    }
    EXPECT_EQ(std::count(box.begin(), box.end(), '\n'), 7);
    auto last = GrowScaleErrorText(box, "Scale A: e9");
    ASSERT_TRUE(last);
    EXPECT_EQ(*last, box + "\n\nToo many scale errors - not reporting any more.");
    EXPECT_FALSE(GrowScaleErrorText(*last, "Scale A: e10"));
    // A start's failure box that already says "not attempting any more" is past eight lines too.
    std::string startBox = "Scale 1: x";
    for (int i = 2; i <= 9; ++i)
        startBox += "\nScale " + std::to_string(i) + ": x";
    startBox += "\n\nToo many scale errors - not attempting any more.\nNot all scales were started";
    EXPECT_FALSE(GrowScaleErrorText(startBox, "Scale 10: y"));
}

} // namespace
