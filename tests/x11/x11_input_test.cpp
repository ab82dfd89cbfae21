// Keystroke synthesis and the global hotkey against a real X server (Xvfb in CI) with a window
// manager: a plain X client window receives what the keyboard layer types, read back through the
// layout as any program would.
// gtest comes before the X headers, whose macros (None, Bool, ...) would break it.
#include <gtest/gtest.h>

#include "platform/virtual_keys.h"
#include "platform/x11_hotkey.h"
#include "platform/x11_keyboard.h"
#include "support/wait.h"
#include "support/window_manager.h"
#include "support/x11_target_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class X11InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X display (run under xvfb-run)";
        ASSERT_TRUE(SetLayout("us"));
        ASSERT_EQ(keyboard.Open(), "");
    }
    void TearDown() override {
        if (std::getenv("DISPLAY")) {
            SetLayout("us");
            Human().SetLocks(0);
        }
    }
    void Type(const std::string& text) {
        for (unsigned char c : text)
            ASSERT_TRUE(keyboard.TypeCharacter(c));
    }
    // Ctrl+Alt and the key, pressed and let go by a person, with exactly the `locks` locked.
    static void PressCtrlAlt(unsigned keycode, unsigned locks = 0) {
        Human user;
        user.SetLocks(locks);
        user.PressCtrlAlt(keycode);
        user.SetLocks(0);
    }
    platform::X11Keyboard keyboard;
};

// Caps Lock and Num Lock change what keys give; typing must not depend on them, nor change them.
TEST_F(X11InputTest, TypesTextExactlyInEveryLayoutAndLockState) {
    const std::string text = "Net 12.5 kg\t~!@#$%^&*()_+{}|:<>?\"aZ Ab-c";
    Human user;
    const unsigned num = user.NumLockMask();
    for (const char* layout : {"us", "de", "fr"}) {
        ASSERT_TRUE(SetLayout(layout));
        for (unsigned locks : {0u, static_cast<unsigned>(LockMask), num, LockMask | num}) {
            user.SetLocks(locks);
            TargetWindow target;
            ASSERT_TRUE(target.Ok());
            Type(text);
            ASSERT_TRUE(keyboard.PressKey(XK_KP_7, 0)); // the keypad's 7 types "7", Num Lock on or off
            ASSERT_TRUE(keyboard.PressKey(XK_a, platform::kPressCtrl)); // on the layout's own A key
            EXPECT_EQ(target.Collect(text.size() + 2), text + "7<C-a>") << layout << ", locks " << locks;
            EXPECT_EQ(user.Locks() & (LockMask | num), locks) << "the user's locks are kept";
        }
    }
}

// The user still holds a key while a reading is typed: each key press waits until it is let go.
TEST_F(X11InputTest, KeyPressesWaitUntilTheUserLetsGo) {
    const std::string text = "Ab-c\t12.5";
    const struct {
        KeySym key;
        int holdMs;
    } cases[] = {{XK_Control_L, 300},        {XK_Alt_L, 100},     {XK_Shift_L, 600},
                 {XK_ISO_Level3_Shift, 200}, {XK_Caps_Lock, 400}, {XK_Num_Lock, 150}};
    for (const auto& c : cases) {
        Human user;
        if (!user.Key(c.key))
            continue; // not on this keyboard
        TargetWindow target;
        ASSERT_TRUE(target.Ok());
        user.Down(c.key);
        std::thread letGo([&] {
            Human::Wait(c.holdMs);
            user.Up(c.key);
        });
        Type(text);
        letGo.join();
        EXPECT_EQ(target.Collect(text.size()), text) << XKeysymToString(c.key);
        user.SetLocks(0);
    }

    // Held beyond the limit: nothing is typed, and the keyboard says why.
    keyboard.SetHeldKeyLimit(300ms);
    TargetWindow target;
    Human user;
    user.Down(XK_Control_L);
    EXPECT_FALSE(keyboard.TypeCharacter('x'));
    EXPECT_EQ(keyboard.FailureText(), "a key is held down");
    user.Up(XK_Control_L);
    ASSERT_TRUE(keyboard.TypeCharacter('y'));

    // A reading's first key is not typed while a key is held; a later key waits up to the limit and
    // is then typed with the held key let go for the moment, so that the reading is not cut.
    keyboard.BeginReading();
    user.Down(XK_Shift_L);
    EXPECT_FALSE(keyboard.TypeCharacter('x'));
    EXPECT_EQ(keyboard.LastFailure(), platform::X11Keyboard::Failure::kKeyHeld);
    EXPECT_FALSE(keyboard.ReadingStarted());
    user.Up(XK_Shift_L);
    Type("a-");
    user.Down(XK_Shift_L);
    Type("b1\t");
    EXPECT_EQ(user.Held(), static_cast<unsigned>(ShiftMask)) << "the user's Shift is down again";
    user.Up(XK_Shift_L);
    keyboard.EndReading();
    EXPECT_EQ(target.Collect(6), "ya-b1\t");
}

