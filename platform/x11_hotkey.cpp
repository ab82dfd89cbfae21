#include "platform/x11_hotkey.h"

#include "platform/virtual_keys.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
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

using Grab = X11HotKey::Grab;

constexpr char kKeyTaken[] = "The hotkey is in use by another program";
constexpr char kNoSuchKey[] = "The key is not on this keyboard";
constexpr char kNoDisplay[] = "Cannot connect to the X display";
// How often keys of a new layout that another client held are tried again.
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

// The grabs this program's own hotkeys hold.
std::mutex g_ownMutex;
std::vector<Grab> g_ownGrabs;

// Every key and lock state in which the layout gives `virtualKey` with the hotkey's modifiers, as
// the hot-key control would record it. Ctrl and Alt do not choose the symbol, Shift does. When no
// key gives the code with the asked extended flag (a code written by hand), the flag is let go.
std::vector<Grab> KeysToGrab(Display* display, int virtualKey, bool extended, int modifiers) {
    std::vector<Grab> grabs;
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
    for (int pass = 0; pass < 2 && grabs.empty(); ++pass) {
        for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
            for (unsigned lock : locks) {
                KeySym keysym = NoSymbol;
                unsigned consumed = 0;
                if (!XkbTranslateKeyCode(xkb, static_cast<KeyCode>(code), (held & ShiftMask) | lock,
                                         &consumed, &keysym) ||
                    keysym == NoSymbol || KeysymToVirtualKey(keysym) != virtualKey)
                    continue;
                if (pass == 0 && IsExtendedKeysym(keysym) != extended)
                    continue;
                grabs.push_back({static_cast<unsigned>(code), held | lock});
            }
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    return grabs;
}

// Grabs every key; false when another program holds one of them.
bool GrabAll(Display* display, const std::vector<Grab>& grabs) {
    const Window root = DefaultRootWindow(display);
    t_accessDenied = false;
    for (const Grab& grab : grabs)
        XGrabKey(display, static_cast<int>(grab.keycode), grab.state, root, False, GrabModeAsync,
                 GrabModeAsync);
    XSync(display, False);
    return !t_accessDenied;
}

void UngrabAll(Display* display, const std::vector<Grab>& grabs) {
    const Window root = DefaultRootWindow(display);
    for (const Grab& grab : grabs)
        XUngrabKey(display, static_cast<int>(grab.keycode), grab.state, root);
    XSync(display, False);
}

} // namespace

X11HotKey::~X11HotKey() {
    Unregister();
}

std::string X11HotKey::Register(int virtualKey, bool extended, int modifiers, std::function<void()> onPress) {
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
    if (!error.empty()) {
        Unregister();
        return error;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onPress = std::move(onPress);
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC);
    m_thread = std::thread([this] { Run(); });
    return "";
}

std::string X11HotKey::GrabKeys() {
    const std::vector<Grab> wanted = KeysToGrab(m_display, m_virtualKey, m_extended, m_modifiers);
    if (wanted == m_grabs && !wanted.empty())
        return "";
    ReleaseKeys();
    if (wanted.empty())
        return kNoSuchKey;
    if (!GrabAll(m_display, wanted)) {
        UngrabAll(m_display, wanted); // a grab another client holds is not touched by this
        return kKeyTaken;
    }
    m_grabs = wanted;
    std::lock_guard<std::mutex> lock(g_ownMutex);
    g_ownGrabs.insert(g_ownGrabs.end(), m_grabs.begin(), m_grabs.end());
    return "";
}

void X11HotKey::ReleaseKeys() {
    if (m_grabs.empty())
        return;
    UngrabAll(m_display, m_grabs);
    std::lock_guard<std::mutex> lock(g_ownMutex);
    for (const Grab& grab : m_grabs)
        if (auto it = std::find(g_ownGrabs.begin(), g_ownGrabs.end(), grab); it != g_ownGrabs.end())
            g_ownGrabs.erase(it);
    m_grabs.clear();
}

void X11HotKey::Run() {
    int opcode = 0, xkbEvent = -1, xkbError = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(m_display, &opcode, &xkbEvent, &xkbError, &major, &minor))
        xkbEvent = -1;
    pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    std::vector<unsigned> held; // hotkeys pressed and not yet let go
    // Another client held a key of the new layout when it was to be grabbed: tried again until it
    // is free (a client that only checks whether a key is free lets it go at once).
    bool retry = false;
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
                const Grab pressed{event.xkey.keycode, event.xkey.state & 0xFFu};
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
            retry = GrabKeys() == kKeyTaken;
            continue; // its round trips may have queued events that poll() would not see
        }
        const int ready = ::poll(fds, 2, retry ? kRegrabIntervalMs : -1);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            return;
        if (ready == 0)
            retry = GrabKeys() == kKeyTaken;
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
    m_virtualKey = 0;
    m_modifiers = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onPress = nullptr;
}

std::string X11HotKey::Probe(int virtualKey, bool extended, int modifiers) {
    Display* display = OpenConnection();
    if (!display)
        return kNoDisplay;
    std::vector<Grab> grabs = KeysToGrab(display, virtualKey, extended, modifiers);
    std::string result;
    if (grabs.empty()) {
        result = kNoSuchKey;
    } else {
        {
            std::lock_guard<std::mutex> lock(g_ownMutex);
            std::erase_if(grabs, [](const Grab& grab) {
                return std::find(g_ownGrabs.begin(), g_ownGrabs.end(), grab) != g_ownGrabs.end();
            });
        }
        if (!GrabAll(display, grabs))
            result = kKeyTaken;
    }
    XCloseDisplay(display); // lets the trial grabs go
    return result;
}

} // namespace platform
