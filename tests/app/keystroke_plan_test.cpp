#include "app/core/keystroke_plan.h"

#include <gtest/gtest.h>

namespace {

KeyStroke Char(unsigned char c) { return {KeyStroke::kCharacter, c, 0, 0}; }
KeyStroke Command(int modifiers, int vk) { return {KeyStroke::kCommand, 0, modifiers, vk}; }
KeyStroke Pause() { return {}; }

TEST(KeystrokePlan, CharactersCommandsAndCarriageReturns) {
    EXPECT_EQ(PlanKeystrokes("\t12.5\r\n"),
              (std::vector<KeyStroke>{Char('\t'), Char('1'), Char('2'), Char('.'), Char('5'), Pause(), Char('\n')}));
    EXPECT_EQ(PlanKeystrokes("Kg"), (std::vector<KeyStroke>{Char('K'), Char('g')}));
    EXPECT_EQ(PlanKeystrokes("\x08\x74"), (std::vector<KeyStroke>{Command(0, 0x74)}));
    EXPECT_EQ(PlanKeystrokes("\x02" "C" "x"), (std::vector<KeyStroke>{Command(kKeyCtrl, 'C'), Char('x')}));
    EXPECT_EQ(PlanKeystrokes(std::string("\x06\x2E", 2)),
              (std::vector<KeyStroke>{Command(kKeyCtrl | kKeyShift | kKeyAlt, 0x2E)}));
    EXPECT_EQ(PlanKeystrokes("\x04\x41\x05\x42"),
              (std::vector<KeyStroke>{Command(kKeyShift | kKeyAlt, 'A'), Command(kKeyCtrl | kKeyAlt, 'B')}));
    // 7 is no command; a command byte without its key at the end is dropped.
    EXPECT_EQ(PlanKeystrokes("\x07"), (std::vector<KeyStroke>{Char(7)}));
    EXPECT_EQ(PlanKeystrokes("a\x03"), (std::vector<KeyStroke>{Char('a')}));
    EXPECT_TRUE(PlanKeystrokes("").empty());
    EXPECT_EQ(PlanKeystrokes("\xE9"), (std::vector<KeyStroke>{Char(0xE9)}));
}

TEST(KeystrokePlan, DelayFallsBackOutsideOneToAThousand) {
    EXPECT_EQ(KeystrokeDelayMs("0"), 45);
    EXPECT_EQ(KeystrokeDelayMs(""), 45);
    EXPECT_EQ(KeystrokeDelayMs("5000"), 45);
    EXPECT_EQ(KeystrokeDelayMs("-3"), 45);
    EXPECT_EQ(KeystrokeDelayMs("1000"), 1000);
    EXPECT_EQ(KeystrokeDelayMs("55"), 55);
    EXPECT_EQ(KeystrokeDelayMs("1"), 1);
}

// A reading not typed whole is shown with its keys, named where they are no characters, and cut
// where the typing stopped.
TEST(KeystrokePlan, UntypedReadingsShowTheirKeys) {
    const std::string line = "\tAb-1\x02"
                             "C\x08\x74\x05\x41\r\n";
    EXPECT_EQ(UntypedReadingText(line, 0, "the scale was stopped"),
              "Reading not typed (the scale was stopped): \"<Tab>Ab-1<Ctrl+C><F5><Ctrl+Alt+A><Enter>\"");
    EXPECT_EQ(UntypedReadingText(line, 3, "the keyboard focus moved to another window"),
              "Reading cut (the keyboard focus moved to another window). Typed: \"<Tab>Ab\", not typed: "
              "\"-1<Ctrl+C><F5><Ctrl+Alt+A><Enter>\"");
}

} // namespace
