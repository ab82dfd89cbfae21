#include "comms/model_table.h"
#include "comms/workers.h"

#include <gtest/gtest.h>

namespace {

TEST(ModelTable, LookupFindsExactNamesAndSharedWorkers) {
    ModelRow row{};
    std::string name = "TRX-3005";
    LookupModel(&row, &name);
    EXPECT_EQ(row.id, 15);
    EXPECT_EQ(row.worker, &RunTr70Scale);
    EXPECT_EQ(name, "TRX-3005");

    name = "TR-175";
    LookupModel(&row, &name);
    EXPECT_EQ(row.worker, &RunTr11Scale);

    name = "KT m25";
    LookupModel(&row, &name);
    EXPECT_EQ(row.grams, 1);
}

TEST(ModelTable, UnknownNameFallsBackToTr70AndIsRewritten) {
    for (std::string name : {"tr-70", "", "ABC", "TR-70 "}) {
        ModelRow row{};
        LookupModel(&row, &name);
        EXPECT_EQ(row.id, 2);
        EXPECT_STREQ(row.name, "TR-70");
        EXPECT_EQ(name, "TR-70");
    }
}

TEST(ModelTable, RunModesOffered) {
    ModelRow row{};
    std::string name = "TC-180";
    LookupModel(&row, &name);
    EXPECT_EQ(row.command, 0);
    name = "TS-740";
    LookupModel(&row, &name);
    EXPECT_EQ(row.manual + row.stream, 0);
    int grams = 0;
    for (const auto& r : g_ModelTable)
        grams += r.grams;
    EXPECT_EQ(grams, 1);
}

TEST(ModelTable, CheckSettingsJoinsBothTexts) {
    std::string savedModel = g_ModelName, savedMode = g_RunMode;
    g_ModelName = "ABC";
    g_RunMode = "Auto";
    EXPECT_EQ(CheckSettings(), "ABC does not exist for this version" "Invalid running mode");
    EXPECT_EQ(g_ModelName, "ABC");
    g_ModelName = "TR-70";
    for (const char* mode : {"Command", "Manual", "Stream", "Excel"}) {
        g_RunMode = mode;
        EXPECT_EQ(CheckSettings(), "");
    }
    g_RunMode = "command";
    EXPECT_EQ(CheckRunningMode(), "Invalid running mode");
    g_ModelName = savedModel;
    g_RunMode = savedMode;
}

} // namespace
