#include "platform/x11_keyboard.h"

#include "platform/x11_own_keys.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

// A spare key is bound to another character only once its last press is this many key pauses old,
// and at least kMinRebindAge: a program that lags behind the keys looks a key up only when it reads
// it, and would find the new character.
constexpr int kRebindPauses = 8;
constexpr std::chrono::milliseconds kMinRebindAge{100};

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

// The modifier bits that the keys set while they are held down.
unsigned ModifierBits(Display* display, const std::vector<unsigned>& keycodes) {
    unsigned mask = 0;
    XModifierKeymap* modifiers = XGetModifierMapping(display);
    if (!modifiers)
        return 0;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int i = 0; i < modifiers->max_keypermod; ++i) {
            const KeyCode code = modifiers->modifiermap[modifier * modifiers->max_keypermod + i];
            if (code && std::find(keycodes.begin(), keycodes.end(), code) != keycodes.end())
                mask |= 1u << modifier;
        }
    XFreeModifiermap(modifiers);
    return mask;
}

// The modifier bits that the Num Lock key sets.
unsigned NumLockMask(Display* display, const KeyMap& map) {
    const unsigned numLock = map.Find(XK_Num_Lock, 0);
    return numLock ? ModifierBits(display, {numLock}) : 0;
}

// Keys that lock a modifier: letting one go and pressing it again would change the user's locks.
bool IsLockKey(KeySym keysym) {
    return keysym == XK_Caps_Lock || keysym == XK_Shift_Lock || keysym == XK_Num_Lock ||
           keysym == XK_Scroll_Lock;
}

// A key that has no symbols, or only the one symbol a spare key is bound to (the server shows it in
// the columns of both groups).
bool IsSpareShaped(const KeyMap& map, int code) {
    for (int column = 1; column < map.perCode; ++column)
        if (map.At(code, column) != NoSymbol && map.At(code, column) != map.At(code, 0))
            return false;
    return true;
}

// The window's parent; None for the root window.
Window ParentOf(Display* display, Window window) {
    Window root = 0, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return None;
    if (children)
        XFree(children);
    return parent;
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
    const KeySym level3 = map.KeycodeOf(XK_ISO_Level3_Shift) ? XK_ISO_Level3_Shift : XK_Mode_switch;
    const auto holdModifiers = [&] {
        choice->held.clear();
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
    };
    holdModifiers();
    // This program's hotkey would take the key: a spare key with the same symbol reaches the
    // application instead.
    if (level >= 0 && IsOwnGrab(choice->keycode, ModifierBits(m_display, choice->held) | choice->locks))
        level = -1;
    if (level < 0) {
        choice->keycode = BindSpareKey(keysym);
        if (!choice->keycode)
            return Fail(Failure::kNoSpareKey);
        choice->locks = 0;
        level = 0;
        holdModifiers();
    }
    return true;
}

unsigned X11Keyboard::BindSpareKey(unsigned long keysym) {
    const KeyMap map = LoadKeyMap(m_display);
    for (const SpareKey& key : m_spares)
        if (map.At(static_cast<int>(key.keycode), 0) == keysym &&
            IsSpareShaped(map, static_cast<int>(key.keycode)))
            return key.keycode; // bound to it already (the layout has the symbol on a hotkey's key too)
    // A key without symbols, bound until the keyboard is closed: the receiving program may look the
    // key up only after the press.
    unsigned spare = 0;
    for (int code = map.maxCode; code >= map.minCode && !spare; --code) {
        bool empty = true;
        for (int column = 0; column < map.perCode && empty; ++column)
            empty = map.At(code, column) == NoSymbol;
        if (empty)
            spare = static_cast<unsigned>(code);
    }
    if (spare) {
        m_spares.push_back({spare, {}});
        AddSpareKey(spare);
    } else {
        // Every spare key is bound: the one pressed longest ago is bound anew, once that press is old
        // enough for a program a few keys behind to have read it. A key the layout has taken since
        // (the layout changed) is not the program's to bind.
        std::erase_if(m_spares, [&](const SpareKey& key) {
            const bool taken = !IsSpareShaped(map, static_cast<int>(key.keycode));
            if (taken)
                RemoveSpareKey(key.keycode);
            return taken;
        });
        const auto oldest =
            std::min_element(m_spares.begin(), m_spares.end(),
                             [](const SpareKey& a, const SpareKey& b) { return a.pressed < b.pressed; });
        if (oldest == m_spares.end())
            return 0;
        std::this_thread::sleep_until(oldest->pressed + std::max(kRebindPauses * m_keyDelay, kMinRebindAge));
        spare = oldest->keycode;
    }
    KeySym bound[2] = {keysym, keysym};
    XChangeKeyboardMapping(m_display, static_cast<int>(spare), 2, bound, 1);
    XSync(m_display, False);
    return spare;
}

