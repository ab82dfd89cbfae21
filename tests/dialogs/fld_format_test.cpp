#include "comms/settings.h"
#include "dialog_driver.h"
#include "dialogs/data_dlg.h"
#include "dialogs/fld_format.h"

#include <wx/stattext.h>

using namespace dialog_test;

namespace {

struct Shown {
    bool negative, sign, separator, showUnits, showUnitsEnabled;
    std::string example, decimals;
};

Shown Read(CFldFormat& dialog) {
    return {Control<wxCheckBox>(&dialog, CFldFormat::kIdNegative)->GetValue(),
            Control<wxCheckBox>(&dialog, CFldFormat::kIdSign)->GetValue(),
            Control<wxCheckBox>(&dialog, CFldFormat::kIdSeparator)->GetValue(),
            Control<wxCheckBox>(&dialog, CFldFormat::kIdShowUnits)->GetValue(),
            IsEnabled(&dialog, CFldFormat::kIdShowUnits),
            Control<wxStaticText>(&dialog, CFldFormat::kIdExample)->GetLabel().ToStdString(),
            Control<wxComboBox>(&dialog, CFldFormat::kIdDecimals)->GetValue().ToStdString()};
}

class FldFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsValues();
        g_ModelName = "TR-70";
        g_WeightConversion = "0";
        for (int n = 0; n < kFieldCount; ++n)
            if (g_FieldHasFormat[n])
                g_FieldFormats[n] = {"010000.00", kRoundDown};
        // The data-format dialog is the owner whose Format buttons name the fields offered.
        owner = new CDataDlg();
        owner->InitDialog();
    }
    void TearDown() override { owner->Destroy(); }

    // Opens the dialog for one field, runs the script and returns the dialog's result.
    int Run(const std::string& field, std::function<void(CFldFormat&)> script) {
        CFldFormat dialog(owner);
        dialog.SetFieldName(field);
        return RunModal(dialog, [&] { script(dialog); });
    }

    CDataDlg* owner = nullptr;
};

// Stored mask -> what the dialog shows -> what OK stores without changes.
TEST_F(FldFormatTest, MasksRoundTripThroughTheControls) {
    struct Case {
        const char* model;
        const char* conversion;
        const char* stored;
        Shown shown;
        const char* storedAgain;
    };
    const Case cases[] = {
        {"TR-70", "0", "010000.00", {true, false, false, false, false, "10000.00", "0.00"}, "010000.00"},
        {"KT m25",
         "0",
         "0+10,000.000g",
         {true, true, true, true, true, "+10,000.000", "0.000"},
         "0+10,000.000g"},
        {"TR-70",
         "0",
         "0+10,000.000g",
         {true, true, true, false, false, "+10,000.000", "0.000"},
         "0+10,000.000"},
        // With the grams conversion on no unit mark is shown or written.
        {"KT m25",
         "1",
         "0+10,000.000g",
         {true, true, true, false, false, "+10,000.000", "0.000"},
         "0+10,000.000"},
        {"TR-70", "0", "1000", {false, false, false, false, false, "1000", "0"}, "1000"},
        {"TR-70", "0", "0.00", {true, false, false, false, false, ".00", "0.00"}, "0.00"},
        {"TR-70", "0", "", {false, false, false, false, false, "", "0"}, ""},
    };
    for (const Case& c : cases) {
        g_ModelName = c.model;
        g_WeightConversion = c.conversion;
        g_FieldFormats[DF_NET_WEIGHT].mask = c.stored;
        owner->InitDialog();
        const int result = Run("Net Weight", [&](CFldFormat& dialog) {
            const Shown shown = Read(dialog);
            EXPECT_EQ(shown.negative, c.shown.negative) << c.stored;
            EXPECT_EQ(shown.sign, c.shown.sign) << c.stored;
            EXPECT_EQ(shown.separator, c.shown.separator) << c.stored;
            EXPECT_EQ(shown.showUnits, c.shown.showUnits) << c.stored << " " << c.model;
            EXPECT_EQ(shown.showUnitsEnabled, c.shown.showUnitsEnabled) << c.stored << " " << c.model;
            EXPECT_EQ(shown.example, c.shown.example) << c.stored;
            EXPECT_EQ(shown.decimals, c.shown.decimals) << c.stored;
            Click(&dialog, wxID_OK);
        });
        EXPECT_EQ(result, wxID_OK);
        EXPECT_EQ(g_FieldFormats[DF_NET_WEIGHT].mask, c.storedAgain) << c.stored << " " << c.model;
    }
}