TEST_F(X11InputTest, CharactersMissingFromTheLayoutAreStillTyped) {
    TargetWindow target;
    ASSERT_TRUE(target.Ok());
    const std::string text = "\xB5\xE9\xB0"; // micro sign, e acute, degree: not on a US keyboard
    Type(text);
    EXPECT_EQ(target.Collect(text.size()), text);
}

// Characters the layout lacks go through spare keys, fewer than the letters missing under "ru". A
// receiver that reads its events a few key presses late looks each key up in the mapping of the
// moment it reads: a spare key bound anew meanwhile would give it the new character.
TEST_F(X11InputTest, AReceiverThatReadsLateGetsEveryCharacterTheLayoutLacks) {
    ASSERT_TRUE(SetLayout("ru"));
    constexpr auto kDelay = 5ms;
    keyboard.SetKeyDelay(kDelay);
    // "A" between any two other letters: the letter bound first is always one of the last pressed.
    std::string text;
    for (char c = 'B'; c <= 'Z'; ++c)
        text += std::string("A") + c;
    TargetWindow target;
    ASSERT_TRUE(target.Ok());
    std::string got;
    std::thread reader(
        [&] { got = target.Collect(text.size(), 30s, [&] { std::this_thread::sleep_for(8 * kDelay); }); });
    bool typed = true;
    for (std::size_t i = 0; i < text.size() && typed; ++i) {
        std::this_thread::sleep_for(kDelay);
        typed = keyboard.TypeCharacter(static_cast<unsigned char>(text[i]));
    }
    reader.join();
    EXPECT_TRUE(typed) << keyboard.FailureText();
    EXPECT_EQ(got, text);
}

TEST_F(X11InputTest, CommandsPressKeysWithModifiers) {
    TargetWindow target;
    ASSERT_TRUE(target.Ok());
    ASSERT_TRUE(keyboard.PressKey(platform::VirtualKeyToKeysym(0x74), 0));
    ASSERT_TRUE(keyboard.PressKey(platform::VirtualKeyToKeysym('C'), platform::kPressCtrl));
    ASSERT_TRUE(
        keyboard.PressKey(platform::VirtualKeyToKeysym(0x2E), platform::kPressCtrl | platform::kPressAlt));
    ASSERT_TRUE(keyboard.TypeCharacter('\n'));
    const std::string got = target.Collect(4);
    EXPECT_EQ(got, "<F5><C-c><C-A-Delete>\r");
}

TEST_F(X11InputTest, HotKeyFiresWhateverWindowHasTheFocus) {
    TargetWindow target;
    ASSERT_TRUE(target.Ok());
    std::atomic<int> presses{0};
    platform::X11HotKey hotkey;
    ASSERT_EQ(hotkey.Register('A', false, platform::kHotCtrl | platform::kHotAlt, [&] { ++presses; }), "");
    PressCtrlAlt(Human().Key(XK_a));
    EXPECT_TRUE(sim::WaitUntil([&] { return presses == 1; }));
    // A plain "a" is not the hotkey and reaches the focused window; the hotkey's combination typed
    // by the program (a macro) reaches it as well, and does not fire the hotkey.
    Type("a");
    ASSERT_TRUE(
        keyboard.PressKey(platform::VirtualKeyToKeysym('A'), platform::kPressCtrl | platform::kPressAlt));
    EXPECT_EQ(target.Collect(2), "a<C-A-a>");
    EXPECT_EQ(presses, 1);

    // A second program cannot take the same key.
    {
        platform::X11HotKey other;
        EXPECT_EQ(other.Register('A', false, platform::kHotCtrl | platform::kHotAlt, [] {}),
                  "The hotkey is in use by another program");
    }

    // Another program holds the key that gives "a" in the next layout while the layout changes
    // (as a program that checks whether a key is free does, for a moment): the hotkey takes that
    // key once it is let go, and fires on it.
    {
        Human user;
        const unsigned usA = user.Key(XK_a);
        const unsigned frA = user.Key(XK_q);
        {
            ForeignGrab holder(XK_q, ControlMask | Mod1Mask);
            ASSERT_TRUE(SetLayout("fr"));
            // The hotkey lets the old key go, then meets the held one.
            EXPECT_TRUE(sim::WaitUntil([&] { return !KeyIsGrabbed(usA, ControlMask | Mod1Mask); }));
            std::this_thread::sleep_for(300ms);
        }
        EXPECT_TRUE(sim::WaitUntil([&] { return KeyIsGrabbed(frA, ControlMask | Mod1Mask); }))
            << "the hotkey did not take the key once it was free";
        PressCtrlAlt(frA);
        EXPECT_TRUE(sim::WaitUntil([&] { return presses == 2; }));
        ASSERT_TRUE(SetLayout("us"));
    }

    // Let go: the key reaches the focused window again.
    hotkey.Unregister();
    PressCtrlAlt(Human().Key(XK_a));
    EXPECT_EQ(target.Collect(1), "<C-A-a>");
    EXPECT_EQ(presses, 2);
}

