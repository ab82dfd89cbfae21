// The main window under a window manager: where it stands, what it stores, how it closes, and its
// status bar.
#include "gui/window_fixture.h"
#include "support/window_manager.h"
#include "support/x_typing.h"

#include "app/gui/command_ids.h"
#include "app/gui/pondra_doc.h"
#include "app/gui/resources.h"
#include "app/gui/status_pane_bar.h"
#include "app/gui_base/text.h"
#include "comms/settings.h"
#include "dialogs/exit_dialog.h"

#include <chrono>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <X11/keysym.h>

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

TEST_F(MainWindowWmTest, PlacementRoundTripsExactlyWithTheFramesDecorations) {
    SetProfileValue("/Settings/DontShowExit", 1);
    const wxRect moved(120, 80, 640, 400);
    for (int start = 0; start < 4; ++start) {
        SCOPED_TRACE(testing::Message() << "start " << start);
        // Two starts at the default place, then one after the user moved the window, then one more.
        const wxRect expected = start < 2 ? wxRect(50, 50, 550, 350) : moved;
        ASSERT_TRUE(start == 0 ? Start() : StartWithDefaults());
        WaitForFrame();
        EXPECT_EQ(ScreenFrameRect(), expected);
        EXPECT_EQ(Frame()->GetRect(), expected);
        if (start == 1) {
            Frame()->SetSize(moved);
            WaitForFrame();
            EXPECT_EQ(ScreenFrameRect(), moved);
        }
        ASSERT_TRUE(CloseWindow());
        Exit();
        const wxRect stored = start < 1 ? expected : moved;
        EXPECT_EQ(ProfileValue("/Settings/WindowLeft", 0), stored.GetLeft());
        EXPECT_EQ(ProfileValue("/Settings/WindowTop", 0), stored.GetTop());
        EXPECT_EQ(ProfileValue("/Settings/WindowRight", 0), stored.GetRight() + 1);
        EXPECT_EQ(ProfileValue("/Settings/WindowBottom", 0), stored.GetBottom() + 1);
    }
}

// Closed as a person closes it from the keyboard: Alt+F4, then Escape keeps Pondra open and
// Return ends it.
TEST_F(MainWindowWmTest, ExitQuestionAnsweredByKey) {
    XTyping keys;
    ASSERT_EQ(keys.Error(), "");
    ASSERT_TRUE(StartWithDefaults());
    WaitForFrame();
    for (const unsigned long answer : {XK_Escape, XK_Return}) {
        SCOPED_TRACE(answer == XK_Return ? "Return" : "Escape");
        ASSERT_TRUE(keys.Focus(Frame()->GetView()->GetEdit()));
        const auto openQuestion = [] {
            for (wxWindow* window : wxTopLevelWindows)
                if (auto* question = dynamic_cast<CExitDialog*>(window); question && question->IsModal())
                    return question;
            return static_cast<CExitDialog*>(nullptr);
        };
        // The question runs a modal loop of its own: it is answered from there, once it has the keyboard.
        bool asked = false;
        wxTimer answering;
        answering.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            CExitDialog* question = openQuestion();
            wxWindow* focus = wxWindow::FindFocus();
            if (!asked && question && question->IsActive() && focus &&
                wxGetTopLevelParent(focus) == question) {
                asked = true;
                keys.Press(answer);
            }
        });
        answering.Start(20);
        keys.Press(XK_F4, platform::kPressAlt);
        EXPECT_TRUE(XTyping::Until([&] { return asked && !openQuestion(); }));
        answering.Stop();
        Pump();
        EXPECT_EQ(Frame() == nullptr, answer == XK_Return);
    }
}

// On a small screen, in the window's default size, at either font: every pane and every message
// shown whole, the message on the panes' line or, when it is too long for that, on lines above them.
TEST_F(MainWindowWmTest, StatusBarShowsEveryPaneAndEveryMessageWholeAtTheDefaultSize) {
    g_OutMode = "Link";
    ASSERT_TRUE(StartWithDefaults());
    WaitForFrame();
    auto* status = static_cast<StatusPaneBar*>(Frame()->GetStatusBar());
    // The room a pane has to draw its text in; the last one draws it clear of the size grip.
    const auto room = [status](int pane) {
        wxRect field;
        status->GetFieldRect(pane, field);
        const bool grip = status->HasFlag(wxSTB_SIZEGRIP) && pane == kPaneCount - 1;
        return field.width - 4 - (grip ? status->GetSize().y - 2 : 0);
    };
    const auto showsWhole = [status, room](int pane) {
        return status->GetTextExtent(status->GetStatusText(pane)).x <= room(pane);
    };
    // Every character of the message, on lines within the bar (the blanks where it wraps aside).
    const auto showsMessage = [status, showsWhole] {
        if (status->MessageLines().empty())
            return showsWhole(kPaneMessage);
        wxString shown;
        for (const wxString& line : status->MessageLines()) {
            if (status->GetTextExtent(line).x > status->GetClientSize().x - 4)
                return false;
            shown += line;
        }
        wxString message = status->GetStatusText(kPaneMessage);
        message.Replace(" ", "");
        shown.Replace(" ", "");
        return shown == message;
    };
    std::vector<std::string> messages{
        kSettingsSavedText, "Hotkey \"Ctl + Alt +  A\" registered",
        "Hotkey could not be registered: The hotkey is in use by another program"};
    for (int id = ID_SCALE_SETTING; id <= ID_COMMS_STATUS; ++id)
        if (!CommandPrompt(id).empty())
            messages.push_back(CommandPrompt(id));
    messages.push_back("");
    for (const std::string& message : messages) {
        SCOPED_TRACE(message);
        Frame()->SetStatusText(FromBytes(message), kPaneMessage);
        Pump();
        EXPECT_TRUE(showsMessage());
        for (int pane = kPaneRunMode; pane < kPaneCount; ++pane)
            EXPECT_TRUE(showsWhole(pane)) << ToBytes(status->GetStatusText(pane));
    }
    EXPECT_EQ(Frame()->GetPaneText(kPanePort), "COM1: 9600, Even, 8, 1, None");
}
