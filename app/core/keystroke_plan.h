// Turns a "Link" output line into the key presses that type it: characters, and two-byte keystroke
// commands (a control byte naming the modifiers, then a virtual-key code).
#pragma once

#include <string>
#include <vector>

// Modifier bits of a keystroke command.
enum : int { kKeyShift = 1, kKeyCtrl = 2, kKeyAlt = 4 };

struct KeyStroke {
    enum Kind {
        kPause,     // a byte that presses nothing (carriage return): only the pause
        kCharacter, // type the character `character` as the keyboard layout produces it
        kCommand,   // press `virtualKey` with the `modifiers` held
    };
    Kind kind = kPause;
    unsigned char character = 0;
    int modifiers = 0;
    int virtualKey = 0;
    bool operator==(const KeyStroke&) const = default;
};

// One entry per walked byte of the line; every entry is preceded by the keystroke pause.
std::vector<KeyStroke> PlanKeystrokes(const std::string& line);
// The pause before each character: `g_Delay` in milliseconds when it is 1 to 1000, else 45.
int KeystrokeDelayMs(const std::string& delay);

// The keys of plan entries [from, to) as the user reads them: characters as they are, other keys
// by name in angle brackets ("<Tab>", "<Enter>", "<Ctrl+C>", "<F5>"); bytes that press nothing are
// left out.
std::string DescribeKeys(const std::vector<KeyStroke>& plan, std::size_t from, std::size_t to);
// What the window says of a reading that was not typed whole, with its keys, so that the user can
// enter it by hand: cut after the plan's first `typed` entries, or not typed at all (`typed` 0).
// `reason` says why ("the scale was stopped").
std::string UntypedReadingText(const std::string& line, std::size_t typed, const std::string& reason);
