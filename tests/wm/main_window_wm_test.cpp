// The main window under a window manager: where it stands, what it stores, and its status bar.
#include "gui/window_fixture.h"
#include "support/window_manager.h"

#include "app/gui/command_ids.h"
#include "app/gui/resources.h"
#include "app/gui_base/text.h"
#include "comms/settings.h"

#include <chrono>
#include <wx/statusbr.h>

namespace {

// The main window's outer rectangle as the X server has it: the window manager's frame around it.
wxRect ScreenFrameRect() {
    WindowManager::Rect frame;
    if (!WindowManager::FrameOf("Pondra", &frame))
        return wxRect();
    return wxRect(frame.x, frame.y, frame.width, frame.height);
}

} // namespace

class MainWindowWmTest : public WindowTest {
protected:
    // Waits until the window manager has framed the main window and the frame has stood still a while.
    void WaitForFrame() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        wxRect last;
        int still = 0;
        while (still < 10 && std::chrono::steady_clock::now() < deadline) {
            Pump(2);
            const wxRect now = ScreenFrameRect();
            still = !now.IsEmpty() && now == last ? still + 1 : 0;
            last = now;
        }
    }
};

TEST_F(MainWindowWmTest, StatusPanesShowTheirTextsAndEveryPromptWholeAtTheDefaultSize) {
    ASSERT_TRUE(StartWithDefaults());
    WaitForFrame();
    wxStatusBar* status = Frame()->GetStatusBar();
    // Whether the pane is wide enough to draw its text whole.
    const auto showsWhole = [status](int pane) {
        wxRect field;
        status->GetFieldRect(pane, field);
        // The last pane draws its text clear of the size grip.
        const int grip = pane == kPaneCount - 1 ? status->GetSize().y - 2 : 0;
        return status->GetTextExtent(status->GetStatusText(pane)).x <= field.width - 4 - grip;
    };
    std::vector<std::string> messages{kSettingsSavedText, "Hotkey \"Ctl + Alt +  A\" registered"};
    for (int id = ID_SCALE_SETTING; id <= ID_COMMS_STATUS; ++id)
        if (!CommandPrompt(id).empty())
            messages.push_back(CommandPrompt(id));
    for (const std::string& message : messages) {
        SCOPED_TRACE(message);
        Frame()->SetStatusText(FromBytes(message), kPaneMessage);
        Pump();
        EXPECT_TRUE(showsWhole(kPaneMessage));
    }
    Frame()->SetStatusText("", kPaneMessage);
    Pump();
    for (int pane = kPaneRunMode; pane < kPaneCount; ++pane)
        EXPECT_TRUE(showsWhole(pane)) << ToBytes(status->GetStatusText(pane));
    EXPECT_EQ(Frame()->GetPaneText(kPanePort), "COM1: 9600, Even, 8, 1, None");
}
