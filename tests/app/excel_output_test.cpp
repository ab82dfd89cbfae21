#include "app/core/excel_output.h"
#include "comms/device.h"
#include "support/file_conditions.h"
#include "support/recording_notify.h"
#include "support/xlsx_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// Stands in for the main frame: records boxes and stops, answers the save question, and closes
// the spreadsheet when the transfer stops, as the frame's StopAll does.
class FakeFrame : public ExcelOutputHost {
public:
    ExcelOutput output{*this};
    std::vector<std::string> events;
    bool answerYes = true;
    bool running = false;

    void StopAll() override {
        events.push_back("stop");
        if (running) {
            running = false;
            output.CloseExcel();
        }
    }
    bool ShowExcelBox(const platform::MessageText& text, const std::string& caption, ExcelBox box) override {
        EXPECT_EQ(busyDepth, 0) << "a box while the frame shows itself busy: " << text;
        events.push_back(caption + ": " + text.Bytes());
        return box == ExcelBox::kSaveQuestion && answerYes;
    }
    std::string CurrentDateTimeText() override { return "09.12.2026 05:00"; }
    void BeginBusy(const std::string& status) override {
        busy.push_back(status);
        ++busyDepth;
    }
    void EndBusy() override { --busyDepth; }
    std::vector<std::string> busy; // each time the frame showed itself busy, and why
    int busyDepth = 0;

    bool Start() {
        running = true;
        const bool started = output.StartExcel();
        if (!started)
            running = false;
        return started;
    }
    void Stop() { StopAll(); }
};

const char kSaveQuestion[] = "Save Changes?: Press Yes to save any changes and close Excel";

class ExcelOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsValues();
        MakeWorkbook("rich", m_path);
        g_ExcelFile = m_path;
        g_ExcelSheet = 1;
        g_ExcelCell = "B2";
        g_ExcelDisplay = "Col";
        SetFields({"Net Weight", "Gross Weight", "-----"});
        m_dev.m_name = "Scale01";
        m_frame.output.SetJournalFolder(m_dir.Path());
    }
    void TearDown() override { ResetSettingsValues(); }

    static void SetFields(const std::vector<std::string>& fields) {
        g_OutputFields.fill("");
        std::copy(fields.begin(), fields.end(), g_OutputFields.begin());
    }
    void Reading(const std::string& net, const std::string& gross) {
        SetReadingField(&m_dev, DF_NET_WEIGHT, net);
        SetReadingField(&m_dev, DF_GROSS_WEIGHT, gross);
        SetReadingField(&m_dev, DF_TARE_WEIGHT, "t" + net);
        TakeCurrentReading(&m_dev);
        m_frame.output.WriteReadingToExcel(m_dev);
    }
    std::size_t Journals() const { return FindJournals(m_dir.Path()).size(); }
    std::string Cell(const std::map<std::string, std::string>& dump, const std::string& cell) {
        auto it = dump.find("Data!" + cell);
        return it == dump.end() ? "" : it->second.substr(0, it->second.find('\t'));
    }

    TempDir m_dir;
    std::string m_path = m_dir.File("readings.xlsx");
    Device m_dev;
    FakeFrame m_frame;
};

} // namespace

// The start cell B2 holds a value, so the readings go after the last filled cell of their columns
// (B4, a formula) or rows (C2).
TEST_F(ExcelOutputTest, ReadingsFollowTheDirection) {
    const struct {
        int byRows;
        std::vector<std::string> cells; // first reading's two cells, then the second's
    } cases[] = {{0, {"B5", "C5", "B6", "C6"}}, {1, {"D2", "D3", "E2", "E3"}}};
    for (const auto& c : cases) {
        MakeWorkbook("rich", m_path);
        g_ExcelByRows = c.byRows;
        g_ExcelNextCell.clear();
        ASSERT_TRUE(m_frame.Start());
        Reading("1.5", "2.5");
        Reading("3.5", "4.5");
        m_frame.Stop();
        EXPECT_EQ(m_frame.events, (std::vector<std::string>{"stop", kSaveQuestion}));
        m_frame.events.clear();
        // Reading the workbook and its sheet, and saving it, may take seconds on large files.
        EXPECT_EQ(m_frame.busy,
                  (std::vector<std::string>{"Opening the workbook...", "Opening the workbook...",
                                            "Saving the workbook..."}));
        EXPECT_EQ(m_frame.busyDepth, 0);
        m_frame.busy.clear();
        const auto dump = DumpWorkbook(m_path);
        const char* values[] = {"float:1.5", "float:2.5", "float:3.5", "float:4.5"};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Cell(dump, c.cells[i]), values[i]) << c.byRows << " " << c.cells[i];
        EXPECT_EQ(g_ExcelNextCell, c.byRows ? "E2" : "B6");
    }
}

