#include "dialogs/scale_set.h"
#include "modeless_driver.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace dialog_test;
using S = CScaleSet;

class ScaleSetTest : public ::testing::Test {
protected:
    void Open(const char* model, const char* runMode, const char* interval = "5") {
        ResetSettingsValues();
        g_ModelName = model;
        g_RunMode = runMode;
        g_CommandInterval = interval;
        m_dlg = std::make_unique<CScaleSet>();
        OpenModeless(m_dlg.get());
    }
    template <typename T> T* Get(int id) { return Control<T>(m_dlg.get(), id); }
    wxRadioButton* Radio(int id) { return Get<wxRadioButton>(id); }
    std::string Checked() {
        std::string checked;
        for (auto [id, name] :
             {std::pair{S::IDC_STREAM_MODE, "Stream"}, std::pair{S::IDC_MANUAL_MODE, "Manual"},
              std::pair{S::IDC_COMMAND_MODE, "Command"}})
            if (Radio(id)->GetValue())
                checked += name;
        return checked;
    }
    // "SMC" with a letter for every mode radio that is enabled, "-" for a disabled one.
    std::string Offered() {
        return std::string(Radio(S::IDC_STREAM_MODE)->IsEnabled() ? "S" : "-") +
               (Radio(S::IDC_MANUAL_MODE)->IsEnabled() ? "M" : "-") +
               (Radio(S::IDC_COMMAND_MODE)->IsEnabled() ? "C" : "-");
    }
    bool IntervalEnabled() { return Get<wxTextCtrl>(S::IDC_COMMAND_INTERVAL)->IsEnabled(); }

    std::unique_ptr<CScaleSet> m_dlg;
};

TEST_F(ScaleSetTest, OpeningFitsTheRunModeToTheModel) {
    struct Case {
        const char* model;
        const char* runMode;
        const char* shownModel; // also what g_ModelName becomes
        const char* checked;    // also what g_RunMode becomes, even if the user cancels
        const char* offered;
        bool interval;
    };
    const Case cases[] = {
        {"TS-740", "Stream", "TS-740", "Command", "--C", true},
        {"TS-748", "Manual", "TS-748", "Command", "S-C", true},
        {"TC-180", "Command", "TC-180", "Manual", "SM-", false},
        {"TC-180", "Stream", "TC-180", "Stream", "SM-", false},
        {"TR-70", "Excel", "TR-70", "Command", "SMC", true},
        {"TR-70", "", "TR-70", "Command", "SMC", true},
        {"Scale 9000", "Manual", "TR-70", "Manual", "SMC", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " / " + c.runMode);
        Open(c.model, c.runMode);
        EXPECT_EQ(Get<wxComboBox>(S::IDC_SCALE_TYPE)->GetValue(), c.shownModel);
        EXPECT_EQ(g_ModelName, c.shownModel);
        EXPECT_EQ(Checked(), c.checked);
        EXPECT_EQ(g_RunMode, c.checked);
        EXPECT_EQ(Offered(), c.offered);
        EXPECT_EQ(IntervalEnabled(), c.interval);
        Click(m_dlg.get(), wxID_CANCEL);
        EXPECT_EQ(g_RunMode, c.checked);
    }
    EXPECT_EQ(Get<wxComboBox>(S::IDC_SCALE_TYPE)->GetCount(), 16u);
}

TEST_F(ScaleSetTest, ChoosingAModelMovesTheCheckOffModesItLacks) {
    struct Case {
        const char* before; // radio checked before the choice
        const char* model;
        const char* checked;
        bool interval;
    };
    const Case cases[] = {
        {"Command", "TC-180", "Manual", false}, {"Stream", "TC-180", "Stream", false},
        {"Manual", "TS-748", "Command", true},  {"Stream", "TS-740", "Command", true},
        {"Manual", "KT m25", "Manual", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " then " + c.model);
        Open("TR-70", c.before);
        PickItem(m_dlg.get(), S::IDC_SCALE_TYPE, c.model);
        EXPECT_EQ(Checked(), c.checked);
        EXPECT_EQ(IntervalEnabled(), c.interval);
        Click(m_dlg.get(), wxID_OK);
        EXPECT_EQ(m_dlg->GetReturnCode(), wxID_OK);
        EXPECT_EQ(g_ModelName, c.model);
        EXPECT_EQ(g_RunMode, c.checked);
    }
}

TEST_F(ScaleSetTest, OkStoresIntervalModeAndTheModelsTcpPort) {
    Open("TR-70", "Command", "15");
    EXPECT_EQ(Get<wxTextCtrl>(S::IDC_COMMAND_INTERVAL)->GetValue(), "15");
    PickItem(m_dlg.get(), S::IDC_SCALE_TYPE, "KT m25");
    Get<wxTextCtrl>(S::IDC_COMMAND_INTERVAL)->SetValue("");
    Click(m_dlg.get(), wxID_OK);
    EXPECT_EQ(g_CommandInterval, "");
    EXPECT_EQ(g_DefaultEthernetPort, "11001");

    // Text typed into the list's edit field is not a choice; the mode radios decide the run mode.
    Open("KT m25", "Command", "2");
    Get<wxComboBox>(S::IDC_SCALE_TYPE)->SetValue("TR-11");
    ChooseRadio(m_dlg.get(), S::IDC_STREAM_MODE);
    EXPECT_FALSE(IntervalEnabled());
    Get<wxTextCtrl>(S::IDC_COMMAND_INTERVAL)->SetValue("1234");
    Click(m_dlg.get(), wxID_OK);
    EXPECT_EQ(g_ModelName, "KT m25");
    EXPECT_EQ(g_RunMode, "Stream");
    EXPECT_EQ(g_CommandInterval, "1234");
    EXPECT_EQ(g_DefaultEthernetPort, "11001");

    Open("TR-500", "Command");
    Click(m_dlg.get(), wxID_OK);
    EXPECT_EQ(g_DefaultEthernetPort, "");
}

} // namespace
