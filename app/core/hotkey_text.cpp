#include "app/core/hotkey_text.h"

#include <array>
#include <cstdlib>

namespace {

// Control modifier value (index) to registration form: Shift and Alt swap places.
constexpr std::array<int, 8> kControlToRegistration{0, 4, 2, 6, 1, 5, 3, 7};
constexpr int kExtendedFlag = 8;

constexpr std::array<const char*, 8> kModifierTexts{
    "",        "Alt + ",        "Ctrl + ",        "Ctl + Alt + ",
    "Shft + ", "Alt + Shft + ", "Ctrl + Shft + ", "Ctrl + Shft + Alt + ",
};

struct KeyName {
    int vk;
    const char* name;
};

// Names of the keys that are not a letter, a digit or a function key.
constexpr KeyName kKeyNames[] = {
    {0x03, "Break"},
    {0x08, "Backspace"},
    {0x09, "Tab"},
    {0x0C, "Clear"},
    {0x0D, "Enter"},
    {0x13, "Pause"},
    {0x14, "Caps Lock"},
    {0x1B, "Esc"},
    {0x20, "Space"},
    {0x21, "Page Up"},
    {0x22, "Page Down"},
    {0x23, "End"},
    {0x24, "Home"},
    {0x25, "Left"},
    {0x26, "Up"},
    {0x27, "Right"},
    {0x28, "Down"},
    {0x29, "Select"},
    {0x2A, "Print"},
    {0x2B, "Execute"},
    {0x2C, "Prnt Scrn"},
    {0x2D, "Insert"},
    {0x2E, "Delete"},
    {0x2F, "Help"},
    {0x5B, "Left Windows"},
    {0x5C, "Right Windows"},
    {0x5D, "Application"},
    {0x6A, "Num *"},
    {0x6B, "Num +"},
    {0x6C, "Num ,"},
    {0x6D, "Num -"},
    {0x6E, "Num ."},
    {0x6F, "Num /"},
    {0x90, "Num Lock"},
    {0x91, "Scroll Lock"},
    {0xBA, ";"},
    {0xBB, "="},
    {0xBC, ","},
    {0xBD, "-"},
    {0xBE, "."},
    {0xBF, "/"},
    {0xC0, "`"},
    {0xDB, "["},
    {0xDC, "\\"},
    {0xDD, "]"},
    {0xDE, "'"},
};

// The cursor block's keys come as extended keys; without the flag they are the keypad's with Num
// Lock off.
bool IsCursorBlockKey(int vk) {
    return (vk >= 0x21 && vk <= 0x28) || vk == 0x2D || vk == 0x2E;
}

} // namespace

HotKeySpec ParseHotKeyCode(const std::string& code) {
    const long value = std::strtol(code.c_str(), nullptr, 10);
    HotKeySpec spec;
    if (value <= 0)
        return spec;
    spec.key = static_cast<int>(value % 256);
    const int modifiers = static_cast<int>(value / 256);
    if (modifiers > 0) {
        spec.modifiers = kControlToRegistration[modifiers & 7];
        spec.extended = (modifiers & kExtendedFlag) != 0;
    }
    return spec;
}

std::string HotKeyName(int vk, bool extended) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return std::string(1, static_cast<char>(vk));
    if (vk >= 0x60 && vk <= 0x69)
        return "Num " + std::to_string(vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87)
        return "F" + std::to_string(vk - 0x70 + 1);
    const std::string prefix = (vk == 0x0D && extended) || (IsCursorBlockKey(vk) && !extended) ? "Num " : "";
    for (const KeyName& key : kKeyNames)
        if (key.vk == vk)
            return prefix + key.name;
    return "#" + std::to_string(vk);
}

std::string HotKeyRegisteredText(const HotKeySpec& spec) {
    if (spec.key == 0)
        return "";
    const std::string keyText = HotKeyName(spec.key, spec.extended);
    const char* modifierText = kModifierTexts[spec.modifiers & 7];
    if (*modifierText)
        return "Hotkey \"" + std::string(modifierText) + " " + keyText + "\" registered";
    return "Hotkey \"" + keyText + "\" registered";
}
