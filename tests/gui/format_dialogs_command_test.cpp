#include "window_fixture.h"

#include "app/gui/command_ids.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "dialogs/dialog_driver.h"
#include "dialogs/output_mode.h"
#include "dialogs/port_dlg.h"
#include "dialogs/scale_set.h"

#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace dialog_test;

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

// A setting that running workers read changes only once they have ended: a worker told to stop may
// still finish the frame in hand, and this one reads the setting as it does.
TEST_F(FormatDialogCommandTest, SettingsWorkersReadChangeOnlyOnceTheyHaveEnded) {
    ASSERT_TRUE(StartWithDefaults());
    Device* dev = g_DeviceList.front().get();
    const struct {
        int command;
        std::function<void()> change; // then OK
        std::function<std::string()> setting;
    } cases[] = {
        {ID_OUTPUT_MODE,
         [] {
             WhenOpened<COutputMode>([](COutputMode& dialog) {
                 ChooseRadio(&dialog, COutputMode::kIdLog);
                 Click(&dialog, wxID_OK);
             });
         },
         [] { return g_OutMode; }},
        {ID_SCALE_SETTING,
         [] {
             WhenOpened<CScaleSet>([](CScaleSet& dialog) {
                 ChooseRadio(&dialog, CScaleSet::IDC_STREAM_MODE);
                 Click(&dialog, wxID_OK);
             });
         },
         [] { return g_RunMode; }},
        {ID_PORT_SETTING,
         [] {
             WhenOpened<CPortDlg>([](CPortDlg& dialog) {
                 Type(&dialog, CPortDlg::IDC_NAME, "Renamed");
                 Click(&dialog, wxID_OK);
             });
         },
         [dev] { return dev->m_name; }},
    };
    for (const auto& c : cases) {
        const std::string before = c.setting();
        std::string seen;
        dev->m_stopping = 0;
        dev->StopEvent.Reset();
        dev->m_worker = std::make_unique<platform::WorkerThread>();
        dev->m_worker->Start("finishing", [&] {
            dev->StopEvent.Wait(10000);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            seen = c.setting();
            return 0u;
        });
        c.change();
        Command(c.command);
        EndIdleWorker(dev);
        EXPECT_EQ(seen, before) << c.command;
        EXPECT_NE(c.setting(), before) << c.command;
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
