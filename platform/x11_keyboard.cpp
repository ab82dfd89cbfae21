#include "platform/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <thread>

namespace platform {
namespace {

constexpr char kKeyHeld[] = "a key is held down";
constexpr char kNoSpareKey[] = "no key is free for a character the keyboard layout lacks";

// The core keyboard mapping as the server has it now: the layout may change while Pondra runs.
struct KeyMap {
    int minCode = 0;
    int maxCode = 0;
    int perCode = 0;
    std::vector<KeySym> syms;

    KeySym At(int code, int column) const {
        return column < perCode ? syms[static_cast<std::size_t>((code - minCode) * perCode + column)]
                                : NoSymbol;
    }
    unsigned Find(KeySym keysym, int column) const {
        for (int code = minCode; code <= maxCode; ++code)
            if (At(code, column) == keysym)
                return static_cast<unsigned>(code);
        return 0;
    }
    // The key of `keysym` in whatever column, the lowest column first.
    unsigned KeycodeOf(KeySym keysym) const {
        for (int column = 0; column < perCode; ++column)
            if (unsigned code = Find(keysym, column))
                return code;
        return 0;
    }
};

KeyMap LoadKeyMap(Display* display) {
    KeyMap map;
    XDisplayKeycodes(display, &map.minCode, &map.maxCode);
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(map.minCode),
                                       map.maxCode - map.minCode + 1, &map.perCode);
    if (!syms) {
        map.perCode = 0;
        return map;
    }
    map.syms.assign(syms, syms + (map.maxCode - map.minCode + 1) * map.perCode);
    XFree(syms);
    return map;
}

// The modifier bits that the Num Lock key sets.
unsigned NumLockMask(Display* display, const KeyMap& map) {
    unsigned mask = 0;
    XModifierKeymap* modifiers = XGetModifierMapping(display);
    if (!modifiers)
        return 0;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int i = 0; i < modifiers->max_keypermod; ++i) {
            const KeyCode code = modifiers->modifiermap[modifier * modifiers->max_keypermod + i];
            if (code && map.At(code, 0) == XK_Num_Lock)
                mask |= 1u << modifier;
        }
    XFreeModifiermap(modifiers);
    return mask;
}

// Core mapping columns of the levels: 0 plain, 1 Shift, 4 AltGr, 5 AltGr + Shift (group 1 only).
constexpr int kLevelColumns[4] = {0, 1, 4, 5};

} // namespace

X11Keyboard::~X11Keyboard() {
    Close();
}

std::string X11Keyboard::Open(const char* displayName) {
    if (m_display)
        return "";
    m_display = XOpenDisplay(displayName);
    if (!m_display)
        return "Cannot connect to the X display";
    int eventBase, errorBase, major, minor;
    if (!XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(m_display);
        m_display = nullptr;
        return "The X server does not offer keystroke synthesis (XTest)";
    }
    return "";
}

bool X11Keyboard::ChooseKey(unsigned long keysym, int modifiers, KeyChoice* choice) {
    const KeyMap map = LoadKeyMap(m_display);
    int level = -1;
    for (int i = 0; i < 4 && level < 0; ++i)
        if ((choice->keycode = map.Find(keysym, kLevelColumns[i])) != 0)
            level = i;
    if (level == 1 && IsKeypadKey(keysym)) {
        // The keypad's digits and decimal key come with Num Lock, not with Shift.
        level = 0;
        choice->locks = NumLockMask(m_display, map);
    }
    if (level < 0) {
        // No key produces it: bind it to a key without symbols. The binding stays until the keyboard
        // is closed, because the receiving program may look the key up only after the press.
        unsigned spare = 0;
        for (int code = map.maxCode; code >= map.minCode && !spare; --code) {
            bool empty = true;
            for (int column = 0; column < map.perCode && empty; ++column)
                empty = map.At(code, column) == NoSymbol;
            if (empty)
                spare = static_cast<unsigned>(code);
        }
        if (spare) {
            m_bound.push_back(spare);
        } else if (!m_bound.empty()) {
            // Every spare key is taken: rebind the one bound longest ago.
            spare = m_bound.front();
            m_bound.erase(m_bound.begin());
            m_bound.push_back(spare);
        } else {
            m_failure = kNoSpareKey;
            return false;
        }
        KeySym bound[2] = {keysym, keysym};
        XChangeKeyboardMapping(m_display, static_cast<int>(spare), 2, bound, 1);
        XSync(m_display, False);
        choice->keycode = spare;
        level = 0;
    }
    const KeySym level3 = map.KeycodeOf(XK_ISO_Level3_Shift) ? XK_ISO_Level3_Shift : XK_Mode_switch;
    const struct {
        bool wanted;
        KeySym keysym;
    } held[] = {
        {(modifiers & kPressCtrl) != 0, XK_Control_L},
        {level >= 2, level3},
        {(modifiers & kPressShift) != 0 || level == 1 || level == 3, XK_Shift_L},
        {(modifiers & kPressAlt) != 0, XK_Alt_L},
    };
    for (const auto& modifier : held)
        if (modifier.wanted)
            if (unsigned code = map.KeycodeOf(modifier.keysym))
                choice->held.push_back(code);
    return true;
}

