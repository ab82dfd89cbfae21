#include "dialogs/hotkey_ctrl.h"

#include "app/core/hotkey_text.h"
#include "app/gui_base/text.h"
#include "platform/virtual_keys.h"

#include <algorithm>

namespace {

enum : int { kVkBack = 0x08, kVkTab = 0x09, kVkReturn = 0x0D, kVkEscape = 0x1B };

struct ModifierKey {
    int vk;
    int flag;
};
// Shift, Ctrl and Alt, each as the generic key and as its left and right key.
constexpr ModifierKey kModifierKeys[] = {
    {0x10, kHotKeyFlagShift},   {0xA0, kHotKeyFlagShift},   {0xA1, kHotKeyFlagShift},
    {0x11, kHotKeyFlagControl}, {0xA2, kHotKeyFlagControl}, {0xA3, kHotKeyFlagControl},
    {0x12, kHotKeyFlagAlt},     {0xA4, kHotKeyFlagAlt},     {0xA5, kHotKeyFlagAlt},
};

struct ModifierName {
    int flag;
    const char* name;
};
constexpr ModifierName kModifierNames[] = {
    {kHotKeyFlagControl, "Ctrl + "},
    {kHotKeyFlagShift, "Shift + "},
    {kHotKeyFlagAlt, "Alt + "},
};

std::string ModifierText(int flags) {
    std::string text;
    for (const ModifierName& modifier : kModifierNames)
        if (flags & modifier.flag)
            text += modifier.name;
    return text;
}

// The modifier flag of a Shift, Ctrl or Alt key, 0 for any other key.
int ModifierOfKey(int vk) {
    for (const ModifierKey& key : kModifierKeys)
        if (key.vk == vk)
            return key.flag;
    return 0;
}

// Keys that move through the dialog or end it rather than being recorded.
bool IsDialogKey(int vk, bool control, bool alt) {
    if (vk == kVkTab)
        return true;
    return !control && !alt && (vk == kVkReturn || vk == kVkEscape);
}

int ModifierFlags(bool shift, bool control, bool alt) {
    return (shift ? kHotKeyFlagShift : 0) | (control ? kHotKeyFlagControl : 0) | (alt ? kHotKeyFlagAlt : 0);
}

} // namespace

std::string HotKeyWordText(int word) {
    if ((word & 0xFFFF) == 0)
        return "None";
    const int flags = (word >> 8) & 0xFF;
    return ModifierText(flags) + HotKeyName(word & 0xFF, (flags & kHotKeyFlagExtended) != 0);
}

HotKeyCtrl::HotKeyCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxTextCtrl(parent, id, wxEmptyString, pos, size, wxTE_READONLY) {
    Bind(wxEVT_KEY_DOWN, &HotKeyCtrl::OnKeyDown, this);
    Bind(wxEVT_KEY_UP, &HotKeyCtrl::OnKeyUp, this);
    Bind(wxEVT_CHAR, &HotKeyCtrl::OnChar, this);
    // Wide enough to show every combination whole: the widest is a key with all three modifiers,
    // with or without the extended flag.
    int widest = 0;
    for (const int modifiers : {kHotKeyFlagShift | kHotKeyFlagControl | kHotKeyFlagAlt,
                                kHotKeyFlagShift | kHotKeyFlagControl | kHotKeyFlagAlt | kHotKeyFlagExtended})
        for (int key = 0; key <= 0xFF; ++key)
            widest = std::max(widest, GetTextExtent(FromBytes(HotKeyWordText((modifiers << 8) | key))).x);
    SetMinSize(wxSize(std::max(size.x, GetSizeFromTextSize(widest).x), size.y));
    ShowWord();
}

void HotKeyCtrl::SetHotKey(int word) {
    m_word = word & 0xFFFF;
    ShowWord();
}

bool HotKeyCtrl::PressKey(unsigned long keysym, bool shift, bool control, bool alt) {
    const int vk = platform::KeysymToVirtualKey(keysym);
    if (vk == 0)
        return true; // a key without a virtual-key code is swallowed and changes nothing
    if (IsDialogKey(vk, control, alt))
        return false;
    const int flags = ModifierFlags(shift, control, alt);
    if (const int modifier = ModifierOfKey(vk)) {
        // While only modifiers are held, show them as the start of a combination.
        ChangeValue(FromBytes(ModifierText(flags | modifier)));
        return true;
    }
    if (vk == kVkBack && flags == 0) {
        SetHotKey(0); // Backspace alone empties the control
        return true;
    }
    const int extended = platform::IsExtendedKeysym(keysym) ? kHotKeyFlagExtended : 0;
    SetHotKey((flags | extended) << 8 | vk);
    return true;
}

void HotKeyCtrl::OnKeyDown(wxKeyEvent& event) {
    if (!PressKey(event.GetRawKeyCode(), event.ShiftDown(), event.ControlDown(), event.AltDown()))
        event.Skip();
}

void HotKeyCtrl::OnKeyUp(wxKeyEvent&) {
    // Releasing the modifiers without a key brings back the combination held before.
    ShowWord();
}

void HotKeyCtrl::ShowWord() {
    ChangeValue(FromBytes(HotKeyWordText(m_word)));
}