TEST_F(ExcelOutputTest, BlankEntryLeavesItsCellAndTheRestOfTheWorkbookAlone) {
    const auto before = DumpWorkbook(m_path);
    SetFields({"Net Weight", " <Blank>", "Tare Weight", "Scale Name", "-----"});
    ASSERT_TRUE(m_frame.Start());
    Reading("7", "8");
    m_frame.Stop();
    // Below E7, the last filled cell of the reading's columns.
    auto expected = before;
    expected["Data!B8"] = "int:7\tFalse|00000000|General";
    expected["Data!D8"] = "str:'t7'\tFalse|00000000|General";
    expected["Data!E8"] = "str:'Scale01'\tFalse|00000000|General";
    EXPECT_EQ(DumpWorkbook(m_path), expected);
}

TEST_F(ExcelOutputTest, AnsweringNoLeavesTheFileAsItWasOnDisk) {
    const std::string bytes = ReadBytes(m_path);
    m_frame.answerYes = false;
    ASSERT_TRUE(m_frame.Start());
    Reading("1", "2");
    m_frame.Stop();
    EXPECT_EQ(ReadBytes(m_path), bytes);
    // A reading that was still queued, and a second close, do nothing.
    Reading("3", "4");
    m_frame.output.CloseExcel();
    EXPECT_EQ(m_frame.events, (std::vector<std::string>{"stop", kSaveQuestion}));
    EXPECT_EQ(ReadBytes(m_path), bytes);
    // Nor does the next start put them in.
    EXPECT_EQ(Journals(), 0u);
}

// Two transfers, then a transfer of the program's next run, which begins again at the start cell:
// each reading goes below the last, and no cell that held a value is written over.
TEST_F(ExcelOutputTest, ReadingsContinueAfterARestartAndNeverGoOverAValue) {
    const auto before = DumpWorkbook(m_path);
    for (const auto& [net, nextRun] : {std::pair{"1", false}, {"3", false}, {"5", true}}) {
        if (nextRun)
            g_ExcelNextCell.clear();
        ASSERT_TRUE(m_frame.Start());
        Reading(net, "2");
        m_frame.Stop();
    }
    auto expected = before;
    for (const auto& [cell, value] : {std::pair{"B5", "int:1"}, {"B6", "int:3"}, {"B7", "int:5"}}) {
        expected[std::string("Data!") + cell] = std::string(value) + "\tFalse|00000000|General";
        expected[std::string("Data!C") + (cell + 1)] = "int:2\tFalse|00000000|General";
    }
    EXPECT_EQ(DumpWorkbook(m_path), expected);
}

TEST_F(ExcelOutputTest, MissingSheetStopsButKeepsTheWorkbookOpen) {
    g_ExcelSheet = 9;
    EXPECT_TRUE(m_frame.Start());
    EXPECT_EQ(m_frame.events,
              (std::vector<std::string>{"Sheet error: There is not sheet number 9 in " + m_path, "stop"}));
    // A reading from a scale that still runs has no sheet to go to.
    const std::string bytes = ReadBytes(m_path);
    Reading("1", "2");
    m_frame.running = true;
    m_frame.Stop();
    EXPECT_EQ(m_frame.events.back(), kSaveQuestion);
    EXPECT_EQ(ReadBytes(m_path), bytes);
    EXPECT_TRUE(g_ExcelNextCell.empty());
}

