#include "comms/settings.h"
#include "dialog_driver.h"
#include "dialogs/data_dlg.h"
#include "dialogs/fld_format.h"
#include "dialogs/hotkey_ctrl.h"

#include <X11/keysym.h>
#include <set>
#include <wx/stattext.h>

using namespace dialog_test;

namespace {

constexpr int Check(int field) {
    return CDataDlg::kFirstCheckBox + field;
}
constexpr int Macro(int field) {
    return CDataDlg::kFirstMacroEdit + field;
}
constexpr int Label(int field) {
    return CDataDlg::kFirstLabel + field;
}
constexpr int Format(int field) {
    return CDataDlg::kFirstFormatButton + field;
}

class DataDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsValues();
        g_ModelName = "TR-70";
        for (int n = 1; n < kFieldCount; ++n)
            g_Macros[n] = "9," + std::to_string(n);
    }
    bool Checked(CDataDlg& dialog, int field) {
        return Control<wxCheckBox>(&dialog, Check(field))->GetValue();
    }
    MessageBoxRecorder boxes;
};

TEST_F(DataDlgTest, FieldsTheModelNeverSendsAreGreyedOut) {
    g_ModelName = "TR-24";
    const std::set<int> sent{3, 5, 32};
    CDataDlg dialog;
    RunModal(dialog, [&] {
        EXPECT_FALSE(Control<wxCheckBox>(&dialog, Check(0))->IsShown());
        for (int n = 1; n < kFieldCount; ++n) {
            const bool enabled = n == 1 || sent.count(n) > 0; // the PC's date and time always
            EXPECT_EQ(IsEnabled(&dialog, Check(n)), enabled) << n;
            EXPECT_EQ(IsEnabled(&dialog, Macro(n)), enabled) << n;
            EXPECT_EQ(IsEnabled(&dialog, Label(n)), enabled) << n;
            EXPECT_EQ(Checked(dialog, n), enabled) << n; // every flag starts set
            if (g_FieldHasFormat[n]) {
                EXPECT_EQ(IsEnabled(&dialog, Format(n)), enabled) << n;
            }
        }
    });
}

TEST_F(DataDlgTest, EveryModelKeepsItsFieldsAndTheScaleName) {
    struct Case {
        const char* model;
        int sends;
        int doesNotSend;
    };
    const Case cases[] = {
        {"TR-11", DF_ID_CODE, DF_UNIT_WEIGHT},       {"TC-180", DF_SET_POINT_6, DF_TOTAL_WEIGHT},
        {"TS-748", DF_TOTAL_PRICE, DF_GROSS_WEIGHT}, {"Orvel QB/QT", DF_WEIGHT_UNIT, DF_NET_WEIGHT},
        {"KT m25", DF_SCALE_TIME, DF_SET_POINT_1W},  {"TRX-3005", DF_SCALE_DATE, DF_GRADING},
        {"TSX-4000", DF_STATUS, DF_ID_CODE},         {"TS-740", DF_SET_POINT_1W, DF_SET_POINT_1Q},
    };
    for (const Case& c : cases) {
        g_ModelName = c.model;
        CDataDlg dialog;
        RunModal(dialog, [&] {
            EXPECT_TRUE(IsEnabled(&dialog, Check(c.sends))) << c.model;
            EXPECT_FALSE(IsEnabled(&dialog, Check(c.doesNotSend))) << c.model;
            EXPECT_TRUE(IsEnabled(&dialog, Check(DF_SCALE_NAME))) << c.model;
        });
    }
}

