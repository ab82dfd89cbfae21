#include "comms/settings.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsTables, StartValuesBeforeAnyFileIsRead) {
    ResetSettingsValues();
    for (int n = 0; n < kFieldCount; ++n) {
        EXPECT_EQ(g_FieldEnabled[n], 1) << n;
        EXPECT_EQ(g_FieldFormats[n].mask, "") << n;
        EXPECT_EQ(g_FieldFormats[n].rounding, 0) << n;
    }
    ASSERT_EQ(g_Macros.size(), 34u);
    EXPECT_EQ(g_Macros[0], "0");
    for (int n = 1; n <= 32; ++n)
        EXPECT_EQ(g_Macros[n], "9") << n;
    EXPECT_EQ(g_Macros[33], "10");
    EXPECT_EQ(g_WeightConversion, "0");
    EXPECT_EQ(g_ExcelSheet, 0);
    EXPECT_EQ(g_ModelName, "");
    EXPECT_EQ(g_RunMode, "");
    for (const auto& field : g_OutputFields)
        EXPECT_EQ(field, "");
}

TEST(SettingsTables, FieldTablesAgree) {
    ASSERT_EQ(g_DataFieldKeywords.size(), 33u);
    EXPECT_STREQ(g_DataFieldKeywords[0], "");
    EXPECT_STREQ(g_DataFieldKeywords[DF_DATE_TIME], "DateTime");
    EXPECT_STREQ(g_DataFieldKeywords[DF_ID_CODE], "DF_ID_CODE");
    EXPECT_STREQ(g_DataFieldKeywords[DF_STATUS], "DF_STATUS");
    EXPECT_STREQ(g_DataFieldKeywords[DF_SCALE_NAME], "DF_SCALE_NAME");
    EXPECT_STREQ(g_FieldDisplayNames[0], "");
    EXPECT_STREQ(g_FieldDisplayNames[DF_TOTAL_TRANSACTION], "Total Trans.");
    EXPECT_STREQ(g_FieldDisplayNames[DF_SCALE_NAME], "Scale Name");
    const int formatted[] = {3, 4, 5, 6, 8, 10, 12, 13, 14, 15, 16, 17};
    int count = 0;
    for (int n = 0; n < kFieldCount; ++n)
        count += g_FieldHasFormat[n];
    EXPECT_EQ(count, 12);
    for (int n : formatted)
        EXPECT_EQ(g_FieldHasFormat[n], 1) << n;
    EXPECT_STREQ(g_RoundingModes[0].name, "Round Down");
    EXPECT_STREQ(g_RoundingModes[1].name, "Round Up");
    EXPECT_STREQ(g_RoundingModes[2].name, "Round Nearest (5/4)");
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(g_RoundingModes[row].id, row);
}

TEST(SettingsTables, LookupsAreExactAndSkipFieldZero) {
    EXPECT_EQ(FindFieldByKeyword("DF_NET_WEIGHT"), DF_NET_WEIGHT);
    EXPECT_EQ(FindFieldByKeyword("DateTime"), DF_DATE_TIME);
    EXPECT_EQ(FindFieldByKeyword("df_net_weight"), -1);
    EXPECT_EQ(FindFieldByKeyword(""), -1);
    EXPECT_EQ(FindFormattedFieldByDisplayName("Tare Weight"), DF_TARE_WEIGHT);
    EXPECT_EQ(FindFormattedFieldByDisplayName("Quantity"), -1); // no number format
    EXPECT_EQ(FindFormattedFieldByDisplayName(""), -1);
}

} // namespace
