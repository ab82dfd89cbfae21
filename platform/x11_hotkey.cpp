#include "platform/x11_hotkey.h"

#include "platform/virtual_keys.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <string_view>
#include <sys/eventfd.h>
#include <unistd.h>

// After the standard headers: Xlibint.h defines min and max as macros.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
// XESetError: errors are caught per connection, without swapping the process-wide error handler.
#include <X11/Xlibint.h>

namespace platform {
namespace {

constexpr char kKeyTaken[] = "The hotkey is in use by another program";
constexpr char kNoSuchKey[] = "The key is not on this keyboard";
constexpr char kNoDisplay[] = "Cannot connect to the X display";
// How often keys that another client held are tried again.
constexpr int kRegrabIntervalMs = 500;

// Noted by the error hook on the thread that waits for the server's answer to a grab.
thread_local bool t_accessDenied = false;

// Errors on a hotkey connection stay with the hotkey: BadAccess means another program holds the
// key, and no error there may end the program.
int NoteError(Display*, xError* error, XExtCodes*, int* result) {
    if (error->errorCode == BadAccess)
        t_accessDenied = true;
    *result = 0;
    return True;
}

Display* OpenConnection() {
    Display* display = XOpenDisplay(nullptr);
    if (display) {
        if (XExtCodes* codes = XAddExtension(display))
            XESetError(display, codes->extension, NoteError);
    }
    return display;
}

// The letters and digits by the XKB names of the keys a US keyboard has them on ("AC01" is A), for
// layouts that have no key giving them (Cyrillic, Greek): there the hotkey is the key at the place
// the user knows it from.
struct KeyRow {
    const char* prefix;
    std::string_view keys;
};
constexpr KeyRow kUsKeyRows[] = {
    {"AE", "1234567890"}, {"AD", "QWERTYUIOP"}, {"AC", "ASDFGHJKL"}, {"AB", "ZXCVBNM"}};

// The virtual-key code of the letter or digit a US keyboard has on the key named `name`; 0 for none.
int UsKeyAt(const char (&name)[XkbKeyNameLength]) {
    for (const KeyRow& row : kUsKeyRows) {
        if (name[0] != row.prefix[0] || name[1] != row.prefix[1] || name[2] < '0' || name[2] > '9' ||
            name[3] < '0' || name[3] > '9')
            continue;
        const std::size_t place = static_cast<std::size_t>((name[2] - '0') * 10 + (name[3] - '0'));
        if (place >= 1 && place <= row.keys.size())
            return row.keys[place - 1];
    }
    return 0;
}

// Every key and lock state in which the layout gives `virtualKey` with the hotkey's modifiers, as
// the hot-key control would record it, in any group. Ctrl and Alt do not choose the symbol, Shift
// does. When no key gives the code with the asked extended flag (a code written by hand), the flag is
// let go; when no key gives it at all, a letter or digit is taken at its US place. Keys that a keyboard
// of this program has bound to a character for the moment are not the user's keys and are left out.
std::vector<OwnGrab> KeysToGrab(Display* display, int virtualKey, bool extended, int modifiers) {
    std::vector<OwnGrab> grabs;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
    if (!xkb)
        return grabs;
    unsigned numLock = 0;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code)
        if (XkbKeyNumSyms(xkb, code) > 0 && XkbKeySym(xkb, code, 0) == XK_Num_Lock)
            numLock |= xkb->map->modmap[code];
    std::vector<unsigned> locks{0, LockMask};
    if (numLock) {
        locks.push_back(numLock);
        locks.push_back(numLock | LockMask);
    }
    const unsigned held = ((modifiers & kHotAlt) ? Mod1Mask : 0u) |
                          ((modifiers & kHotCtrl) ? ControlMask : 0u) |
                          ((modifiers & kHotShift) ? ShiftMask : 0u);
    const auto gives = [&](int code, unsigned lock, bool anyExtended) {
        for (int group = 0; group < XkbKeyNumGroups(xkb, code); ++group) {
            KeySym keysym = NoSymbol;
            unsigned consumed = 0;
            const unsigned state = (held & ShiftMask) | lock | (static_cast<unsigned>(group) << 13);
            if (XkbTranslateKeyCode(xkb, static_cast<KeyCode>(code), state, &consumed, &keysym) &&
                keysym != NoSymbol && KeysymToVirtualKey(keysym) == virtualKey &&
                (anyExtended || IsExtendedKeysym(keysym) == extended))
                return true;
        }
        return false;
    };
    for (int pass = 0; pass < 3 && grabs.empty(); ++pass) {
        if (pass == 2 && XkbGetNames(display, XkbKeyNamesMask, xkb) != Success)
            break;
        for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
            if (IsSpareKey(static_cast<unsigned>(code)))
                continue;
            for (unsigned lock : locks)
                if (pass < 2 ? gives(code, lock, pass == 1)
                             : UsKeyAt(xkb->names->keys[code].name) == virtualKey)
                    grabs.push_back({static_cast<unsigned>(code), held | lock});
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    return grabs;
}

// Grabs one key; false when another program holds it.
bool GrabOne(Display* display, const OwnGrab& grab) {
    t_accessDenied = false;
    XGrabKey(display, static_cast<int>(grab.keycode), grab.state, DefaultRootWindow(display), False,
             GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    return !t_accessDenied;
}

// Grabs every key; false when another program holds one of them.
bool GrabAll(Display* display, const std::vector<OwnGrab>& grabs) {
    const Window root = DefaultRootWindow(display);
    t_accessDenied = false;
    for (const OwnGrab& grab : grabs)
        XGrabKey(display, static_cast<int>(grab.keycode), grab.state, root, False, GrabModeAsync,
                 GrabModeAsync);
    XSync(display, False);
    return !t_accessDenied;
}

void UngrabAll(Display* display, const std::vector<OwnGrab>& grabs) {
    const Window root = DefaultRootWindow(display);
    for (const OwnGrab& grab : grabs)
        XUngrabKey(display, static_cast<int>(grab.keycode), grab.state, root);
    XSync(display, False);
}

} // namespace

X11HotKey::~X11HotKey() {
    Unregister();
}

std::string X11HotKey::Register(int virtualKey, bool extended, int modifiers, std::function<void()> onPress,
                                std::function<void()> onTaken) {
    Unregister();
    m_display = OpenConnection();
    if (!m_display)
        return kNoDisplay;
    m_virtualKey = virtualKey;
    m_extended = extended;
    m_modifiers = modifiers;
    // A key held down repeats its press without releases in between, so that one press is one Get.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(m_display, True, &detectable);
    // Told of every change of the layout, to grab the keys that give the code afterwards.
    XkbSelectEvents(m_display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    const std::string error = GrabKeys();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onPress = std::move(onPress);
        m_onTaken = std::move(onTaken);
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC);
    m_thread = std::thread([this] { Run(); });
    return m_grabs.empty() ? error : "";
}

std::string X11HotKey::GrabKeys() {
    const std::vector<OwnGrab> wanted = KeysToGrab(m_display, m_virtualKey, m_extended, m_modifiers);
    if (wanted != m_wanted) {
        ReleaseKeys();
        m_wanted = wanted;
    }
    if (m_wanted.empty())
        return kNoSuchKey;
    std::vector<OwnGrab> taken;
    for (const OwnGrab& grab : m_wanted)
        if (std::find(m_grabs.begin(), m_grabs.end(), grab) == m_grabs.end() && GrabOne(m_display, grab))
            taken.push_back(grab);
    m_grabs.insert(m_grabs.end(), taken.begin(), taken.end());
    AddOwnGrabs(taken);
    return m_grabs.size() == m_wanted.size() ? "" : kKeyTaken;
}

void X11HotKey::ReleaseKeys() {
    if (m_grabs.empty())
        return;
    UngrabAll(m_display, m_grabs);
    RemoveOwnGrabs(m_grabs);
    m_grabs.clear();
}

void X11HotKey::Run() {
    int opcode = 0, xkbEvent = -1, xkbError = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(m_display, &opcode, &xkbEvent, &xkbError, &major, &minor))
        xkbEvent = -1;
    pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    std::vector<unsigned> held; // hotkeys pressed and not yet let go
    // Another client held a key when it was to be grabbed: tried again until it is free (a client
    // that only checks whether a key is free lets it go at once).
    bool retry = m_grabs.size() != m_wanted.size();
    // Grabs anew, and says so when the key is held again after none of it was.
    const auto regrab = [&] {
        const bool had = !m_grabs.empty();
        retry = GrabKeys() == kKeyTaken;
        if (had || m_grabs.empty())
            return;
        std::function<void()> onTaken;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            onTaken = m_onTaken;
        }
        if (onTaken)
            onTaken();
    };
    for (;;) {
        bool layoutChanged = false;
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                layoutChanged = layoutChanged || event.xmapping.request == MappingKeyboard;
            } else if (event.type == xkbEvent) {
                layoutChanged = true;
            } else if (event.type == KeyRelease) {
                std::erase(held, event.xkey.keycode);
            } else if (event.type == KeyPress) {
                // While the hotkey is held, the other keys come here too: only the hotkey counts,
                // and only once until it is let go (a key held down repeats its press).
                const OwnGrab pressed{event.xkey.keycode, event.xkey.state & 0xFFu};
                if (std::find(m_grabs.begin(), m_grabs.end(), pressed) == m_grabs.end() ||
                    std::find(held.begin(), held.end(), pressed.keycode) != held.end())
                    continue;
                held.push_back(pressed.keycode);
                std::function<void()> onPress;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    onPress = m_onPress;
                }
                if (onPress)
                    onPress();
            }
        }
        if (layoutChanged) {
            regrab();
            continue; // its round trips may have queued events that poll() would not see
        }
        const int ready = ::poll(fds, 2, retry ? kRegrabIntervalMs : -1);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            return;
        if (ready == 0)
            regrab();
    }
}

void X11HotKey::Unregister() {
    if (m_thread.joinable()) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
    if (m_display) {
        ReleaseKeys();
        XCloseDisplay(m_display);
        m_display = nullptr;
    }
    m_wanted.clear();
    m_virtualKey = 0;
    m_modifiers = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onPress = nullptr;
    m_onTaken = nullptr;
}

std::string X11HotKey::Probe(int virtualKey, bool extended, int modifiers) {
    Display* display = OpenConnection();
    if (!display)
        return kNoDisplay;
    std::vector<OwnGrab> grabs = KeysToGrab(display, virtualKey, extended, modifiers);
    std::string result;
    if (grabs.empty()) {
        result = kNoSuchKey;
    } else {
        EraseOwnGrabs(&grabs);
        if (!GrabAll(display, grabs))
            result = kKeyTaken;
    }
    XCloseDisplay(display); // lets the trial grabs go
    return result;
}

} // namespace platform
