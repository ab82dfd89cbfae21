#include "dialogs/hotkey_ctrl.h"
#include "platform/virtual_keys.h"
#include "support/x_typing.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>

namespace {

class HotKeyCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame = new wxFrame(nullptr, wxID_ANY, "hot key");
        control = new HotKeyCtrl(frame, wxID_ANY);
    }
    void TearDown() override { frame->Destroy(); }

    // Delivers a key press the way the toolkit does: a key-down event carrying the X keysym.
    bool Press(unsigned long keysym, bool shift, bool ctrl, bool alt) {
        wxKeyEvent event(wxEVT_KEY_DOWN);
        event.SetEventObject(control);
        event.m_rawCode = static_cast<wxUint32>(keysym);
        event.SetShiftDown(shift);
        event.SetControlDown(ctrl);
        event.SetAltDown(alt);
        return !control->HandleWindowEvent(event) || event.GetSkipped();
    }

    wxFrame* frame = nullptr;
    HotKeyCtrl* control = nullptr;
};

TEST_F(HotKeyCtrlTest, KeyCombinationsGiveTheirHotKeyWords) {
    struct Case {
        unsigned long keysym;
        bool shift, ctrl, alt;
        int word;
        const char* text;
    };
    const Case cases[] = {
        {XK_A, true, true, false, 833, "Ctrl + Shift + A"}, // Shift turns the keysym to upper case
        {XK_a, false, true, true, 1601, "Ctrl + Alt + A"},
        {XK_c, false, true, false, 579, "Ctrl + C"},
        {XK_F5, true, false, false, 372, "Shift + F5"},
        {XK_F5, false, false, false, 116, "F5"},
        {XK_exclam, true, false, false, 0x131, "Shift + 1"},
        {XK_space, false, false, false, 32, "Space"},
        {XK_Delete, false, true, true, (6 | 8) << 8 | 0x2E, "Ctrl + Alt + Delete"}, // extended key
        {XK_KP_Delete, false, true, true, 6 << 8 | 0x2E, "Ctrl + Alt + Delete"},    // keypad: not extended
        {XK_KP_Enter, false, true, false, (2 | 8) << 8 | 0x0D, "Ctrl + Num Enter"},
        {XK_KP_1, false, false, true, 4 << 8 | 0x61, "Alt + Num 1"},
    };
    for (const Case& c : cases) {
        control->SetHotKey(0);
        EXPECT_FALSE(Press(c.keysym, c.shift, c.ctrl, c.alt));
        EXPECT_EQ(control->GetHotKey(), c.word) << c.text;
        EXPECT_EQ(control->GetValue(), c.text);
    }
}

TEST_F(HotKeyCtrlTest, ModifiersAloneAndDialogKeysLeaveTheWordAlone) {
    control->SetHotKey(1601);
    EXPECT_FALSE(Press(XK_Control_L, false, false, false));
    EXPECT_EQ(control->GetValue(), "Ctrl + "); // the combination being started
    EXPECT_FALSE(Press(XK_Shift_R, false, true, false));
    EXPECT_EQ(control->GetValue(), "Ctrl + Shift + ");
    wxKeyEvent release(wxEVT_KEY_UP);
    control->HandleWindowEvent(release);
    EXPECT_EQ(control->GetValue(), "Ctrl + Alt + A");

    // Tab moves through the dialog, Enter and Esc end it: they are passed on, not recorded.
    EXPECT_TRUE(Press(XK_Tab, false, false, false));
    EXPECT_TRUE(Press(XK_ISO_Left_Tab, true, false, false));
    EXPECT_TRUE(Press(XK_Return, false, false, false));
    EXPECT_TRUE(Press(XK_Escape, false, false, false));
    // A key the program has no code for is swallowed without a change.
    EXPECT_FALSE(Press(XK_eacute, false, false, false));
    EXPECT_EQ(control->GetHotKey(), 1601);

    // Backspace alone empties the control; with a modifier it is a key like any other.
    EXPECT_FALSE(Press(XK_BackSpace, false, true, false));
    EXPECT_EQ(control->GetHotKey(), 2 << 8 | 0x08);
    EXPECT_FALSE(Press(XK_BackSpace, false, false, false));
    EXPECT_EQ(control->GetHotKey(), 0);
    EXPECT_EQ(control->GetValue(), "None");
}

TEST_F(HotKeyCtrlTest, SettingAWordKeepsItsLowSixteenBits) {
    control->SetHotKey(0x10000 | 833);
    EXPECT_EQ(control->GetHotKey(), 833);
    control->SetHotKey(0x0FFF); // a code the key table does not name
    EXPECT_EQ(control->GetValue(), "Ctrl + Shift + Alt + #255");
}

// The whole path from the keyboard: XTest presses Ctrl+Shift+A while the control has the focus.
TEST_F(HotKeyCtrlTest, RealKeyPressesReachTheControl) {
    XTyping keys;
    ASSERT_EQ(keys.Error(), "");
    ASSERT_TRUE(keys.Focus(control)) << "the control did not get the focus";
    keys.Press(platform::VirtualKeyToKeysym('A'), platform::kPressCtrl | platform::kPressShift);
    XTyping::Until([&] { return control->GetHotKey() != 0; });
    EXPECT_EQ(control->GetHotKey(), 833);
}

} // namespace