TEST_F(FldFormatTest, DecimalsSeparatorAndSignRebuildTheExample) {
    g_FieldFormats[DF_NET_WEIGHT].mask = "10000.00";
    Run("Net Weight", [&](CFldFormat& dialog) {
        SetCheck(&dialog, CFldFormat::kIdSeparator, true);
        EXPECT_EQ(Read(dialog).example, "10,000.00");
        SetCheck(&dialog, CFldFormat::kIdSign, true);
        EXPECT_EQ(Read(dialog).example, "+10,000.00");
        SetCheck(&dialog, CFldFormat::kIdSeparator, false);
        EXPECT_EQ(Read(dialog).example, "+10000.00");
        PickItem(&dialog, CFldFormat::kIdDecimals, "0.0000");
        EXPECT_EQ(Read(dialog).example, "+10000.0000");
        PickItem(&dialog, CFldFormat::kIdDecimals, "0");
        EXPECT_EQ(Read(dialog).example, "+10000");
        // Negative number and rounding leave the example alone.
        SetCheck(&dialog, CFldFormat::kIdNegative, true);
        PickItem(&dialog, CFldFormat::kIdRounding, "Round Nearest (5/4)");
        EXPECT_EQ(Read(dialog).example, "+10000");
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(g_FieldFormats[DF_NET_WEIGHT].mask, "0+10000");
    EXPECT_EQ(g_FieldFormats[DF_NET_WEIGHT].rounding, kRoundNearest);
}

TEST_F(FldFormatTest, DecimalsTypedIntoTheListCountOnlyOnceTheExampleIsRebuilt) {
    Run("Net Weight", [&](CFldFormat& dialog) {
        Control<wxComboBox>(&dialog, CFldFormat::kIdDecimals)->SetValue("0.0");
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(g_FieldFormats[DF_NET_WEIGHT].mask, "010000.00");
    Run("Net Weight", [&](CFldFormat& dialog) {
        Control<wxComboBox>(&dialog, CFldFormat::kIdDecimals)->SetValue("0.0");
        SetCheck(&dialog, CFldFormat::kIdSign, false);
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(g_FieldFormats[DF_NET_WEIGHT].mask, "010000.0");
}

TEST_F(FldFormatTest, OnlyUnitWeightOffersFiveDecimals) {
    const std::vector<std::string> four{"0", "0.0", "0.00", "0.000", "0.0000"};
    std::vector<std::string> five = four;
    five.push_back("0.00000");
    g_FieldFormats[DF_UNIT_WEIGHT].mask = "10000.00000";
    Run("Unit Weight", [&](CFldFormat& dialog) {
        EXPECT_EQ(ComboItems(&dialog, CFldFormat::kIdDecimals), five);
        EXPECT_EQ(Read(dialog).decimals, "0.00000");
        PickItem(&dialog, CFldFormat::kIdField, "Net Weight");
        EXPECT_EQ(ComboItems(&dialog, CFldFormat::kIdDecimals), four);
        PickItem(&dialog, CFldFormat::kIdField, "Unit Weight");
        EXPECT_EQ(ComboItems(&dialog, CFldFormat::kIdDecimals), five);
    });
}

TEST_F(FldFormatTest, PickingAnotherFieldRereadsItsMaskAndOkWritesThatField) {
    g_FieldFormats[DF_NET_WEIGHT] = {"0+10,000.00", kRoundUp};
    g_FieldFormats[DF_GROSS_WEIGHT] = {"1000.0", kRoundNearest};
    Run("Net Weight", [&](CFldFormat& dialog) {
        PickItem(&dialog, CFldFormat::kIdField, "Gross Weight");
        const Shown shown = Read(dialog);
        EXPECT_FALSE(shown.sign);
        EXPECT_FALSE(shown.separator);
        EXPECT_TRUE(shown.negative); // kept: the new mask does not set it
        EXPECT_EQ(shown.example, "1000.0");
        EXPECT_EQ(Control<wxComboBox>(&dialog, CFldFormat::kIdRounding)->GetSelection(), 2);
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(g_FieldFormats[DF_NET_WEIGHT].mask, "0+10,000.00");
    EXPECT_EQ(g_FieldFormats[DF_GROSS_WEIGHT].mask, "01000.0");
    EXPECT_EQ(g_FieldFormats[DF_GROSS_WEIGHT].rounding, kRoundNearest);
}

TEST_F(FldFormatTest, CancelAndUnknownNamesWriteNothing) {
    const auto before = g_FieldFormats;
    EXPECT_EQ(Run("Net Weight",
                  [&](CFldFormat& dialog) {
                      SetCheck(&dialog, CFldFormat::kIdSign, true);
                      Click(&dialog, wxID_CANCEL);
                  }),
              wxID_CANCEL);
    EXPECT_EQ(Run("Net Weight",
                  [&](CFldFormat& dialog) {
                      Control<wxComboBox>(&dialog, CFldFormat::kIdField)->SetValue("Net Weigh");
                      SetCheck(&dialog, CFldFormat::kIdSign, true);
                      Click(&dialog, wxID_OK);
                  }),
              wxID_OK);
    for (int n = 0; n < kFieldCount; ++n) {
        EXPECT_EQ(g_FieldFormats[n].mask, before[n].mask) << n;
        EXPECT_EQ(g_FieldFormats[n].rounding, before[n].rounding) << n;
    }
}

TEST_F(FldFormatTest, RoundingTypedIntoTheListKeepsAValidRounding) {
    g_FieldFormats[DF_NET_WEIGHT].rounding = kRoundUp;
    g_FieldFormats[DF_TARE_WEIGHT].rounding = 7; // no rounding mode
    for (const char* field : {"Net Weight", "Tare Weight"}) {
        Run(field, [&](CFldFormat& dialog) {
            Control<wxComboBox>(&dialog, CFldFormat::kIdRounding)->SetValue("Round Sideways");
            Click(&dialog, wxID_OK);
        });
    }
    EXPECT_EQ(g_FieldFormats[DF_NET_WEIGHT].rounding, kRoundUp);
    EXPECT_EQ(g_FieldFormats[DF_TARE_WEIGHT].rounding, kRoundDown);
}

TEST_F(FldFormatTest, WeightConversionLineIsHiddenForTotalQuantity) {
    g_WeightConversion = "1";
    for (const char* field : {"Net Weight", "Total Quantity"}) {
        Run(field, [&](CFldFormat& dialog) {
            const bool shown = dialog.FindWindow(CFldFormat::kIdConversion)->IsShown();
            EXPECT_EQ(shown, std::string(field) != "Total Quantity") << field;
            EXPECT_EQ(dialog.FindWindow(CFldFormat::kIdConversionLabel)->IsShown(), shown);
            EXPECT_EQ(Control<wxStaticText>(&dialog, CFldFormat::kIdConversion)->GetLabel(),
                      "Kilograms to Grams");
        });
    }
    g_WeightConversion = "0";
    Run("Net Weight",
        [&](CFldFormat& dialog) { EXPECT_FALSE(dialog.FindWindow(CFldFormat::kIdConversion)->IsShown()); });
}

} // namespace