TEST_F(DataDlgTest, OkStoresFlagsAndMacrosFromTheControls) {
    g_ModelName = "TR-24";
    g_FieldEnabled[0] = 0;
    g_Macros[DF_DATE_TIME] = "44";
    g_Macros[DF_SCALE_NAME] = "\n";
    g_Macros[kEndOfLineMacro] = "10";
    CDataDlg dialog;
    const int result = RunModal(dialog, [&] {
        EXPECT_EQ(Text(&dialog, Macro(DF_GROSS_WEIGHT)), "9,4");
        EXPECT_EQ(Text(&dialog, Macro(DF_DATE_TIME)), "44");
        EXPECT_EQ(Text(&dialog, Macro(DF_SCALE_NAME)), ""); // a lone line feed shows as nothing
        EXPECT_EQ(Text(&dialog, CDataDlg::kIdLineEndMacro), "10");
        SetCheck(&dialog, Check(DF_TARE_WEIGHT), false);
        Type(&dialog, Macro(DF_NET_WEIGHT), "9,32");
        Type(&dialog, CDataDlg::kIdLineEndMacro, "13");
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(g_FieldEnabled[0], 0); // the hidden sign flag passes through unchanged
    EXPECT_EQ(g_FieldEnabled[DF_TARE_WEIGHT], 0);
    EXPECT_EQ(g_FieldEnabled[DF_NET_WEIGHT], 1);
    EXPECT_EQ(g_FieldEnabled[DF_GROSS_WEIGHT], 0); // greyed out, so unchecked
    EXPECT_EQ(g_Macros[DF_GROSS_WEIGHT], "9,4");   // restored from its edit
    EXPECT_EQ(g_Macros[DF_DATE_TIME], "44");
    EXPECT_EQ(g_Macros[DF_NET_WEIGHT], "9,32");
    EXPECT_EQ(g_Macros[DF_SCALE_NAME], "");
    EXPECT_EQ(g_Macros[kEndOfLineMacro], "13");
}

// Cancel changes nothing, neither what was edited nor what the dialog shows otherwise than stored:
// the macros of fields the model cannot send, a lone line feed, an unknown model's name.
TEST_F(DataDlgTest, CancelChangesNothing) {
    for (const char* model : {"TR-24", "XR-9"}) {
        g_ModelName = model;
        g_Macros[DF_SCALE_NAME] = "\n";
        const auto macros = g_Macros;
        CDataDlg dialog;
        const int result = RunModal(dialog, [&] {
            if (g_ModelName == "XR-9") { // titled as set, shown with the default model's fields
                EXPECT_EQ(Control<wxStaticText>(&dialog, CDataDlg::kIdTitle)->GetLabel(), "Scale :   XR-9");
                EXPECT_TRUE(IsEnabled(&dialog, Check(DF_GRADING)));
            }
            SetCheck(&dialog, Check(DF_NET_WEIGHT), false);
            Type(&dialog, Macro(DF_NET_WEIGHT), "1,2,3");
            Click(&dialog, wxID_CANCEL);
        });
        EXPECT_EQ(result, wxID_CANCEL);
        EXPECT_EQ(g_ModelName, model);
        for (int n = 0; n < kFieldCount; ++n)
            EXPECT_EQ(g_FieldEnabled[n], 1) << model << " field " << n;
        for (std::size_t n = 0; n < macros.size(); ++n)
            EXPECT_EQ(g_Macros[n], macros[n]) << model << " macro " << n;
    }
}

TEST_F(DataDlgTest, KeyConverterShowsHotKeyWords) {
    CDataDlg dialog;
    RunModal(dialog, [&] {
        auto* hotKey = Control<HotKeyCtrl>(&dialog, CDataDlg::kIdHotKey);
        wxKeyEvent press(wxEVT_KEY_DOWN);
        press.m_rawCode = XK_A;
        press.SetControlDown(true);
        press.SetShiftDown(true);
        hotKey->HandleWindowEvent(press);
        Click(&dialog, CDataDlg::kIdConvert);
        EXPECT_EQ(Text(&dialog, CDataDlg::kIdKeyCode), "833");

        struct Case {
            int button;
            int word;
            const char* code;
        };
        const Case cases[] = {
            {CDataDlg::kIdTab, 9, "9"},
            {CDataDlg::kIdShiftTab, 265, "265"},
            {CDataDlg::kIdNewLine, 13, "10"}, // Enter in the control, the line-end code in the box
            {CDataDlg::kIdSpace, 32, "32"},
        };
        for (const Case& c : cases) {
            Click(&dialog, c.button);
            EXPECT_EQ(hotKey->GetHotKey(), c.word);
            EXPECT_EQ(Text(&dialog, CDataDlg::kIdKeyCode), c.code);
        }
        Click(&dialog, CDataDlg::kIdConvert); // "=" shows the control's word as it stands
        EXPECT_EQ(Text(&dialog, CDataDlg::kIdKeyCode), "32");
    });
}

TEST_F(DataDlgTest, FormatButtonOpensTheFieldFormatForItsField) {
    g_ModelName = "TR-24";
    g_FieldFormats[DF_TARE_WEIGHT] = {"010000.00", kRoundDown};
    CDataDlg dialog;
    RunModal(dialog, [&] {
        WhenOpened<CFldFormat>([](CFldFormat& format) {
            EXPECT_EQ(Control<wxComboBox>(&format, CFldFormat::kIdField)->GetValue(), "Tare Weight");
            // Only the formatted fields this model sends are offered.
            EXPECT_EQ(ComboItems(&format, CFldFormat::kIdField),
                      (std::vector<std::string>{"Net Weight", "Tare Weight"}));
            SetCheck(&format, CFldFormat::kIdSeparator, true);
            Click(&format, wxID_OK);
        });
        Click(&dialog, Format(DF_TARE_WEIGHT));
        Click(&dialog, wxID_CANCEL);
    });
    // The field format is written by the field-format dialog whatever becomes of this one.
    EXPECT_EQ(g_FieldFormats[DF_TARE_WEIGHT].mask, "010,000.00");
}

} // namespace
