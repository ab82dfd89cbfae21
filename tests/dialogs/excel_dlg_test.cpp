#include "comms/settings.h"
#include "dialog_driver.h"
#include "dialogs/excel_dlg.h"
#include "support/x_typing.h"

using namespace dialog_test;
using Names = std::vector<std::string>;

namespace {

class ExcelDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsValues();
        g_FieldEnabled.fill(0);
        g_FieldEnabled[0] = 1; // the sign flag has no name and is never listed
        g_FieldEnabled[DF_DATE_TIME] = g_FieldEnabled[DF_ID_CODE] = g_FieldEnabled[DF_NET_WEIGHT] = 1;
        g_ExcelFile = "/data/book.xlsx";
        g_ExcelCell = "B2";
        g_ExcelSheet = 2;
        g_ExcelDisplay = "Col";
        g_ExcelNextCell = "B7";
        g_OutputFields.fill("");
        g_OutputFields[0] = "Net Weight";
        g_OutputFields[1] = "Tare Weight";
        g_OutputFields[2] = "-----";
        g_OutputFields[3] = "Gross Weight";
    }
    void TearDown() override { CExcelDlg::SetFileChooser(nullptr); }

    int Run(std::function<void(CExcelDlg&)> script) {
        CExcelDlg dialog;
        return RunModal(dialog, [&] { script(dialog); });
    }
    Names List(CExcelDlg& dialog) { return ListItems(&dialog, CExcelDlg::kIdOrder); }
    MessageBoxRecorder boxes;
};

TEST_F(ExcelDlgTest, ListOpensWithTheStoredFieldsUpToTheEndMark) {
    Run([&](CExcelDlg& dialog) {
        EXPECT_EQ(List(dialog), (Names{"Net Weight", "Tare Weight", "-----"}));
        EXPECT_EQ(Text(&dialog, CExcelDlg::kIdFile), "/data/book.xlsx");
        EXPECT_EQ(Text(&dialog, CExcelDlg::kIdCell), "B2");
        EXPECT_EQ(Text(&dialog, CExcelDlg::kIdSheet), "2");
        EXPECT_TRUE(Control<wxRadioButton>(&dialog, CExcelDlg::kIdByColumn)->GetValue());
    });
    // Without a workbook the list is the enabled fields in their order.
    g_ExcelFile = "0";
    g_ExcelDisplay = "row";
    Run([&](CExcelDlg& dialog) {
        EXPECT_EQ(List(dialog), (Names{"Date Time", "Code Number", "Net Weight", "-----"}));
        EXPECT_EQ(Text(&dialog, CExcelDlg::kIdFile), "");
        EXPECT_TRUE(Control<wxRadioButton>(&dialog, CExcelDlg::kIdByRows)->GetValue());
    });
    // Never more than 31 names, with or without a workbook.
    g_FieldEnabled.fill(1);
    Run([&](CExcelDlg& dialog) {
        const Names list = List(dialog);
        ASSERT_EQ(list.size(), 32u);
        EXPECT_EQ(list[30], "Total Price");
        EXPECT_EQ(list[31], "-----");
    });
    g_ExcelFile = "/data/book.xlsx";
    g_OutputFields.fill("Net Weight");
    Run([&](CExcelDlg& dialog) { EXPECT_EQ(List(dialog).size(), 32u); });
}

