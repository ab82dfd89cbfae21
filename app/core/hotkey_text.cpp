#include "app/core/hotkey_text.h"

#include <array>
#include <cstdlib>

namespace {

// Control modifier value (index) to registration form: Shift and Alt swap places.
constexpr std::array<int, 8> kControlToRegistration{0, 4, 2, 6, 1, 5, 3, 7};

constexpr std::array<const char*, 8> kModifierTexts{
    "",        "Alt + ",        "Ctrl + ",        "Ctl + Alt + ",
    "Shft + ", "Alt + Shft + ", "Ctrl + Shft + ", "Ctrl + Shft + Alt + ",
};

std::string KeyText(int key) {
    if (key >= 0x70 && key <= 0x7B)
        return "F" + std::to_string(key - 0x70 + 1);
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return std::string(1, static_cast<char>(key));
    return "";
}

} // namespace

HotKeySpec ParseHotKeyCode(const std::string& code) {
    const long value = std::strtol(code.c_str(), nullptr, 10);
    HotKeySpec spec;
    spec.key = static_cast<int>(value % 256);
    const int modifiers = static_cast<int>(value / 256);
    // Values of 8 and above carry the extended-key flag; they pass unchanged.
    spec.modifiers = (modifiers >= 0 && modifiers < 8) ? kControlToRegistration[modifiers] : modifiers;
    return spec;
}

std::string HotKeyRegisteredText(const HotKeySpec& spec) {
    if (spec.key == 0)
        return "";
    const std::string modifierText =
        (spec.modifiers > 0 && spec.modifiers < 8) ? kModifierTexts[spec.modifiers] : "";
    if (!modifierText.empty())
        return "Hotkey \"" + modifierText + " " + KeyText(spec.key) + "\" registered";
    return "Hotkey \"" + KeyText(spec.key) + "\" registered";
}
