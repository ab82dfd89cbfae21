// The output line of a reading: every enabled data field in field order, each preceded by its
// expanded macro, then the expanded end-of-line macro. How a macro expands depends on g_OutMode:
// "Log" gives plain characters, "Link" characters and keystroke commands, "Excel" (and any other
// mode) only tabs, line ends and blanks.
//
// A keystroke command is two bytes of a "Link" line: a control byte (1 Shift, 2 Ctrl, 3 Alt,
// 4 Shift+Alt, 5 Ctrl+Alt, 6 Ctrl+Shift+Alt, 8 no modifier) and the virtual-key code to press.
// Only macros press keys other than characters: in "Link" mode the control bytes (the keystroke
// command bytes, Tab, line feed, carriage return and the others) are removed from field values, so a
// scale cannot press keys in the user's application, move its cursor or submit its forms. The other
// modes keep field values as received.
#pragma once

#include <ctime>
#include <locale>
#include <string>

struct Device;

// Keystroke command control bytes.
inline constexpr char kKeyWithShift = 1;
inline constexpr char kKeyWithCtrl = 2;
inline constexpr char kKeyWithAlt = 3;
inline constexpr char kKeyWithShiftAlt = 4;
inline constexpr char kKeyWithCtrlAlt = 5;
inline constexpr char kKeyWithCtrlShiftAlt = 6;
inline constexpr char kKeyAlone = 8;

// At most this many codes of a macro are expanded.
inline constexpr int kMaxMacroCodes = 31;

// Builds the line of the reading held in `dev` and stores it as its last text. GUI thread. Takes
// dev->ReadingsLock() itself while it reads the reading fields, so the caller must not hold it.
void BuildReadingText(Device* dev);

// Appends the expansion of `macro` (comma-separated decimal key codes) to `out`.
void ExpandMacro(std::string* out, const std::string& macro);
// Appends the expansion of g_Macros[n], then `value` (without control bytes in "Link" mode).
void AppendFieldMacro(std::string* out, int n, const std::string& value);
// The same with a NUL-terminated text.
void AppendFieldText(std::string* out, int n, const char* text);

// The character that key code `code` types on a US keyboard: 1 and *ch set, or 0 and *ch unchanged.
int KeyCodeToChar(int code, char* ch);

// The date and time of field 1: the local short date and time of `when` in the user's locale (the
// locale the environment names, "C" when it names none that exists).
std::string FormatReadingDateTime(std::time_t when);
// The same in the given locale.
std::string FormatReadingDateTime(std::time_t when, const std::locale& locale);
