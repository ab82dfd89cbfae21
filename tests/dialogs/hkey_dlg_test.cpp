#include "app/core/hotkey_text.h"
#include "comms/settings.h"
#include "dialog_driver.h"
#include "dialogs/hkey_dlg.h"
#include "dialogs/hotkey_ctrl.h"
#include "platform/x11_hotkey.h"
#include "support/x11_target_window.h"

#include <X11/keysym.h>
#include <memory>

using namespace dialog_test;

namespace {

class HKeyDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsValues();
        g_RunMode = "Command";
        g_HotKeyCode = "1601";
        g_StartUp = "Norm";
    }
    MessageBoxRecorder boxes;
};

TEST_F(HKeyDlgTest, DefaultCodeOpensAsCtrlAltAAndIsStoredAgain) {
    CHKeyDlg dialog;
    const int result = RunModal(dialog, [&] {
        auto* hotKey = Control<HotKeyCtrl>(&dialog, CHKeyDlg::kIdHotKey);
        EXPECT_EQ(hotKey->GetHotKey(), 1601);
        EXPECT_EQ(hotKey->GetValue(), "Ctrl + Alt + A");
        EXPECT_TRUE(hotKey->IsEnabled());
        EXPECT_TRUE(Control<wxRadioButton>(&dialog, CHKeyDlg::kIdNormal)->GetValue());
        ChooseRadio(&dialog, CHKeyDlg::kIdMinimized);
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(g_HotKeyCode, "1601");
    EXPECT_EQ(g_StartUp, "Mini");
    EXPECT_TRUE(boxes.Texts().empty()); // nobody else holds the key on this display
}

// The trial registration uses the registration's modifier form: a key another program holds with
// exactly those modifiers is reported, the same key with other modifiers is not in the way, and
// Pondra's own hotkey (registered at a command start) is no other program.
TEST_F(HKeyDlgTest, KeyHeldByAnotherProgramIsReportedAndStillStored) {
    struct Case {
        int word;
        KeySym heldKeysym;
        unsigned heldState; // held by another program
        bool ownHotKey;     // held by Pondra's own hotkey instead
        bool reported;
    };
    const Case cases[] = {
        {1601, XK_a, ControlMask | Mod1Mask, false, true}, // Ctrl+Alt+A: MOD_CONTROL | MOD_ALT
        {1601, XK_a, ControlMask, false, false},
        {372, XK_F5, ShiftMask, false, true}, // Shift+F5: MOD_SHIFT
        {372, XK_F5, Mod1Mask, false, false},
        {116, XK_F5, 0, false, true}, // F5 alone: no modifiers
        {833, XK_a, ControlMask | ShiftMask, false, true},
        {0x924, XK_Home, ShiftMask, false, true}, // Shift+Home, an extended key
        {1601, 0, 0, true, false},
        {0x924, 0, 0, true, false},
    };
    for (const Case& c : cases) {
        boxes.Clear();
        std::unique_ptr<ForeignGrab> other;
        platform::X11HotKey own;
        if (c.ownHotKey) {
            const HotKeySpec spec = ParseHotKeyCode(std::to_string(c.word));
            ASSERT_EQ(own.Register(spec.key, spec.extended, spec.modifiers, [] {}), "");
        } else {
            other = std::make_unique<ForeignGrab>(c.heldKeysym, c.heldState);
        }
        CHKeyDlg dialog;
        const int result = RunModal(dialog, [&] {
            Control<HotKeyCtrl>(&dialog, CHKeyDlg::kIdHotKey)->SetHotKey(c.word);
            Click(&dialog, wxID_OK);
        });
        EXPECT_EQ(result, wxID_OK) << c.word;
        EXPECT_EQ(g_HotKeyCode, std::to_string(c.word));
        ASSERT_EQ(boxes.Texts().size(), c.reported ? 1u : 0u) << c.word << " held " << c.heldState;
        if (c.reported) {
            EXPECT_EQ(boxes.Texts()[0], "Hotkey not registered: The hotkey is in use by another program");
        }
    }
}

TEST_F(HKeyDlgTest, NoRegistrationOutsideCommandModeOrForAnEmptyKey) {
    ForeignGrab other(XK_a, ControlMask | Mod1Mask);
    for (const char* mode : {"Manual", "Stream"}) {
        g_RunMode = mode;
        g_HotKeyCode = "1601";
        g_StartUp = "Mini";
        CHKeyDlg dialog;
        RunModal(dialog, [&] {
            EXPECT_FALSE(IsEnabled(&dialog, CHKeyDlg::kIdHotKey)) << mode;
            EXPECT_TRUE(Control<wxRadioButton>(&dialog, CHKeyDlg::kIdMinimized)->GetValue());
            ChooseRadio(&dialog, CHKeyDlg::kIdNormal);
            Click(&dialog, wxID_OK);
        });
        EXPECT_EQ(g_HotKeyCode, "1601") << mode;
        EXPECT_EQ(g_StartUp, "Norm") << mode;
    }
    // A cleared control stores 0 and tries nothing (a try would fail: 0 is no key).
    g_RunMode = "Command";
    CHKeyDlg dialog;
    RunModal(dialog, [&] {
        Control<HotKeyCtrl>(&dialog, CHKeyDlg::kIdHotKey)->SetHotKey(0);
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(g_HotKeyCode, "0");
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(HKeyDlgTest, CancelChangesNothing) {
    CHKeyDlg dialog;
    const int result = RunModal(dialog, [&] {
        Control<HotKeyCtrl>(&dialog, CHKeyDlg::kIdHotKey)->SetHotKey(372);
        ChooseRadio(&dialog, CHKeyDlg::kIdMinimized);
        Click(&dialog, wxID_CANCEL);
    });
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(g_HotKeyCode, "1601");
    EXPECT_EQ(g_StartUp, "Norm");
}

TEST_F(HKeyDlgTest, UnreadableOrOversizedCodesOpenWithinTheControlsRange) {
    for (const char* code : {"", "abc", "99999999999999999999", "-5"}) {
        g_HotKeyCode = code;
        CHKeyDlg dialog;
        RunModal(dialog, [&] {
            const int word = Control<HotKeyCtrl>(&dialog, CHKeyDlg::kIdHotKey)->GetHotKey();
            EXPECT_GE(word, 0) << code;
            EXPECT_LE(word, 0xFFFF) << code;
        });
    }
}

} // namespace