bool X11Keyboard::TakeKeyboard(unsigned* lockedModifiers, int* lockedGroup, std::vector<unsigned>* lifted) {
    const bool first = m_inReading && !m_readingStarted;
    const bool mayLift = m_inReading && !first;
    const auto deadline = std::chrono::steady_clock::now() +
                          (first || m_liftHeldKeys ? std::chrono::milliseconds(0) : m_heldKeyLimit);
    for (;;) {
        // Checked and then typed under one server grab: no other client's keys can come between.
        XGrabServer(m_display);
        char keys[32];
        XQueryKeymap(m_display, keys);
        XkbStateRec state{};
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        const bool free = std::all_of(keys, keys + 32, [](char k) { return k == 0; }) &&
                          state.base_mods == 0 && state.latched_mods == 0;
        const bool late = std::chrono::steady_clock::now() >= deadline;
        if (free || (mayLift && late)) {
            *lockedModifiers = state.locked_mods;
            *lockedGroup = state.locked_group;
            if (!free) {
                // Held for longer than a person holds a key in passing (or stuck): the rest of the
                // reading is typed with the held keys let go for each key.
                m_liftHeldKeys = true;
                for (int code = 0; code < 256; ++code)
                    if ((keys[code / 8] >> (code % 8)) & 1)
                        if (!IsLockKey(XkbKeycodeToKeysym(m_display, static_cast<KeyCode>(code), 0, 0)))
                            lifted->push_back(static_cast<unsigned>(code));
            }
            break;
        }
        XUngrabServer(m_display);
        XFlush(m_display);
        if (late)
            return Fail(Failure::kKeyHeld);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (m_inReading) {
        // The top-level window counts: a program may move the focus among windows of its own (a Tab
        // of the reading may do so).
        const unsigned long focus = FocusedWindow();
        const unsigned long topLevel = focus == None ? None : TopLevelOf(focus);
        Failure failure = Failure::kNone;
        if (!first)
            failure = topLevel == m_readingWindow ? Failure::kNone : Failure::kFocusMoved;
        else if (focus == None)
            failure = Failure::kNoFocus;
        else if (IsOwnWindow(focus))
            failure = Failure::kOwnWindow;
        if (failure != Failure::kNone) {
            XUngrabServer(m_display);
            XFlush(m_display);
            return Fail(failure);
        }
        m_readingWindow = topLevel;
    }
    return true;
}

unsigned long X11Keyboard::TopLevelOf(unsigned long window) {
    const Window root = DefaultRootWindow(m_display);
    for (Window parent = ParentOf(m_display, window); parent != None && parent != root;
         parent = ParentOf(m_display, window))
        window = parent;
    return window;
}

unsigned long X11Keyboard::FocusedWindow() {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    if (focus != PointerRoot)
        return focus;
    // Keys go to the window under the pointer.
    Window window = DefaultRootWindow(m_display), child = window, root = 0;
    int rootX, rootY, x, y;
    unsigned mask;
    do {
        window = child;
        if (!XQueryPointer(m_display, window, &root, &child, &rootX, &rootY, &x, &y, &mask))
            break;
    } while (child != None);
    return window;
}

bool X11Keyboard::IsOwnWindow(unsigned long window) {
    const Atom pidAtom = XInternAtom(m_display, "_NET_WM_PID", False);
    const Window rootWindow = DefaultRootWindow(m_display);
    // The window's top-level window names its process.
    while (window != None && window != rootWindow) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                               &after, &data) == Success &&
            data) {
            const bool own = format == 32 && count == 1 &&
                             *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(getpid());
            XFree(data);
            if (format == 32 && count == 1)
                return own;
        }
        window = ParentOf(m_display, window);
    }
    return false;
}

