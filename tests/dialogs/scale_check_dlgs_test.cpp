#include "dialogs/scale_check_dlgs.h"
#include "modeless_driver.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace dialog_test;

class ScaleCheckTest : public ::testing::Test {
protected:
    void TearDown() override { DestroyDeviceList(); }
    template <typename T> std::unique_ptr<T> Opened() {
        auto dlg = std::make_unique<T>();
        m_heightBefore = dlg->GetSize().y;
        m_okTopBefore = dlg->FindWindow(wxID_OK)->GetPosition().y;
        OpenModeless(dlg.get());
        return dlg;
    }
    int m_heightBefore = 0;
    int m_okTopBefore = 0;
};

TEST_F(ScaleCheckTest, StatusLabelsAndTheHeavierFontForErrors) {
    MakeScales(4);
    g_DeviceList[0]->m_sessionState = kSessionGood;
    g_DeviceList[1]->m_sessionState = kSessionError;
    g_DeviceList[2]->m_sessionState = kSessionNone;
    g_DeviceList[3]->m_sessionState = 7;
    g_DeviceList[3]->m_active = 0;
    auto dlg = Opened<CScaleCommsStatus>();
    ASSERT_EQ(dlg->ListedCount(), 4);
    EXPECT_EQ(dlg->Box(0)->GetLabel(), "Scale01 - Good");
    EXPECT_EQ(dlg->Box(1)->GetLabel(), "Scale02 - Error");
    EXPECT_EQ(dlg->Box(2)->GetLabel(), "Scale03 - None");
    EXPECT_EQ(dlg->Box(3)->GetLabel(), "Scale04 - None");
    const int normal = dlg->Box(0)->GetFont().GetNumericWeight();
    EXPECT_GT(dlg->Box(1)->GetFont().GetNumericWeight(), normal);
    EXPECT_EQ(dlg->Box(2)->GetFont().GetNumericWeight(), normal);
    EXPECT_TRUE(dlg->Box(0)->GetValue());
    EXPECT_FALSE(dlg->Box(3)->GetValue()); // the box is the active flag
}

TEST_F(ScaleCheckTest, ThreeColumnsOfBoxesAndTheOkButtonBelowThem) {
    MakeScales(4);
    auto dlg = Opened<CTransferSelect>();
    ASSERT_EQ(dlg->ListedCount(), 4);
    const int w = dlg->GetSize().x / 4;
    const int rowTop = m_okTopBefore + 24;
    const wxPoint expected[] = {
        {w / 6, rowTop}, {3 * w / 2, rowTop}, {17 * w / 6, rowTop}, {w / 6, rowTop + 24}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(dlg->Box(k)->GetId(), 1100 + k);
        EXPECT_EQ(dlg->Box(k)->GetPosition(), expected[k]) << "box " << k;
    }
    const int delta = 48 + 36;
    EXPECT_EQ(dlg->FindWindow(wxID_OK)->GetPosition().y, m_okTopBefore + delta);
    EXPECT_EQ(dlg->GetSize().y, m_heightBefore + delta);
    EXPECT_EQ(dlg->ScrollRange(), 0);
}

TEST_F(ScaleCheckTest, NothingToListStillMakesRoomForOk) {
    MakeScales(2);
    g_DeviceList[0]->m_deleted = 1;
    g_DeviceList[1]->m_deleted = 1;
    auto dlg = Opened<CScaleCommsStatus>();
    EXPECT_EQ(dlg->ListedCount(), 0);
    EXPECT_EQ(dlg->FindWindow(wxID_OK)->GetPosition().y, m_okTopBefore + 36);
    EXPECT_EQ(dlg->GetSize().y, m_heightBefore + 36);
    EXPECT_EQ(dlg->ScrollRange(), 0);
}

TEST_F(ScaleCheckTest, ABoxSwitchesItsOwnScalesFlagAtOnce) {
    // The deleted second scale gets no box, so box 1101 belongs to the third.
    MakeScales(3);
    g_DeviceList[1]->m_deleted = 1;
    g_DeviceList[1]->m_active = 0;
    auto status = Opened<CScaleCommsStatus>();
    ASSERT_EQ(status->ListedCount(), 2);
    EXPECT_EQ(status->ListedScale(1), 2);
    EXPECT_EQ(status->Box(1)->GetId(), 1101);
    SetCheck(status.get(), status->Box(1)->GetId(), false);
    EXPECT_EQ(g_DeviceList[2]->m_active, 0);
    EXPECT_EQ(g_DeviceList[0]->m_active, 1);
    SetCheck(status.get(), status->Box(1)->GetId(), true);
    EXPECT_EQ(g_DeviceList[2]->m_active, 1);
    Click(status.get(), wxID_OK);
    EXPECT_EQ(status->GetReturnCode(), wxID_CANCEL);

    // Transfer select lists the active scales and switches the Get flag; neither OK nor Cancel
    // undoes a click.
    for (bool closeBox : {false, true}) {
        g_DeviceList[0]->m_gettable = 1;
        auto select = Opened<CTransferSelect>();
        ASSERT_EQ(select->ListedCount(), 2);
        EXPECT_EQ(select->Box(1)->GetLabel(), "Scale03");
        SetCheck(select.get(), select->Box(0)->GetId(), false);
        EXPECT_EQ(g_DeviceList[0]->m_gettable, 0);
        if (closeBox)
            select->Close();
        else
            Click(select.get(), wxID_OK);
        EXPECT_EQ(select->GetReturnCode(), wxID_CANCEL);
        EXPECT_EQ(g_DeviceList[0]->m_gettable, 0);
        EXPECT_EQ(g_DeviceList[2]->m_gettable, 1);
    }
}

TEST_F(ScaleCheckTest, LongListsShowTenRowsAndScroll) {
    MakeScales(40);
    auto dlg = Opened<CTransferSelect>();
    ASSERT_EQ(dlg->ListedCount(), 40);
    const int tenthRowY = m_okTopBefore + 10 * 24;
    EXPECT_EQ(dlg->GetSize().y, m_heightBefore + tenthRowY);
    // Fourteen rows: the window grew by 14 row steps plus 36 before it was cut back.
    const int fullHeight = m_heightBefore + 14 * 24 + 36;
    const int range = fullHeight - dlg->GetSize().y;
    ASSERT_EQ(dlg->ScrollRange(), range);
    ASSERT_GT(range, 0);

    struct Step {
        wxEventType type;
        int thumb;
        int position; // scroll position afterwards
    };
    const Step steps[] = {
        {wxEVT_SCROLLWIN_LINEUP, 0, 0}, // already at the top
        {wxEVT_SCROLLWIN_LINEDOWN, 0, range / 100},
        {wxEVT_SCROLLWIN_PAGEDOWN, 0, range / 100 + range / 10},
        {wxEVT_SCROLLWIN_THUMBTRACK, 50, range / 100 + range / 10}, // only the release moves
        {wxEVT_SCROLLWIN_THUMBRELEASE, range - 1, range - 1},
        {wxEVT_SCROLLWIN_PAGEDOWN, 0, range}, // stops at the end
        {wxEVT_SCROLLWIN_LINEDOWN, 0, range},
        {wxEVT_SCROLLWIN_PAGEUP, 0, range - range / 10},
    };
    const int firstBoxY = dlg->Box(0)->GetPosition().y;
    for (const Step& step : steps) {
        dlg->ScrollBy(step.type, step.thumb);
        EXPECT_EQ(dlg->ScrollPosition(), step.position);
    }
    Pump();
    EXPECT_EQ(dlg->Box(0)->GetPosition().y, firstBoxY - dlg->ScrollPosition());
}

} // namespace
