#include "app/core/output_line.h"

#include "comms/decimal_text.h"
#include "comms/device.h"
#include "comms/settings.h"

#include <algorithm>
#include <array>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace {

// Runs of consecutive key codes and the characters they type on a US keyboard. A code that is in
// no run types no character.
struct KeyCharRun {
    int firstCode;
    std::string_view chars;
};

constexpr KeyCharRun kKeyChars[] = {
    {0x30, "0123456789"},                  // digit keys
    {0x41, "abcdefghijklmnopqrstuvwxyz"},  // letter keys
    {0x60, "0123456789"},                  // numeric pad digits
    {0x6A, "*+"},                          // numeric pad multiply, add
    {0x6D, "-./"},                         // numeric pad subtract, decimal point, divide
    {0xBA, ";=,-./`"},                     // OEM keys
    {0xDB, "[\\]'"},                       // OEM keys
    {0x130, ")!@#$%^&*("},                 // Shift + digit keys
    {0x141, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"}, // Shift + letter keys
    {0x1BA, ":+<_>?~"},                    // Shift + OEM keys
    {0x1DB, "{|}\""},                      // Shift + OEM keys
};

// Codes that expand the same way in every output mode.
struct FixedCode {
    int code;
    std::string_view text;
};
constexpr FixedCode kFixedCodes[] = {{9, "\t"}, {10, "\r\n"}, {32, " "}};

// "Link" mode: the control byte for each modifier part of a key code (bits 1 Shift, 2 Ctrl, 4 Alt,
// 8 extended key). Part 0 types the key's character instead; -1 marks Shift+Ctrl, for which the
// keystroke output has no command, so such a code is left out rather than pressed differently.
// The extended-key bit changes nothing: the keystroke output presses every key the same way.
constexpr std::array<int, 16> kLinkControlBytes{
    0,           kKeyWithShift,    kKeyWithCtrl,    -1,
    kKeyWithAlt, kKeyWithShiftAlt, kKeyWithCtrlAlt, kKeyWithCtrlShiftAlt,
    kKeyAlone,   kKeyWithShift,    kKeyWithCtrl,    -1,
    kKeyWithAlt, kKeyWithShiftAlt, kKeyWithCtrlAlt, kKeyWithCtrlShiftAlt,
};

// The function keys F1 to F12 without modifiers are pressed as keys, not typed as characters.
constexpr int kFirstFunctionKey = 0x70;
constexpr int kLastFunctionKey = 0x7B;
constexpr int kExtendedKeyPart = 0x800;

// Bytes that would press a key or a key combination in "Link" mode: the keystroke command bytes,
// Tab, line feed and the other control characters.
bool PressesAKey(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

void AppendCharacterOf(std::string* out, int code) {
    char ch;
    if (KeyCodeToChar(code, &ch))
        out->push_back(ch);
}

void AppendLinkCode(std::string* out, int code) {
    if (code >= kFirstFunctionKey && code <= kLastFunctionKey)
        code += kExtendedKeyPart;
    if (code < 0 || code >= 16 * 256)
        return;
    const int control = kLinkControlBytes[code / 256];
    const int key = code % 256;
    if (control == 0)
        AppendCharacterOf(out, code);
    else if (control > 0 && key != 0) {
        out->push_back(static_cast<char>(control));
        out->push_back(static_cast<char>(key));
    }
}

void AppendCode(std::string* out, int code) {
    for (const FixedCode& fixed : kFixedCodes) {
        if (fixed.code == code) {
            out->append(fixed.text);
            return;
        }
    }
    if (g_OutMode == "Log")
        AppendCharacterOf(out, code);
    else if (g_OutMode == "Link")
        AppendLinkCode(out, code);
}

const std::locale& UserLocale() {
    static const std::locale locale = [] {
        try {
            return std::locale("");
        } catch (const std::runtime_error&) {
            return std::locale::classic();
        }
    }();
    return locale;
}

} // namespace

int KeyCodeToChar(int code, char* ch) {
    for (const KeyCharRun& run : kKeyChars) {
        if (code >= run.firstCode && code < run.firstCode + static_cast<int>(run.chars.size())) {
            *ch = run.chars[code - run.firstCode];
            return 1;
        }
    }
    return 0;
}

void ExpandMacro(std::string* out, const std::string& macro) {
    const std::string_view text(macro.c_str()); // a NUL byte ends the macro
    std::size_t pos = 0;
    for (int taken = 0; taken < kMaxMacroCodes; ++taken) {
        pos = text.find_first_not_of(',', pos);
        if (pos == std::string_view::npos)
            return;
        const std::size_t end = text.find(',', pos);
        const int code = DecimalValue(text.substr(pos, end == std::string_view::npos ? end : end - pos));
        if (code == 0)
            return;
        AppendCode(out, code);
        pos = end;
    }
}

void AppendFieldMacro(std::string* out, int n, const std::string& value) {
    ExpandMacro(out, g_Macros[n]);
    if (g_OutMode != "Link") {
        out->append(value);
        return;
    }
    for (char c : value)
        if (!PressesAKey(c))
            out->push_back(c);
}

void AppendFieldText(std::string* out, int n, const char* text) {
    AppendFieldMacro(out, n, std::string(text));
}

std::string FormatReadingDateTime(std::time_t when, const std::locale& locale) {
    std::tm local{};
    localtime_r(&when, &local);
    std::ostringstream text;
    text.imbue(locale);
    text << std::put_time(&local, "%x %X");
    return text.str();
}

std::string FormatReadingDateTime(std::time_t when) {
    return FormatReadingDateTime(when, UserLocale());
}

void BuildReadingText(Device* dev) {
    std::string line;
    {
        std::lock_guard<std::mutex> lock(dev->ReadingsLock());
        for (int n = DF_DATE_TIME; n <= DF_SCALE_NAME; ++n) {
            if (!g_FieldEnabled[n])
                continue;
            if (n == DF_DATE_TIME) {
                AppendFieldMacro(&line, n, FormatReadingDateTime(std::time(nullptr)));
            } else if (n == DF_SCALE_NAME) {
                AppendFieldMacro(&line, n, dev->m_name);
            } else {
                const char* field = dev->DeliveredField(n);
                AppendFieldMacro(&line, n,
                                 std::string(field, std::find(field, field + ReadingFieldSize(n), '\0')));
            }
        }
    }
    ExpandMacro(&line, g_Macros[kEndOfLineMacro]);
    dev->SetLastText(std::move(line));
}
