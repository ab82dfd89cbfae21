#include "comms/settings.h"
#include "dialog_driver.h"
#include "dialogs/excel_dlg.h"
#include "dialogs/output_mode.h"

using namespace dialog_test;

namespace {

class OutputModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsValues();
        g_RunMode = "Manual";
        g_OutMode = "Test";
        g_ExcelFile = "0";
        g_ExcelCell = "B2";
        g_ExcelSheet = 2;
        g_ExcelDisplay = "Col";
    }
    bool On(COutputMode& dialog, int id) { return Control<wxRadioButton>(&dialog, id)->GetValue(); }
    MessageBoxRecorder boxes;
};

TEST_F(OutputModeTest, OpensOnTheCurrentModeAndOkStoresTheChosenOne) {
    struct Case {
        const char* mode;
        int radio;
        int choose;
        const char* stored;
    };
    const Case cases[] = {
        {"Link", COutputMode::kIdLink, COutputMode::kIdLog, "Log"},
        {"Log", COutputMode::kIdLog, COutputMode::kIdTest, "Test"},
        {"Test", COutputMode::kIdTest, COutputMode::kIdLink, "Link"},
    };
    for (const Case& c : cases) {
        g_OutMode = c.mode;
        COutputMode dialog;
        const int result = RunModal(dialog, [&] {
            for (int id :
                 {COutputMode::kIdLink, COutputMode::kIdLog, COutputMode::kIdTest, COutputMode::kIdExcel})
                EXPECT_EQ(On(dialog, id), id == c.radio) << c.mode << " " << id;
            EXPECT_FALSE(IsEnabled(&dialog, COutputMode::kIdFormat));
            ChooseRadio(&dialog, c.choose);
            Click(&dialog, wxID_OK);
        });
        EXPECT_EQ(result, wxID_OK);
        EXPECT_EQ(g_OutMode, c.stored);
        EXPECT_EQ(g_ExcelFile, "0");
    }
}

TEST_F(OutputModeTest, UnknownModeChecksNothingAndOkKeepsIt) {
    g_OutMode = "Printer";
    COutputMode dialog;
    RunModal(dialog, [&] {
        for (int id :
             {COutputMode::kIdLink, COutputMode::kIdLog, COutputMode::kIdTest, COutputMode::kIdExcel})
            EXPECT_FALSE(On(dialog, id)) << id;
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(g_OutMode, "Printer");
}

TEST_F(OutputModeTest, StreamTurnsLinkIntoTestAtOnce) {
    g_RunMode = "Stream";
    g_OutMode = "Link";
    COutputMode dialog;
    const int result = RunModal(dialog, [&] {
        EXPECT_TRUE(On(dialog, COutputMode::kIdTest));
        EXPECT_FALSE(On(dialog, COutputMode::kIdLink));
        EXPECT_FALSE(IsEnabled(&dialog, COutputMode::kIdLink));
        Click(&dialog, wxID_CANCEL);
    });
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(g_OutMode, "Test");
}

TEST_F(OutputModeTest, WorkbookIsDroppedOnOpeningUnlessTheModeIsExcel) {
    g_OutMode = "Log";
    g_ExcelFile = "/data/book.xlsx";
    COutputMode dialog;
    RunModal(dialog, [&] { Click(&dialog, wxID_CANCEL); });
    EXPECT_EQ(g_ExcelFile, "0");

    g_OutMode = "Excel";
    g_ExcelFile = "/data/book.xlsx";
    COutputMode again;
    RunModal(again, [&] {
        EXPECT_TRUE(On(again, COutputMode::kIdExcel));
        EXPECT_TRUE(IsEnabled(&again, COutputMode::kIdFormat));
        Click(&again, wxID_OK);
    });
    EXPECT_EQ(g_OutMode, "Excel");
    EXPECT_EQ(g_ExcelFile, "/data/book.xlsx");
}

TEST_F(OutputModeTest, FormatButtonFollowsTheExcelChoice) {
    COutputMode dialog;
    RunModal(dialog, [&] {
        ChooseRadio(&dialog, COutputMode::kIdExcel);
        EXPECT_TRUE(IsEnabled(&dialog, COutputMode::kIdFormat));
        ChooseRadio(&dialog, COutputMode::kIdLog);
        EXPECT_FALSE(IsEnabled(&dialog, COutputMode::kIdFormat));
    });
}

TEST_F(OutputModeTest, ExcelWithoutAWorkbookKeepsTheDialogOpen) {
    COutputMode dialog;
    const int result = RunModal(dialog, [&] {
        ChooseRadio(&dialog, COutputMode::kIdExcel);
        Click(&dialog, wxID_OK);
        EXPECT_TRUE(dialog.IsModal());
    });
    EXPECT_EQ(result, kStillOpen);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please specify an Excel file."});
    EXPECT_EQ(g_OutMode, "Excel"); // already set; the main window turns it back to Test on Cancel
}

TEST_F(OutputModeTest, WorkbookChosenInTheExcelFormatDialogIsKept) {
    COutputMode dialog;
    const int result = RunModal(dialog, [&] {
        ChooseRadio(&dialog, COutputMode::kIdExcel);
        WhenOpened<CExcelDlg>([](CExcelDlg& excel) {
            Type(&excel, CExcelDlg::kIdFile, "/data/weights.xlsx");
            Click(&excel, wxID_OK);
            EXPECT_FALSE(excel.IsModal());
        });
        Click(&dialog, COutputMode::kIdFormat);
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(g_OutMode, "Excel");
    EXPECT_EQ(g_ExcelFile, "/data/weights.xlsx");
    EXPECT_TRUE(boxes.Texts().empty());
}

} // namespace