// The hotkey is the key the user recorded, wherever the layout puts its letter, and every variant of
// it (Caps Lock, Num Lock) that another program leaves free is taken, the others as soon as they are
// let go. The user's Ctrl+Alt and key are pressed here as a person presses them.
TEST_F(X11InputTest, HotKeyTakesEveryFreeVariantAndFollowsTheLayout) {
    Human user;
    const unsigned keyA = user.Key(XK_a); // the key that gives "a" in the US layout
    const unsigned num = user.NumLockMask();
    std::atomic<int> presses{0};
    const auto press = [&](unsigned locks) { PressCtrlAlt(keyA, locks); };
    const unsigned held = ControlMask | Mod1Mask;
    const struct {
        const char* what;
        std::vector<unsigned> locks; // the variants another program holds
    } cases[] = {{"held whole at the start", {0u, LockMask, num, num | LockMask}},
                 {"its Num Lock variant held", {num}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::X11HotKey hotkey;
        auto holder = std::make_unique<ForeignGrab>(XK_a, held, c.locks);
        const std::string error =
            hotkey.Register('A', false, platform::kHotCtrl | platform::kHotAlt, [&] { ++presses; });
        if (c.locks.size() == 4) {
            EXPECT_EQ(error, "The hotkey is in use by another program");
        } else {
            EXPECT_EQ(error, "");
            const int before = presses;
            press(0);
            EXPECT_TRUE(sim::WaitUntil([&] { return presses == before + 1; }));
        }
        holder.reset();
        for (unsigned locks : {0u, num}) {
            EXPECT_TRUE(sim::WaitUntil([&] { return KeyIsGrabbed(keyA, held | locks); }))
                << "locks " << locks;
            const int before = presses;
            press(locks);
            EXPECT_TRUE(sim::WaitUntil([&] { return presses == before + 1; })) << "locks " << locks;
        }
    }

    // A layout without Latin letters: the key where the US layout has "a".
    ASSERT_TRUE(SetLayout("ru"));
    platform::X11HotKey hotkey;
    ASSERT_EQ(hotkey.Register('A', false, platform::kHotCtrl | platform::kHotAlt, [&] { ++presses; }), "");
    EXPECT_TRUE(KeyIsGrabbed(keyA, held));
    const int before = presses;
    press(0);
    EXPECT_TRUE(sim::WaitUntil([&] { return presses == before + 1; }));
}

TEST(VirtualKeys, BothDirectionsAgree) {
    struct Case {
        int vk;
        unsigned long keysym;
    } cases[] = {{'A', XK_a},       {'Z', XK_z},          {'0', XK_0},       {0x70, XK_F1},
                 {0x7B, XK_F12},    {0x0D, XK_Return},    {0x09, XK_Tab},    {0x2E, XK_Delete},
                 {0x60, XK_KP_0},   {0x25, XK_Left},      {0xBE, XK_period}, {0x20, XK_space},
                 {0x1B, XK_Escape}, {0xDE, XK_apostrophe}};
    for (const auto& c : cases) {
        EXPECT_EQ(platform::VirtualKeyToKeysym(c.vk), c.keysym) << c.vk;
        EXPECT_EQ(platform::KeysymToVirtualKey(c.keysym), c.vk) << c.vk;
    }
    EXPECT_EQ(platform::KeysymToVirtualKey(XK_Q), 'Q');
    EXPECT_EQ(platform::KeysymToVirtualKey(XK_KP_Enter), 0x0D);
    EXPECT_EQ(platform::VirtualKeyToKeysym(0xFF), 0u);
    EXPECT_EQ(platform::KeysymToVirtualKey(XK_eacute), 0);
}

} // namespace

int main(int argc, char** argv) {
    XInitThreads();
    ::testing::InitGoogleTest(&argc, argv);
    WindowManager manager; // focus as on a desktop
    if (std::getenv("DISPLAY")) {
        if (const std::string error = manager.Start(); !error.empty()) {
            std::fprintf(stderr, "No window manager: %s\n", error.c_str());
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
