#include "app/core/output_line.h"

#include "comms/device.h"
#include "comms/settings.h"
#include "support/recording_notify.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

std::string Expand(const std::string& mode, const std::string& macro) {
    g_OutMode = mode;
    std::string out = "<";
    ExpandMacro(&out, macro);
    return out.substr(1);
}

struct MacroCase {
    const char* mode;
    std::string macro;
    std::string expected;
};

TEST(ExpandMacro, ExpandsByOutputMode) {
    const std::string many = "65,66,67,68,69,70,71,72,73,74,75,76,77,78,79,80,81,82,83,84,85,86,87,88,89,90,"
                             "48,49,50,51,52,53,54";
    const std::vector<MacroCase> cases = {
        // Every mode: tab, line end and blank; 0 or a token without digits ends the macro.
        {"Log", "", ""},
        {"Log", "0", ""},
        {"Log", "9,0,32", "\t"},
        {"Link", ",,9,,32,", "\t "},
        {"Excel", "9,10,32", "\t\r\n "},
        {"Log", "9,x,32", "\t"},
        {"Log", " 65, +66", "ab"},
        {"Log", "-65,65", "a"},
        {"Log", "9,9999999999999,32", "\t "},
        {"Log", "65\0"s + "66", "a"},
        {"Log", many, "abcdefghijklmnopqrstuvwxyz01234"}, // 33 codes: the first 31 count
        // Log: characters only.
        {"Log", "65", "a"},
        {"Log", "321", "A"},
        {"Log", "305", "!"},
        {"Log", "109", "-"},
        {"Log", "112", ""},
        {"Log", "13", ""},
        {"Log", "265", ""},
        {"Log", "579", ""},
        // Link: characters and keystroke commands.
        {"Link", "65", "a"},
        {"Link", "116", "\x08\x74"},
        {"Link", "321",
         "\x01"
         "A"},
        {"Link", "579",
         "\x02"
         "C"},
        {"Link", "2088", "\x08\x28"},
        {"Link", "112,123", "\x08\x70\x08\x7b"}, // F1, F12
        {"Link", "124", ""},                     // F13 has no fixed meaning and no character
        {"Link", "13,27", ""},
        {"Link", "1139", "\x03\x73"}, // Alt+F4
        {"Link", "1345",
         "\x04"
         "A"}, // Shift+Alt+A
        {"Link", "1601",
         "\x05"
         "A"}, // Ctrl+Alt+A
        {"Link", "1857",
         "\x06"
         "A"},                        // Ctrl+Shift+Alt+A
        {"Link", "3630", "\x05\x2e"}, // Ctrl+Alt+extended Delete
        {"Link", "2369",
         "\x01"
         "A"},                      // Shift+extended A
        {"Link", "833", ""},        // Shift+Ctrl+A: no keystroke command for it
        {"Link", "256,2048", ""},   // a modifier without a key
        {"Link", "4161,-2088", ""}, // beyond any modifier part
        // Excel and Test: nothing but tab, line end and blank.
        {"Excel", "65,321,116", ""},
        {"Test", "65,9", "\t"},
    };
    for (const MacroCase& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " macro '" + c.macro + "'");
        EXPECT_EQ(Expand(c.mode, c.macro), c.expected);
    }
}

TEST(KeyCodeToChar, KnowsTheUsLayoutAndNothingElse) {
    const std::vector<std::pair<int, char>> known = {
        {0x30, '0'},  {0x39, '9'},  {0x41, 'a'},  {0x5A, 'z'},  {0x60, '0'},  {0x69, '9'},  {0x6A, '*'},
        {0x6B, '+'},  {0x6D, '-'},  {0x6E, '.'},  {0x6F, '/'},  {0xBA, ';'},  {0xC0, '`'},  {0xDB, '['},
        {0xDC, '\\'}, {0xDE, '\''}, {0x130, ')'}, {0x139, '('}, {0x141, 'A'}, {0x15A, 'Z'}, {0x1BA, ':'},
        {0x1BD, '_'}, {0x1C0, '~'}, {0x1DB, '{'}, {0x1DE, '"'},
    };
    for (auto [code, expected] : known) {
        char ch = 0;
        EXPECT_EQ(KeyCodeToChar(code, &ch), 1) << code;
        EXPECT_EQ(ch, expected) << code;
    }
    for (int code : {0,    9,    13,    0x2F,  0x3A,  0x40,  0x5B,  0x6C,  0x70,  0xC1,
                     0xDA, 0xDF, 0x12F, 0x13A, 0x15B, 0x1C1, 0x1DF, 0x241, 0x841, -65}) {
        char ch = '#';
        EXPECT_EQ(KeyCodeToChar(code, &ch), 0) << code;
        EXPECT_EQ(ch, '#') << code;
    }
}

class ReadingTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsValues();
        DestroyDeviceList();
        m_dev = CreateDevice();
        g_FieldEnabled.fill(0);
        g_OutMode = "Log";
    }
    void TearDown() override {
        DestroyDeviceList();
        ResetSettingsValues();
    }
    std::string Build() {
        TakeCurrentReading(m_dev);
        BuildReadingText(m_dev);
        return m_dev->GetLastText();
    }
    Device* m_dev = nullptr;
};

TEST_F(ReadingTextTest, EnabledFieldsInOrderEachAfterItsMacro) {
    EXPECT_EQ(Build(), "\r\n"); // no field: only the end-of-line macro

    SetReadingField(m_dev, DF_NET_WEIGHT, "12.50");
    SetReadingField(m_dev, DF_GROSS_WEIGHT, "13.00");
    SetReadingField(m_dev, DF_TARE_WEIGHT, "0.50");
    g_FieldEnabled[DF_GROSS_WEIGHT] = 1;
    g_FieldEnabled[DF_NET_WEIGHT] = 1;
    EXPECT_EQ(Build(), "\t12.50\t13.00\r\n");

    g_FieldEnabled[DF_STATUS] = 1; // left empty by the parser: only its macro
    g_FieldEnabled[DF_SCALE_NAME] = 1;
    g_Macros[DF_NET_WEIGHT] = "0";
    g_Macros[DF_STATUS] = "32";
    g_Macros[DF_SCALE_NAME] = "186,32"; // "; "
    g_Macros[kEndOfLineMacro] = "9,10";
    m_dev->m_name = "Dock 2";
    EXPECT_EQ(Build(), "12.50\t13.00 ; Dock 2\t\r\n");

    // The longest reading fields are read whole.
    g_FieldEnabled.fill(0);
    g_FieldEnabled[DF_PARTS_NAME] = 1;
    g_Macros[kEndOfLineMacro] = "10";
    SetReadingField(m_dev, DF_PARTS_NAME, std::string(32, 'p'));
    EXPECT_EQ(Build(), "\t" + std::string(32, 'p') + "\r\n");
}

// A scale must not be able to press keys: in "Link" mode the control bytes (keystroke command bytes,
// Tab, line feed, carriage return and the rest) are taken out of field values, while macros still
// produce commands, tabs and line ends. Other modes keep the bytes as received.
TEST_F(ReadingTextTest, FieldValuesCannotPressKeys) {
    const std::string hostile = "\x01"
                                "A\x02"
                                "c\x03\x73\x04\x05\x06\x07\x08\x74"
                                "5\tB\nC\r\x7f"
                                "D";
    SetReadingField(m_dev, DF_ID_CODE, hostile);
    g_FieldEnabled[DF_ID_CODE] = 1;
    g_Macros[DF_ID_CODE] = "579,9"; // Ctrl+C and Tab from the user's own macro
    g_Macros[kEndOfLineMacro] = "116,10";
    g_OutMode = "Link";
    EXPECT_EQ(Build(), "\x02"
                       "C\tAcst5BCD\x08\x74\r\n");

    g_OutMode = "Log";
    EXPECT_EQ(Build(), "\t" + hostile + "\r\n");
    g_OutMode = "Excel";
    EXPECT_EQ(Build(), "\t" + hostile + "\r\n");

    g_OutMode = "Link";
    std::string line;
    AppendFieldText(&line, DF_ID_CODE,
                    "\x08\x0d"
                    "1");
    EXPECT_EQ(line, "\x02"
                    "C\t1");
}

TEST_F(ReadingTextTest, DateTimeIsTheLocalShortDateAndTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::time_t when = 1796792645; // 2026-12-09 05:04:05 UTC
    EXPECT_EQ(FormatReadingDateTime(when, std::locale::classic()), "12/09/26 05:04:05");
    try {
        EXPECT_EQ(FormatReadingDateTime(when, std::locale("de_DE.UTF-8")), "09.12.2026 05:04:05");
    } catch (const std::runtime_error&) {
        // the German locale is not installed here
    }

    g_FieldEnabled[DF_DATE_TIME] = 1;
    g_Macros[DF_DATE_TIME] = "0";
    const std::string before = FormatReadingDateTime(std::time(nullptr));
    const std::string line = Build();
    const std::string after = FormatReadingDateTime(std::time(nullptr));
    EXPECT_TRUE(line == before + "\r\n" || line == after + "\r\n") << line;
    unsetenv("TZ");
    tzset();
}

} // namespace