TEST_F(ExcelDlgTest, OkStoresEverySettingAndTheListWithItsEndMark) {
    const int result = Run([&](CExcelDlg& dialog) {
        Type(&dialog, CExcelDlg::kIdCell, "c12");
        Type(&dialog, CExcelDlg::kIdSheet, "3");
        ChooseRadio(&dialog, CExcelDlg::kIdByRows);
        SetCheck(&dialog, CExcelDlg::kIdVisibility, false);
        SelectListItem(&dialog, CExcelDlg::kIdOrder, 1);
        Click(&dialog, CExcelDlg::kIdUp);
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(g_ExcelCell, "C12");
    EXPECT_EQ(g_ExcelSheet, 3);
    EXPECT_EQ(g_ExcelDisplay, "Row");
    EXPECT_EQ(g_ExcelByRows, 1);
    EXPECT_EQ(g_ExcelVisibility, 0);
    EXPECT_EQ(g_ExcelNextCell, "");
    EXPECT_EQ(g_OutputFields[0], "Tare Weight");
    EXPECT_EQ(g_OutputFields[1], "Net Weight");
    EXPECT_EQ(g_OutputFields[2], "-----");
    EXPECT_EQ(g_OutputFields[3], "Gross Weight"); // after the mark: kept, never read
}

TEST_F(ExcelDlgTest, EachFailingCheckIsReportedAndTheOthersAreStored) {
    struct Case {
        const char* file;
        const char* cell;
        const char* sheet;
        Names messages;
        const char* storedFile;
        const char* storedCell;
        int storedSheet;
    };
    const Case cases[] = {
        {"/data/new.xlsx", "A12B", "4", {"Invalid coordinate at Cell Start!"}, "/data/new.xlsx", "B2", 4},
        {"/data/new.xlsx",
         "A1B2",
         "0",
         {"Excel sheet number only allows positive number!"},
         "/data/new.xlsx",
         "A1B2",
         2},
        {"",
         "",
         "-1",
         {"File Name is empty!", "Invalid coordinate at Cell Start!",
          "Excel sheet number only allows positive number!"},
         "/data/book.xlsx",
         "B2",
         2},
        {"/data/new.xlsx",
         "1A",
         "x",
         {"Please enter an integer.", "Invalid coordinate at Cell Start!"},
         "/data/new.xlsx",
         "B2",
         2},
    };
    for (const Case& c : cases) {
        SetUp();
        boxes.Clear();
        const int result = Run([&](CExcelDlg& dialog) {
            Type(&dialog, CExcelDlg::kIdFile, c.file);
            Type(&dialog, CExcelDlg::kIdCell, c.cell);
            Type(&dialog, CExcelDlg::kIdSheet, c.sheet);
            Click(&dialog, wxID_OK);
        });
        EXPECT_EQ(result, kStillOpen) << c.cell;
        EXPECT_EQ(boxes.Texts(), c.messages) << c.cell;
        EXPECT_EQ(g_ExcelFile, c.storedFile) << c.cell;
        EXPECT_EQ(g_ExcelCell, c.storedCell) << c.cell;
        EXPECT_EQ(g_ExcelSheet, c.storedSheet) << c.cell;
        EXPECT_EQ(g_ExcelNextCell, "") << c.cell; // emptied by every press of OK
    }
}

TEST_F(ExcelDlgTest, ThirtyOneNamesFitAndThirtyTwoAreRefused) {
    g_OutputFields.fill("Net Weight");
    const int result = Run([&](CExcelDlg& dialog) {
        ASSERT_EQ(List(dialog).size(), 32u); // 31 names and the mark
        Click(&dialog, CExcelDlg::kIdBlank);
        Click(&dialog, CExcelDlg::kIdUp); // the blank moves above the mark: 32 names
        EXPECT_EQ(List(dialog)[31], " <Blank>");
        Click(&dialog, wxID_OK);
        EXPECT_EQ(boxes.Texts(),
                  Names{"Only allow less than 32 lines.\nMake sure there is no blank line after end "
                        "of field marking."});
        // Taking one name out again makes the list acceptable.
        SelectListItem(&dialog, CExcelDlg::kIdOrder, 0);
        Click(&dialog, CExcelDlg::kIdDelete);
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(g_OutputFields[30], " <Blank>");
    EXPECT_EQ(g_OutputFields[31], "-----");
}

TEST_F(ExcelDlgTest, BlankAfterTheMarkIsNeverCopied) {
    const int result = Run([&](CExcelDlg& dialog) {
        Click(&dialog, CExcelDlg::kIdBlank);
        EXPECT_EQ(List(dialog), (Names{"Net Weight", "Tare Weight", "-----", " <Blank>"}));
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(g_OutputFields[2], "-----");
    EXPECT_EQ(g_OutputFields[3], "Gross Weight");
}

TEST_F(ExcelDlgTest, MovingItemsKeepsEveryItem) {
    Run([&](CExcelDlg& dialog) {
        // Nothing selected: the move buttons do nothing.
        Click(&dialog, CExcelDlg::kIdDown);
        EXPECT_EQ(List(dialog), (Names{"Net Weight", "Tare Weight", "-----"}));
        SelectListItem(&dialog, CExcelDlg::kIdOrder, 1); // second to last
        EXPECT_TRUE(IsEnabled(&dialog, CExcelDlg::kIdUp));
        Click(&dialog, CExcelDlg::kIdDown);
        EXPECT_EQ(List(dialog), (Names{"Net Weight", "-----", "Tare Weight"}));
        EXPECT_FALSE(IsEnabled(&dialog, CExcelDlg::kIdDown)); // now the last item
        SelectListItem(&dialog, CExcelDlg::kIdOrder, 0);
        EXPECT_FALSE(IsEnabled(&dialog, CExcelDlg::kIdUp));
        // The blank is selected by the dialog itself; moves past the ends change nothing.
        Click(&dialog, CExcelDlg::kIdBlank);
        EXPECT_FALSE(IsEnabled(&dialog, CExcelDlg::kIdDown));
        EXPECT_EQ(List(dialog), (Names{"Net Weight", "-----", "Tare Weight", " <Blank>"}));
        Click(&dialog, CExcelDlg::kIdUp);
        Click(&dialog, CExcelDlg::kIdUp);
        Click(&dialog, CExcelDlg::kIdUp);
        EXPECT_EQ(List(dialog), (Names{" <Blank>", "Net Weight", "-----", "Tare Weight"}));
        EXPECT_FALSE(IsEnabled(&dialog, CExcelDlg::kIdUp));
    });
}

TEST_F(ExcelDlgTest, DeleteRefusesTheMarkAndNeedsASelection) {
    Run([&](CExcelDlg& dialog) {
        Click(&dialog, CExcelDlg::kIdDelete);
        SelectListItem(&dialog, CExcelDlg::kIdOrder, 2);
        Click(&dialog, CExcelDlg::kIdDelete);
        SelectListItem(&dialog, CExcelDlg::kIdOrder, 0);
        Click(&dialog, CExcelDlg::kIdDelete);
        EXPECT_EQ(List(dialog), (Names{"Tare Weight", "-----"}));
        // Reset brings back the enabled fields; typed settings stay as typed.
        Type(&dialog, CExcelDlg::kIdCell, "D4");
        Click(&dialog, CExcelDlg::kIdReset);
        EXPECT_EQ(List(dialog), (Names{"Date Time", "Code Number", "Net Weight", "-----"}));
        EXPECT_EQ(Text(&dialog, CExcelDlg::kIdCell), "D4");
    });
    EXPECT_EQ(boxes.Texts(), (Names{"Please select a delete field!", "Cannot delete end of field marking!"}));
}

TEST_F(ExcelDlgTest, BrowseTakesTheChosenFileAndCancelKeepsTheName) {
    std::string answer = "/data/other.xlsx";
    CExcelDlg::SetFileChooser([&](wxWindow*) { return answer; });
    Run([&](CExcelDlg& dialog) {
        Click(&dialog, CExcelDlg::kIdBrowse);
        EXPECT_EQ(Text(&dialog, CExcelDlg::kIdFile), "/data/other.xlsx");
        answer = "";
        Click(&dialog, CExcelDlg::kIdBrowse);
        EXPECT_EQ(Text(&dialog, CExcelDlg::kIdFile), "/data/other.xlsx");
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(g_ExcelFile, "/data/other.xlsx");
}

// Paths keep the file system's bytes: typed (through the X server) or browsed, UTF-8 names are
// stored as UTF-8, and a path with an ISO-8859-1 name stays as it was. What Pondra.ini cannot keep
// is refused with a message; a browsed path that is refused leaves the old name in place.
TEST_F(ExcelDlgTest, PathsKeepTheFileSystemsBytes) {
    XTyping keys;
    if (!keys.Error().empty())
        GTEST_SKIP() << keys.Error();
    struct Case {
        const char* typed; // UTF-8
        const char* box;
    };
    const Case cases[] = {
        {"/home/u/W\xC3\xA4gung.xlsx", ""},
        {"/home/u/\xC5\x81\xC3\xB3"
         "d\xC5\xBA.xlsx",
         ""},
        {"/home/u/a;b.xlsx", "The file name cannot hold the character \";\": Pondra.ini ends a value there."},
    };
    for (const Case& c : cases) {
        g_ExcelFile = "/data/book.xlsx";
        boxes.Clear();
        Run([&](CExcelDlg& dialog) {
            auto* file = Control<wxTextCtrl>(&dialog, CExcelDlg::kIdFile);
            file->ChangeValue("");
            ASSERT_TRUE(keys.Focus(file));
            keys.Type(wxString::FromUTF8(c.typed));
            ASSERT_TRUE(XTyping::Until([&] { return file->GetValue() == wxString::FromUTF8(c.typed); }));
            Click(&dialog, wxID_OK);
        });
        EXPECT_EQ(boxes.Texts(), *c.box ? Names{c.box} : Names{});
        EXPECT_EQ(g_ExcelFile, *c.box ? "/data/book.xlsx" : c.typed);
    }

    g_ExcelFile = "/data/W\xE4gung.xlsx"; // an ISO-8859-1 file name, not UTF-8
    boxes.Clear();
    std::string answer = "/data/" + std::string(300, 'x') + ".xlsx";
    CExcelDlg::SetFileChooser([&](wxWindow*) { return answer; });
    Run([&](CExcelDlg& dialog) {
        auto* file = Control<wxTextCtrl>(&dialog, CExcelDlg::kIdFile);
        const wxString shown = file->GetValue();
        Click(&dialog, wxID_OK);
        EXPECT_EQ(g_ExcelFile, "/data/W\xE4gung.xlsx");
        Click(&dialog, CExcelDlg::kIdBrowse);
        EXPECT_EQ(file->GetValue(), shown);
        answer = "/data/\xC3\x84pfel.xlsx";
        Click(&dialog, CExcelDlg::kIdBrowse);
        EXPECT_EQ(file->GetValue(), wxString::FromUTF8("/data/Äpfel.xlsx"));
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(boxes.Texts(), Names{"The file name is too long: Pondra.ini keeps at most 249 bytes of it."});
    EXPECT_EQ(g_ExcelFile, "/data/\xC3\x84pfel.xlsx");
}

TEST_F(ExcelDlgTest, CancelStoresNothing) {
    const auto fields = g_OutputFields;
    const int result = Run([&](CExcelDlg& dialog) {
        Type(&dialog, CExcelDlg::kIdFile, "/data/new.xlsx");
        Type(&dialog, CExcelDlg::kIdSheet, "5");
        Click(&dialog, CExcelDlg::kIdReset);
        Click(&dialog, wxID_CANCEL);
    });
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(g_ExcelFile, "/data/book.xlsx");
    EXPECT_EQ(g_ExcelSheet, 2);
    EXPECT_EQ(g_ExcelNextCell, "B7");
    EXPECT_EQ(g_OutputFields, fields);
}

} // namespace
