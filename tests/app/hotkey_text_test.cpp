#include "app/core/hotkey_text.h"

#include <gtest/gtest.h>

namespace {

TEST(HotKeyText, CodesAndStatusTexts) {
    struct Case {
        const char* code;
        int key;
        int modifiers;
        bool extended;
        const char* text;
    } cases[] = {
        {"1601", 'A', kHotKeyCtrl | kHotKeyAlt, false, "Hotkey \"Ctl + Alt +  A\" registered"},
        {"112", 0x70, 0, false, "Hotkey \"F1\" registered"},
        {"379", 0x7B, kHotKeyShift, false, "Hotkey \"Shft +  F12\" registered"},
        {"833", 'A', kHotKeyCtrl | kHotKeyShift, false, "Hotkey \"Ctrl + Shft +  A\" registered"},
        {"1073", '1', kHotKeyAlt, false, "Hotkey \"Alt +  1\" registered"},
        {"0", 0, 0, false, ""},
        {"", 0, 0, false, ""},
        {"-1601", 0, 0, false, ""},
        {"512", 0, kHotKeyCtrl, false, ""},
        // The extended-key flag (8) is kept apart from the modifiers; keys beyond letters, digits
        // and F1 to F12 are named as the hot-key control names them.
        {"2340", 0x24, kHotKeyShift, true, "Hotkey \"Shft +  Home\" registered"},     // Shift+Home
        {"292", 0x24, kHotKeyShift, false, "Hotkey \"Shft +  Num Home\" registered"}, // the keypad's
        {"2573", 0x0D, kHotKeyCtrl, true, "Hotkey \"Ctrl +  Num Enter\" registered"},
        {"3951", 0x6F, kHotKeyCtrl | kHotKeyShift | kHotKeyAlt, true,
         "Hotkey \"Ctrl + Shft + Alt +  Num /\" registered"},
        {"2113", 'A', 0, true, "Hotkey \"A\" registered"},
    };
    for (const auto& c : cases) {
        HotKeySpec spec = ParseHotKeyCode(c.code);
        EXPECT_EQ(spec.key, c.key) << c.code;
        EXPECT_EQ(spec.modifiers, c.modifiers) << c.code;
        EXPECT_EQ(spec.extended, c.extended) << c.code;
        EXPECT_EQ(HotKeyRegisteredText(spec), c.text) << c.code;
    }
}

} // namespace
