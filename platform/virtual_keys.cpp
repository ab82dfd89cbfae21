#include "platform/virtual_keys.h"

#include <X11/keysym.h>

#include <array>

namespace platform {
namespace {

struct KeyRow {
    int virtualKey;
    unsigned long keysym;
};

// Keys whose codes do not follow from a run (letters, digits, function and keypad keys are below).
constexpr std::array<KeyRow, 55> kKeys{{
    {0x08, XK_BackSpace},    {0x09, XK_Tab},         {0x0C, XK_Clear},       {0x0D, XK_Return},
    {0x10, XK_Shift_L},      {0x11, XK_Control_L},   {0x12, XK_Alt_L},       {0x13, XK_Pause},
    {0x14, XK_Caps_Lock},    {0x1B, XK_Escape},      {0x20, XK_space},       {0x21, XK_Prior},
    {0x22, XK_Next},         {0x23, XK_End},         {0x24, XK_Home},        {0x25, XK_Left},
    {0x26, XK_Up},           {0x27, XK_Right},       {0x28, XK_Down},        {0x29, XK_Select},
    {0x2A, XK_Print},        {0x2B, XK_Execute},     {0x2C, XK_Print},       {0x2D, XK_Insert},
    {0x2E, XK_Delete},       {0x2F, XK_Help},        {0x5B, XK_Super_L},     {0x5C, XK_Super_R},
    {0x5D, XK_Menu},         {0x6A, XK_KP_Multiply}, {0x6B, XK_KP_Add},      {0x6C, XK_KP_Separator},
    {0x6D, XK_KP_Subtract},  {0x6E, XK_KP_Decimal},  {0x6F, XK_KP_Divide},   {0x90, XK_Num_Lock},
    {0x91, XK_Scroll_Lock},  {0xA0, XK_Shift_L},     {0xA1, XK_Shift_R},     {0xA2, XK_Control_L},
    {0xA3, XK_Control_R},    {0xA4, XK_Alt_L},       {0xA5, XK_Alt_R},       {0xBA, XK_semicolon},
    {0xBB, XK_equal},        {0xBC, XK_comma},       {0xBD, XK_minus},       {0xBE, XK_period},
    {0xBF, XK_slash},        {0xC0, XK_grave},       {0xDB, XK_bracketleft}, {0xDC, XK_backslash},
    {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},  {0x0D, XK_KP_Enter},
}};

// Runs of consecutive codes: first virtual key, first keysym, length.
struct KeyRun {
    int virtualKey;
    unsigned long keysym;
    int count;
};
constexpr std::array<KeyRun, 5> kRuns{{
    {'0', XK_0, 10},
    {'A', XK_a, 26},
    {'A', XK_A, 26},     // upper-case keysyms name the same keys
    {0x60, XK_KP_0, 10}, // numeric keypad digits
    {0x70, XK_F1, 24},   // F1 to F24
}};

// Keysyms that are only recognised, never typed: the shifted symbols of a US keyboard, Shift+Tab,
// and the keypad's cursor keys (Num Lock off), which give the codes of the keys they stand for.
constexpr std::array<KeyRow, 35> kRecognisedKeys{{
    {'0', XK_parenright},
    {'1', XK_exclam},
    {'2', XK_at},
    {'3', XK_numbersign},
    {'4', XK_dollar},
    {'5', XK_percent},
    {'6', XK_asciicircum},
    {'7', XK_ampersand},
    {'8', XK_asterisk},
    {'9', XK_parenleft},
    {0xBA, XK_colon},
    {0xBB, XK_plus},
    {0xBC, XK_less},
    {0xBD, XK_underscore},
    {0xBE, XK_greater},
    {0xBF, XK_question},
    {0xC0, XK_asciitilde},
    {0xDB, XK_braceleft},
    {0xDC, XK_bar},
    {0xDD, XK_braceright},
    {0xDE, XK_quotedbl},
    {0x09, XK_ISO_Left_Tab},
    {0x21, XK_KP_Prior},
    {0x22, XK_KP_Next},
    {0x23, XK_KP_End},
    {0x24, XK_KP_Home},
    {0x25, XK_KP_Left},
    {0x26, XK_KP_Up},
    {0x27, XK_KP_Right},
    {0x28, XK_KP_Down},
    {0x0C, XK_KP_Begin},
    {0x2D, XK_KP_Insert},
    {0x2E, XK_KP_Delete},
    {0x12, XK_Meta_L},
    {0xA5, XK_ISO_Level3_Shift},
}};

constexpr std::array<unsigned long, 21> kExtendedKeysyms{
    XK_Prior,    XK_Next,      XK_End,      XK_Home,
    XK_Left,     XK_Up,        XK_Right,    XK_Down,
    XK_Insert,   XK_Delete,    XK_KP_Enter, XK_KP_Divide,
    XK_Num_Lock, XK_Control_R, XK_Alt_R,    XK_ISO_Level3_Shift,
    XK_Super_L,  XK_Super_R,   XK_Menu,     XK_Print,
    XK_Break,
};

} // namespace

unsigned long VirtualKeyToKeysym(int virtualKey) {
    for (const KeyRun& run : kRuns)
        if (virtualKey >= run.virtualKey && virtualKey < run.virtualKey + run.count)
            return run.keysym + (virtualKey - run.virtualKey);
    for (const KeyRow& row : kKeys)
        if (row.virtualKey == virtualKey)
            return row.keysym;
    return 0;
}

int KeysymToVirtualKey(unsigned long keysym) {
    for (const KeyRun& run : kRuns)
        if (keysym >= run.keysym && keysym < run.keysym + run.count)
            return run.virtualKey + static_cast<int>(keysym - run.keysym);
    for (const KeyRow& row : kKeys)
        if (row.keysym == keysym)
            return row.virtualKey;
    for (const KeyRow& row : kRecognisedKeys)
        if (row.keysym == keysym)
            return row.virtualKey;
    return 0;
}

bool IsExtendedKeysym(unsigned long keysym) {
    for (unsigned long extended : kExtendedKeysyms)
        if (extended == keysym)
            return true;
    return false;
}

} // namespace platform
