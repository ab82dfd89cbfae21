#include "app/core/hotkey_text.h"
#include "app/gui_base/text.h"
#include "dialogs/hotkey_ctrl.h"
#include "platform/virtual_keys.h"
#include "platform/x11_hotkey.h"
#include "support/x_typing.h"

#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <wx/app.h>
#include <wx/frame.h>

#include "support/x11_target_window.h"
#include <X11/keysym.h>

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
        {XK_Delete, false, true, true, (6 | 8) << 8 | 0x2E, "Ctrl + Alt + Delete"},  // extended key
        {XK_KP_Delete, false, true, true, 6 << 8 | 0x2E, "Ctrl + Alt + Num Delete"}, // keypad, Num Lock off
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

// Every key the control can record, pressed for real (XTest) with modifiers held: the control
// records it; the hotkey registered from the recorded word fires on exactly that combination, while
// the key alone, with Shift and Alt swapped or in the other Num Lock state still reaches the focused
// control; and the status text names the key as the control shows it.
TEST_F(HotKeyCtrlTest, EveryRecordedKeyIsGrabbedAsShown) {
    XTyping keys;
    ASSERT_EQ(keys.Error(), "");
    ASSERT_TRUE(keys.Focus(control)) << "the control did not get the focus";

    Human user;
    const unsigned numLock = user.NumLockMask();
    const struct Combo {
        int flags;
        unsigned state;
        const char* statusText; // the status bar's words for the modifiers
    } combos[] = {
        {kHotKeyFlagShift, ShiftMask, "Shft + "},
        {kHotKeyFlagControl, ControlMask, "Ctrl + "},
        {kHotKeyFlagAlt, Mod1Mask, "Alt + "},
        {kHotKeyFlagControl | kHotKeyFlagShift, ControlMask | ShiftMask, "Ctrl + Shft + "},
        {kHotKeyFlagShift | kHotKeyFlagAlt, ShiftMask | Mod1Mask, "Alt + Shft + "},
        {kHotKeyFlagControl | kHotKeyFlagAlt, ControlMask | Mod1Mask, "Ctl + Alt + "},
        {7, ControlMask | ShiftMask | Mod1Mask, "Ctrl + Shft + Alt + "},
    };
    // Whether the control records the key pressed so: Enter and Esc alone end the dialog, Backspace
    // alone empties the control, and the layout turns some combinations into other symbols (Ctrl+Alt
    // with F1 gives the console switch, Ctrl with Pause gives Break).
    const auto recordable = [&](unsigned keycode, unsigned state, unsigned locks) {
        const KeySym plain = user.Lookup(keycode, (state & ShiftMask) | locks);
        const KeySym full = user.Lookup(keycode, state | locks);
        const bool alone = !(state & (ControlMask | Mod1Mask));
        if (alone && (plain == XK_Return || plain == XK_KP_Enter || plain == XK_Escape ||
                      (plain == XK_BackSpace && !state)))
            return false;
        const int vk = platform::KeysymToVirtualKey(plain);
        return vk != 0 && vk != 0x09 && vk == platform::KeysymToVirtualKey(full);
    };
    const auto press = [&](unsigned keycode, unsigned state, unsigned locks) {
        user.SetLocks(locks);
        const struct {
            unsigned mask;
            KeySym key;
        } modifiers[] = {{ControlMask, XK_Control_L}, {ShiftMask, XK_Shift_L}, {Mod1Mask, XK_Alt_L}};
        for (const auto& m : modifiers)
            if (state & m.mask)
                user.Down(m.key);
        user.Send(keycode, true);
        user.Send(keycode, false);
        for (const auto& m : modifiers)
            if (state & m.mask)
                user.Up(m.key);
    };
    const auto record = [&](unsigned keycode, unsigned state, unsigned locks) {
        control->SetHotKey(0);
        press(keycode, state, locks);
        return XTyping::Until([&] { return control->GetHotKey() != 0; });
    };

    platform::X11HotKey hotkey;
    std::atomic<int> fired{0};
    std::set<std::pair<unsigned, unsigned>> tried; // keycode and Num Lock state
    std::size_t next = 0;
    for (KeySym keysym = 0x20; keysym <= 0xFFFF; keysym = keysym == 0xFF ? 0xFF00 : keysym + 1) {
        int column = 0;
        const unsigned keycode = user.Key(keysym, &column);
        if (!keycode || (IsModifierKey(keysym) && keysym != XK_Caps_Lock && keysym != XK_Num_Lock))
            continue; // not on this keyboard, or a modifier (shown as the start of a combination)
        // The keypad gives its second symbols with Num Lock, any other key with Shift.
        const unsigned locks = column == 1 && IsKeypadKey(keysym) ? numLock : 0;
        const Combo* combo = nullptr;
        for (std::size_t i = 0; i < std::size(combos) && !combo; ++i) {
            const Combo& candidate = combos[(next + i) % std::size(combos)];
            if ((column == 0 || locks || (candidate.state & ShiftMask)) &&
                recordable(keycode, candidate.state, locks))
                combo = &candidate;
        }
        if (!combo || !tried.insert({keycode, locks}).second)
            continue; // Tab, keys without a code, keys met before
        ++next;
        const std::string name = XKeysymToString(keysym);

        hotkey.Unregister();
        ASSERT_TRUE(record(keycode, combo->state, locks)) << name << " was not recorded";
        const int word = control->GetHotKey();
        EXPECT_EQ((word >> 8) & 7, combo->flags) << name;
        const std::string shown = ToBytes(control->GetValue());
        const std::string keyName = shown.substr(shown.rfind(" + ") + 3);
        EXPECT_NE(keyName[0], '#') << name << " has no name";
        const HotKeySpec spec = ParseHotKeyCode(std::to_string(word));
        EXPECT_EQ(HotKeyRegisteredText(spec),
                  "Hotkey \"" + std::string(combo->statusText) + " " + keyName + "\" registered")
            << name;

        // The key's code and extended flag with the combination's Shift in a Num Lock state.
        const auto gives = [&](unsigned numLockState) {
            const KeySym given = user.Lookup(keycode, (combo->state & ShiftMask) | numLockState);
            return std::pair(platform::KeysymToVirtualKey(given), platform::IsExtendedKeysym(given));
        };
        fired = 0;
        ASSERT_EQ(hotkey.Register(spec.key, spec.extended, spec.modifiers, [&] { ++fired; }), "") << shown;
        const unsigned swapped = (combo->state & ~(ShiftMask | Mod1Mask)) |
                                 ((combo->state & ShiftMask) ? Mod1Mask : 0) |
                                 ((combo->state & Mod1Mask) ? ShiftMask : 0);
        const struct {
            unsigned state;
            unsigned locks;
        } others[] = {
            {0, locks}, {swapped, locks}, {combo->state, IsKeypadKey(keysym) ? locks ^ numLock : locks}};
        for (const auto& other : others) {
            if ((other.state != combo->state || gives(other.locks) != gives(locks)) &&
                recordable(keycode, other.state, other.locks)) {
                EXPECT_TRUE(record(keycode, other.state, other.locks))
                    << shown << " grabbed with state " << other.state << ", locks " << other.locks;
            }
        }
        control->SetHotKey(0);
        press(keycode, combo->state, locks);
        EXPECT_TRUE(XTyping::Until([&] { return fired > 0; })) << shown << " did not fire";
        EXPECT_EQ(control->GetHotKey(), 0) << shown << " reached the window as well";
        EXPECT_EQ(fired, 1) << shown;
    }
    hotkey.Unregister();
    user.SetLocks(0);
    EXPECT_GT(tried.size(), 80u);
}

} // namespace