bool X11Keyboard::WaitForIdleKeyboard(unsigned* lockedModifiers, int* lockedGroup) {
    const auto deadline = std::chrono::steady_clock::now() + m_heldKeyLimit;
    for (;;) {
        // Checked and then typed under one server grab: no other client's keys can come between.
        XGrabServer(m_display);
        char keys[32];
        XQueryKeymap(m_display, keys);
        XkbStateRec state{};
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        if (std::all_of(keys, keys + 32, [](char k) { return k == 0; }) && state.base_mods == 0 &&
            state.latched_mods == 0) {
            *lockedModifiers = state.locked_mods;
            *lockedGroup = state.locked_group;
            return true;
        }
        XUngrabServer(m_display);
        XFlush(m_display);
        if (std::chrono::steady_clock::now() >= deadline) {
            m_failure = kKeyHeld;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool X11Keyboard::Tap(const KeyChoice& key) {
    unsigned locked = 0;
    int group = 0;
    if (!WaitForIdleKeyboard(&locked, &group))
        return false;
    if (locked != key.locks)
        XkbLockModifiers(m_display, XkbUseCoreKbd, 0xFF, key.locks);
    if (group != 0)
        XkbLockGroup(m_display, XkbUseCoreKbd, 0);
    for (unsigned code : key.held)
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XTestFakeKeyEvent(m_display, key.keycode, True, CurrentTime);
    XTestFakeKeyEvent(m_display, key.keycode, False, CurrentTime);
    for (auto it = key.held.rbegin(); it != key.held.rend(); ++it)
        XTestFakeKeyEvent(m_display, *it, False, CurrentTime);
    // The user's locks come back at once; the key events above were made with them off.
    if (group != 0)
        XkbLockGroup(m_display, XkbUseCoreKbd, static_cast<unsigned>(group));
    if (locked != key.locks)
        XkbLockModifiers(m_display, XkbUseCoreKbd, 0xFF, locked);
    XUngrabServer(m_display);
    XSync(m_display, False);
    return true;
}

bool X11Keyboard::TypeCharacter(unsigned char character) {
    if (!m_display)
        return false;
    unsigned long keysym;
    if (character == '\t')
        keysym = XK_Tab;
    else if (character == '\n')
        keysym = XK_Return;
    else if ((character >= 0x20 && character <= 0x7E) || character >= 0xA0)
        keysym = character; // Latin-1 keysyms have the character's code
    else
        return true; // other control bytes type nothing
    return TypeKeysym(keysym);
}

bool X11Keyboard::TypeKeysym(unsigned long keysym) {
    if (!m_display || keysym == 0)
        return false;
    KeyChoice choice;
    return ChooseKey(keysym, 0, &choice) && Tap(choice);
}

bool X11Keyboard::PressKey(unsigned long keysym, int modifiers) {
    if (!m_display)
        return false;
    if (keysym == 0)
        return true;
    KeyChoice choice;
    return ChooseKey(keysym, modifiers, &choice) && Tap(choice);
}

void X11Keyboard::Close() {
    if (!m_display)
        return;
    KeySym none[2] = {NoSymbol, NoSymbol};
    for (unsigned code : m_bound)
        XChangeKeyboardMapping(m_display, static_cast<int>(code), 2, none, 1);
    m_bound.clear();
    XCloseDisplay(m_display);
    m_display = nullptr;
}

} // namespace platform