TEST_F(ExcelOutputTest, EmptyFieldListStopsAndStartsOverAtTheStartCell) {
    ASSERT_TRUE(m_frame.Start());
    Reading("1", "2");
    SetFields({});
    Reading("3", "4");
    EXPECT_EQ(m_frame.events,
              (std::vector<std::string>{"stop", kSaveQuestion, "Pondra: No input fields for Excel!"}));
    EXPECT_TRUE(g_ExcelNextCell.empty());

    SetFields({"Gross Weight", "-----"});
    ASSERT_TRUE(m_frame.Start());
    Reading("5", "6");
    m_frame.Stop();
    const auto dump = DumpWorkbook(m_path);
    EXPECT_EQ(Cell(dump, "B6"), "int:6"); // from B2 on, below the first transfer's B5
    EXPECT_EQ(Cell(dump, "C5"), "int:2");
}

TEST_F(ExcelOutputTest, StartCellIsRepairedOrTheStartFails) {
    g_ExcelCell = "c5";
    ASSERT_TRUE(m_frame.Start());
    EXPECT_EQ(g_ExcelCell, "B5");
    Reading("1", "2");
    m_frame.Stop();
    EXPECT_EQ(Cell(DumpWorkbook(m_path), "B5"), "int:1");

    g_ExcelCell.clear();
    m_frame.events.clear();
    EXPECT_FALSE(m_frame.Start());
    EXPECT_EQ(m_frame.events, (std::vector<std::string>{"Error: General Exception Error.", "stop"}));
}

// Workbooks that cannot be read, or written (which every save does), fail the start, and say why.
TEST_F(ExcelOutputTest, WorkbooksThatCannotBeUsedFailTheStart) {
    WriteBytes(m_dir.File("text.xlsx"), "Net;Gross\n");
    const std::string readOnly = m_dir.File("read-only.xlsx");
    MakeWorkbook("rich", readOnly);
    std::filesystem::permissions(readOnly, std::filesystem::perms(0444));
    const std::string mounted = m_dir.File("mounted") + "/book.xlsx";
    std::filesystem::create_directory(m_dir.File("mounted"));
    MakeWorkbook("rich", mounted);
    const ReadOnlyMount mount(m_dir.File("mounted"));
    if (!mount.Made())
        RecordProperty("not_tested", "a workbook on a read-only mount: mounting needs root");
    struct Case {
        std::string file;
        int sheet;
        std::string box;
    };
    std::vector<Case> cases = {
        {m_dir.File("text.xlsx"), 1,
         "Server Error: Run-time error '1004'L\n\n'" + m_dir.File("text.xlsx") +
             "' is not a valid .xlsx workbook: "},
        {m_dir.File("none.xlsx"), 1,
         "Server Error: Run-time error '1004'L\n\nCannot open the workbook '" + m_dir.File("none.xlsx") +
             "': No such file or directory"},
        {m_path, 3,
         "Server Error: Run-time error '438'L\n\nThe sheet Chart of '" + m_path + "' has no cells."},
        {m_path, 0, "Server Error: Run-time error '9'L\n\nSubscript out of range"},
        {readOnly, 1,
         "Server Error: Run-time error '1004'L\n\nCannot write to the workbook '" + readOnly +
             "': it is read-only (r--r--r--)."},
    };
    if (mount.Made())
        cases.push_back({mounted, 1,
                         "Server Error: Run-time error '1004'L\n\nCannot write to the workbook '" + mounted +
                             "': Read-only file system."});
    for (const auto& c : cases) {
        g_ExcelFile = c.file;
        g_ExcelSheet = c.sheet;
        m_frame.events.clear();
        EXPECT_FALSE(m_frame.Start()) << c.file;
        ASSERT_EQ(m_frame.events.size(), 2u);
        EXPECT_EQ(m_frame.events[0].substr(0, c.box.size()), c.box);
        EXPECT_EQ(m_frame.events[1], "stop");
        Reading("1", "2"); // nothing to write into
    }
    EXPECT_EQ(m_frame.events.size(), 2u);
}

