#include "app/core/hotkey_text.h"

#include <gtest/gtest.h>

namespace {

TEST(HotKeyText, CodesAndStatusTexts) {
    struct Case {
        const char* code;
        int key;
        int modifiers;
        const char* text;
    } cases[] = {
        {"1601", 'A', kHotKeyCtrl | kHotKeyAlt, "Hotkey \"Ctl + Alt +  A\" registered"},
        {"112", 0x70, 0, "Hotkey \"F1\" registered"},
        {"379", 0x7B, kHotKeyShift, "Hotkey \"Shft +  F12\" registered"},
        {"833", 'A', kHotKeyCtrl | kHotKeyShift, "Hotkey \"Ctrl + Shft +  A\" registered"},
        {"1073", '1', kHotKeyAlt, "Hotkey \"Alt +  1\" registered"},
        {"1837", 0x2D, 7, "Hotkey \"Ctrl + Shft + Alt +  \" registered"},
        {"0", 0, 0, ""},
        {"", 0, 0, ""},
        {"512", 0, kHotKeyCtrl, ""},
        {"2113", 'A', 8, "Hotkey \"A\" registered"},
    };
    for (const auto& c : cases) {
        HotKeySpec spec = ParseHotKeyCode(c.code);
        EXPECT_EQ(spec.key, c.key) << c.code;
        EXPECT_EQ(spec.modifiers, c.modifiers) << c.code;
        EXPECT_EQ(HotKeyRegisteredText(spec), c.text) << c.code;
    }
}

} // namespace
