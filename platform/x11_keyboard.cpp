#include "platform/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <vector>

namespace platform {

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

unsigned X11Keyboard::KeycodeOf(unsigned long keysym) {
    return XKeysymToKeycode(m_display, keysym);
}

bool X11Keyboard::FindKey(unsigned long keysym, KeyChoice* choice) {
    int minCode, maxCode, perCode = 0;
    XDisplayKeycodes(m_display, &minCode, &maxCode);
    KeySym* map = XGetKeyboardMapping(m_display, minCode, maxCode - minCode + 1, &perCode);
    if (!map)
        return false;
    // Core mapping columns: 0 plain, 1 Shift, 4 AltGr, 5 AltGr + Shift (group 1 only).
    const int columns[4] = {0, 1, 4, 5};
    bool found = false;
    for (int level = 0; level < 4 && !found; ++level) {
        if (columns[level] >= perCode)
            break;
        for (int code = minCode; code <= maxCode; ++code) {
            if (map[(code - minCode) * perCode + columns[level]] == keysym) {
                choice->keycode = static_cast<unsigned>(code);
                choice->level = level;
                found = true;
                break;
            }
        }
    }
    XFree(map);
    return found;
}

void X11Keyboard::Tap(unsigned keycode, const unsigned* modifiers, int modifierCount) {
    for (int i = 0; i < modifierCount; ++i)
        XTestFakeKeyEvent(m_display, modifiers[i], True, CurrentTime);
    XTestFakeKeyEvent(m_display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(m_display, keycode, False, CurrentTime);
    for (int i = modifierCount - 1; i >= 0; --i)
        XTestFakeKeyEvent(m_display, modifiers[i], False, CurrentTime);
    XFlush(m_display);
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
    if (FindKey(keysym, &choice)) {
        std::vector<unsigned> modifiers;
        if (choice.level >= 2) {
            unsigned level3 = KeycodeOf(XK_ISO_Level3_Shift);
            modifiers.push_back(level3 ? level3 : KeycodeOf(XK_Mode_switch));
        }
        if (choice.level == 1 || choice.level == 3)
            modifiers.push_back(KeycodeOf(XK_Shift_L));
        Tap(choice.keycode, modifiers.data(), static_cast<int>(modifiers.size()));
        return true;
    }

    // No key produces it: bind the character to a key without symbols. The binding stays until the
    // keyboard is closed, because the receiving program may look the key up only after the press.
    const unsigned spare = SpareKeycode();
    if (!spare)
        return false;
    KeySym bound[2] = {keysym, keysym};
    XChangeKeyboardMapping(m_display, static_cast<int>(spare), 2, bound, 1);
    XSync(m_display, False);
    Tap(spare, nullptr, 0);
    return true;
}

unsigned X11Keyboard::SpareKeycode() {
    int minCode, maxCode, perCode = 0;
    XDisplayKeycodes(m_display, &minCode, &maxCode);
    KeySym* map = XGetKeyboardMapping(m_display, minCode, maxCode - minCode + 1, &perCode);
    if (!map)
        return 0;
    unsigned spare = 0;
    for (int code = maxCode; code >= minCode && !spare; --code) {
        bool empty = true;
        for (int c = 0; c < perCode; ++c)
            empty = empty && map[(code - minCode) * perCode + c] == NoSymbol;
        if (empty)
            spare = static_cast<unsigned>(code);
    }
    XFree(map);
    if (spare) {
        m_bound.push_back(spare);
    } else if (!m_bound.empty()) {
        // Every spare key is taken: rebind the one bound longest ago.
        spare = m_bound.front();
        m_bound.erase(m_bound.begin());
        m_bound.push_back(spare);
    }
    return spare;
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

bool X11Keyboard::PressKey(unsigned long keysym, int modifiers) {
    if (!m_display || keysym == 0)
        return false;
    const unsigned keycode = KeycodeOf(keysym);
    if (!keycode)
        return false;
    std::vector<unsigned> held;
    if (modifiers & kPressCtrl)
        held.push_back(KeycodeOf(XK_Control_L));
    if (modifiers & kPressShift)
        held.push_back(KeycodeOf(XK_Shift_L));
    if (modifiers & kPressAlt)
        held.push_back(KeycodeOf(XK_Alt_L));
    Tap(keycode, held.data(), static_cast<int>(held.size()));
    return true;
}

} // namespace platform