bool X11Keyboard::Tap(const KeyChoice& key) {
    unsigned locked = 0;
    int group = 0;
    std::vector<unsigned> lifted;
    if (!TakeKeyboard(&locked, &group, &lifted))
        return false;
    for (unsigned code : lifted)
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
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
    // The user's modifiers come back too; any other key stays let go, as pressing it again would type it.
    if (!lifted.empty()) {
        const unsigned mask = ModifierBits(m_display, lifted);
        for (unsigned code : lifted)
            if (mask & ModifierBits(m_display, {code}))
                XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    }
    XUngrabServer(m_display);
    XSync(m_display, False);
    for (SpareKey& spare : m_spares)
        if (spare.keycode == key.keycode)
            spare.pressed = std::chrono::steady_clock::now();
    m_readingStarted = m_inReading;
    return true;
}

bool X11Keyboard::TypeCharacter(unsigned char character) {
    if (!m_display)
        return Fail(Failure::kNoDisplay);
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
    if (!m_display)
        return Fail(Failure::kNoDisplay);
    if (keysym == 0)
        return false;
    KeyChoice choice;
    return ChooseKey(keysym, 0, &choice) && Tap(choice);
}

bool X11Keyboard::PressKey(unsigned long keysym, int modifiers) {
    if (!m_display)
        return Fail(Failure::kNoDisplay);
    if (keysym == 0)
        return true;
    KeyChoice choice;
    return ChooseKey(keysym, modifiers, &choice) && Tap(choice);
}

bool X11Keyboard::CanStartReading() {
    if (!m_display)
        return Fail(Failure::kNoDisplay);
    BeginReading();
    unsigned locked = 0;
    int group = 0;
    std::vector<unsigned> lifted;
    const bool ready = TakeKeyboard(&locked, &group, &lifted);
    if (ready) {
        XUngrabServer(m_display);
        XFlush(m_display);
    }
    EndReading();
    return ready;
}

void X11Keyboard::BeginReading() {
    m_inReading = true;
    m_readingStarted = false;
    m_liftHeldKeys = false;
    m_readingWindow = 0;
}

void X11Keyboard::EndReading() {
    BeginReading();
    m_inReading = false;
}

bool X11Keyboard::Fail(Failure failure) {
    m_failure = failure;
    return false;
}

std::string X11Keyboard::FailureText() const {
    // By Failure, in its order.
    static constexpr const char* kTexts[] = {
        "",
        "there is no connection to the X display",
        "a key is held down",
        "a window of this program has the keyboard focus",
        "no window has the keyboard focus",
        "the keyboard focus moved to another window",
        "no key is free for a character the keyboard layout lacks",
    };
    static_assert(std::size(kTexts) == static_cast<std::size_t>(Failure::kNoSpareKey) + 1);
    return kTexts[static_cast<int>(m_failure)];
}

void X11Keyboard::Close() {
    if (!m_display)
        return;
    KeySym none[2] = {NoSymbol, NoSymbol};
    for (const SpareKey& spare : m_spares) {
        XChangeKeyboardMapping(m_display, static_cast<int>(spare.keycode), 2, none, 1);
        RemoveSpareKey(spare.keycode);
    }
    m_spares.clear();
    XCloseDisplay(m_display);
    m_display = nullptr;
}

} // namespace platform