TEST_F(ExcelOutputTest, AFailedWriteKeepsTheFieldsBeforeIt) {
    g_ExcelCell = "XFD2"; // the second field would be past the last column
    ASSERT_TRUE(m_frame.Start());
    Reading("1", "2");
    // The reason comes before the stop's save question.
    EXPECT_EQ(m_frame.events,
              (std::vector<std::string>{"stop", "Pondra: \"XFE2\" is not a cell address of the sheet.",
                                        kSaveQuestion}));
    EXPECT_EQ(Cell(DumpWorkbook(m_path), "XFD2"), "int:1");
}

TEST_F(ExcelOutputTest, AFailedSaveIsAskedAgainAtTheNextClose) {
    const std::string folder = m_dir.File("sub");
    std::filesystem::create_directory(folder);
    g_ExcelFile = folder + "/book.xlsx";
    std::filesystem::rename(m_path, g_ExcelFile);
    ASSERT_TRUE(m_frame.Start());
    Reading("1", "2");
    std::filesystem::rename(folder, m_dir.File("away"));
    m_frame.Stop();
    ASSERT_EQ(m_frame.events.size(), 3u);
    EXPECT_NE(m_frame.events[2].find("Cannot save the workbook"), std::string::npos) << m_frame.events[2];
    EXPECT_EQ(Journals(), 1u); // for the next start, should the program end now

    // A new transfer asks again, and does not begin while they cannot be saved.
    m_frame.events.clear();
    EXPECT_FALSE(m_frame.Start());
    ASSERT_EQ(m_frame.events.size(), 3u);
    EXPECT_EQ(m_frame.events[0], kSaveQuestion);
    EXPECT_EQ(m_frame.events[2], "stop");

    std::filesystem::rename(m_dir.File("away"), folder);
    m_frame.events.clear();
    m_frame.output.CloseExcel(); // as the program's end does
    EXPECT_EQ(m_frame.events, (std::vector<std::string>{kSaveQuestion}));
    EXPECT_EQ(Cell(DumpWorkbook(g_ExcelFile), "B5"), "int:1");
    EXPECT_EQ(Journals(), 0u);
}

// What a run that was killed leaves behind: its journal, the last reading cut off.
TEST_F(ExcelOutputTest, JournalsLeftBehindGoIntoTheirWorkbooksAtTheStart) {
    const std::string journal = m_dir.File("Pondra-1-1.journal");
    WriteBytes(journal, "Pondra journal of readings not yet saved in a workbook\nWorkbook: " + m_path +
                            "\nSheet: Data\nB5\t12.5\nC5\ta\\tb\n.\nB6\t13\n");
    const std::string away = m_dir.File("away.xlsx");
    std::filesystem::rename(m_path, away);
    m_frame.output.RecoverUnsavedReadings();
    ASSERT_EQ(m_frame.events.size(), 1u);
    EXPECT_EQ(m_frame.events[0].substr(0, m_frame.events[0].find(':', 8)),
              "Pondra: Pondra ended before it saved the workbook " + m_path +
                  ".\nThe 1 reading of that transfer cannot be saved in it now");
    EXPECT_NE(m_frame.events[0].find("They are kept in " + journal), std::string::npos);

    std::filesystem::rename(away, m_path);
    m_frame.events.clear();
    m_frame.output.RecoverUnsavedReadings();
    EXPECT_EQ(m_frame.events,
              std::vector<std::string>{"Pondra: Pondra ended before it saved the workbook " + m_path +
                                       ".\nThe 1 reading of that transfer was recovered and saved "
                                       "in it."});
    EXPECT_FALSE(std::filesystem::exists(journal));
    const auto dump = DumpWorkbook(m_path);
    EXPECT_EQ(Cell(dump, "B5"), "float:12.5");
    EXPECT_EQ(Cell(dump, "C5"), "str:'a\\tb'");
    EXPECT_EQ(Cell(dump, "B6"), "");

    // The journal of a transfer that runs is left alone.
    ASSERT_TRUE(m_frame.Start());
    Reading("1", "2");
    FakeFrame nextRun;
    nextRun.output.SetJournalFolder(m_dir.Path());
    nextRun.output.RecoverUnsavedReadings();
    EXPECT_TRUE(nextRun.events.empty());
    EXPECT_EQ(Journals(), 1u);
}
