#include "window_fixture.h"

#include "app/gui/command_ids.h"
#include "comms/device.h"
#include "comms/settings.h"

namespace {

class ScaleDialogCommandTest : public WindowTest {
protected:
    // Starts an idle worker on every scale, runs the command, ends its dialog with `answer`, and
    // returns for each scale whether it was told to stop.
    std::vector<bool> StoppedScales(int command, int answer) {
        for (const auto& dev : g_DeviceList) {
            dev->m_stopping = 0;
            dev->StopEvent.Reset();
            StartIdleWorker(dev.get());
        }
        {
            ModalAnswerer answerer(answer);
            Command(command);
            m_titles = answerer.Titles();
        }
        std::vector<bool> stopped;
        for (const auto& dev : g_DeviceList) {
            stopped.push_back(WasStopped(dev.get()));
            EndIdleWorker(dev.get());
        }
        return stopped;
    }
    std::vector<std::string> m_titles;
};

TEST_F(ScaleDialogCommandTest, PortSettingStopsOnlyTheScaleItShowedAndOnlyOnOk) {
    ASSERT_TRUE(StartWithDefaults());
    CreateDevice()->m_port = "COM2";
    EXPECT_TRUE(IsEnabled(ID_PORT_SETTING));
    EXPECT_EQ(StoppedScales(ID_PORT_SETTING, wxID_CANCEL), (std::vector<bool>{false, false}));
    EXPECT_EQ(m_titles, std::vector<std::string>{"Port Setting"});
    EXPECT_EQ(StoppedScales(ID_PORT_SETTING, wxID_OK), (std::vector<bool>{true, false}));
}

TEST_F(ScaleDialogCommandTest, ScaleSettingStopsOnOkAndAlwaysRecomputesTheGetTimer) {
    ASSERT_TRUE(StartWithDefaults());
    g_CommandInterval = "2";
    EXPECT_EQ(StoppedScales(ID_SCALE_SETTING, wxID_CANCEL), std::vector<bool>{false});
    EXPECT_EQ(m_titles, std::vector<std::string>{"Scale Setting"});
    EXPECT_EQ(Frame()->GetTimerInterval(), 120000u);
    g_CommandInterval = "";
    EXPECT_EQ(StoppedScales(ID_SCALE_SETTING, wxID_OK), std::vector<bool>{true});
    EXPECT_EQ(Frame()->GetTimerInterval(), 0u);
}

TEST_F(ScaleDialogCommandTest, StatusAndSelectDialogsStopNothing) {
    ASSERT_TRUE(StartWithDefaults());
    EXPECT_EQ(StoppedScales(ID_COMMS_STATUS, wxID_CANCEL), std::vector<bool>{false});
    EXPECT_EQ(m_titles, std::vector<std::string>{"Scale Communication Status"});

    g_RunMode = "Command";
    g_CommandInterval = "1";
    EXPECT_TRUE(IsEnabled(ID_TRANSFER_SELECT));
    EXPECT_EQ(StoppedScales(ID_TRANSFER_SELECT, wxID_CANCEL), std::vector<bool>{false});
    EXPECT_EQ(m_titles, std::vector<std::string>{"Transfer Select"});
    EXPECT_EQ(Frame()->GetTimerInterval(), 60000u);

    // Select is offered only in Command mode.
    for (const char* mode : {"Manual", "Stream"}) {
        g_RunMode = mode;
        EXPECT_FALSE(IsEnabled(ID_TRANSFER_SELECT)) << mode;
    }
}

} // namespace
