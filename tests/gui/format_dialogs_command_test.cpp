#include "window_fixture.h"

#include "app/gui/command_ids.h"
#include "comms/device.h"
#include "comms/settings.h"

namespace {

class FormatDialogCommandTest : public WindowTest {
protected:
    // Runs the command with a scale running, answers its dialog, and says whether the scale stopped.
    bool StopsTheScale(int command, int answer) {
        Device* dev = g_DeviceList.front().get();
        dev->m_stopping = 0;
        dev->StopEvent.Reset();
        StartIdleWorker(dev);
        {
            ModalAnswerer answerer(answer);
            Command(command);
            titles = answerer.Titles();
        }
        // Nothing but a stop ends the idle worker.
        const bool stopped = WasStopped(dev);
        EndIdleWorker(dev);
        return stopped;
    }
    std::vector<std::string> titles;
};

TEST_F(FormatDialogCommandTest, DataFormatStopsTheScalesBeforeItOpens) {
    ASSERT_TRUE(StartWithDefaults());
    EXPECT_TRUE(IsEnabled(ID_FIELD_SELECT));
    EXPECT_TRUE(StopsTheScale(ID_FIELD_SELECT, wxID_CANCEL));
    EXPECT_EQ(titles, std::vector<std::string>{"Data Format Setting"});
}

TEST_F(FormatDialogCommandTest, OutputModeAndHotKeyStopTheScalesOnlyWhenConfirmed) {
    ASSERT_TRUE(StartWithDefaults());
    const struct {
        int command;
        const char* title;
    } commands[] = {{ID_OUTPUT_MODE, "Computer Mode Setting"},
                    {ID_HOTKEY_SETTING, "Start Up & Hot Key Setting"}};
    for (const auto& c : commands) {
        EXPECT_TRUE(IsEnabled(c.command));
        EXPECT_FALSE(StopsTheScale(c.command, wxID_CANCEL)) << c.title;
        EXPECT_EQ(titles, std::vector<std::string>{c.title});
        EXPECT_TRUE(StopsTheScale(c.command, wxID_OK)) << c.title;
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(FormatDialogCommandTest, CancelledExcelModeWithoutAWorkbookFallsBackToTest) {
    ASSERT_TRUE(StartWithDefaults());
    g_OutMode = "Excel";
    g_ExcelFile = "0";
    m_boxes.clear();
    {
        ModalAnswerer answerer(wxID_CANCEL);
        Command(ID_OUTPUT_MODE);
    }
    EXPECT_EQ(m_boxes,
              std::vector<std::string>{"Output ExcelFile is not specified, Output set to Test mode."});
    EXPECT_EQ(g_OutMode, "Test");

    // With a workbook, or in another mode, Cancel leaves the mode alone.
    g_OutMode = "Excel";
    g_ExcelFile = "/data/book.xlsx";
    {
        ModalAnswerer answerer(wxID_CANCEL);
        Command(ID_OUTPUT_MODE);
    }
    EXPECT_EQ(g_OutMode, "Excel");
    EXPECT_EQ(m_boxes.size(), 1u);
}

} // namespace
