// Keystroke synthesis and the global hotkey against a real X server (Xvfb in CI): a plain X client
// window receives what the keyboard layer types, read back through the layout as any program would.
// gtest comes before the X headers, whose macros (None, Bool, ...) would break it.
#include <gtest/gtest.h>

#include "platform/virtual_keys.h"
#include "platform/x11_hotkey.h"
#include "platform/x11_keyboard.h"
#include "support/x11_target_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

void SetLayout(const char* layout) {
    std::string command = std::string("setxkbmap ") + layout + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class X11InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X display (run under xvfb-run)";
        SetLayout("us");
        ASSERT_EQ(keyboard.Open(), "");
    }
    void TearDown() override {
        if (std::getenv("DISPLAY"))
            SetLayout("us");
    }
    void Type(const std::string& text) {
        for (unsigned char c : text)
            ASSERT_TRUE(keyboard.TypeCharacter(c));
    }
    platform::X11Keyboard keyboard;
};

TEST_F(X11InputTest, TypesTextAsTheLayoutProducesIt) {
    const std::string text = "Net 12.5 kg\t~!@#$%^&*()_+{}|:<>?\"aZ";
    for (const char* layout : {"us", "de", "fr"}) {
        SetLayout(layout);
        TargetWindow target;
        ASSERT_TRUE(target.Ok());
        Type(text);
        EXPECT_EQ(target.Collect(text.size()), text) << layout;
    }
}

TEST_F(X11InputTest, CharactersMissingFromTheLayoutAreStillTyped) {
    TargetWindow target;
    ASSERT_TRUE(target.Ok());
    const std::string text = "\xB5\xE9\xB0"; // micro sign, e acute, degree: not on a US keyboard
    Type(text);
    EXPECT_EQ(target.Collect(text.size()), text);
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
    ASSERT_EQ(hotkey.Register(platform::VirtualKeyToKeysym('A'), platform::kHotCtrl | platform::kHotAlt,
                              [&] { ++presses; }),
              "");
    ASSERT_TRUE(
        keyboard.PressKey(platform::VirtualKeyToKeysym('A'), platform::kPressCtrl | platform::kPressAlt));
    for (int i = 0; i < 1000 && presses == 0; ++i) // up to ten seconds
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(presses, 1);
    // A plain "a" is not the hotkey and reaches the focused window.
    Type("a");
    EXPECT_EQ(target.Collect(1), "a");
    EXPECT_EQ(presses, 1);

    // A second program cannot take the same key.
    platform::X11HotKey other;
    EXPECT_EQ(
        other.Register(platform::VirtualKeyToKeysym('A'), platform::kHotCtrl | platform::kHotAlt, [] {}),
        "The hotkey is in use by another program");

    hotkey.Unregister();
    ASSERT_TRUE(
        keyboard.PressKey(platform::VirtualKeyToKeysym('A'), platform::kPressCtrl | platform::kPressAlt));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(presses, 1);
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
    return RUN_ALL_TESTS();
}
