#include "app/core/keystroke_plan.h"

#include "app/core/hotkey_text.h"

#include <array>
#include <cstdlib>

namespace {

// Modifiers of the control bytes 1 to 8 (0 = not a command; 8 presses the key alone).
constexpr std::array<int, 9> kCommandModifiers{
    -1, kKeyShift, kKeyCtrl, kKeyAlt, kKeyShift | kKeyAlt, kKeyCtrl | kKeyAlt, kKeyCtrl | kKeyShift | kKeyAlt,
    -1, 0,
};

} // namespace

std::vector<KeyStroke> PlanKeystrokes(const std::string& line) {
    std::vector<KeyStroke> plan;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        KeyStroke stroke;
        if (byte < kCommandModifiers.size() && kCommandModifiers[byte] >= 0) {
            // A command byte at the very end has no key to press.
            if (i + 1 >= line.size())
                break;
            stroke.kind = KeyStroke::kCommand;
            stroke.modifiers = kCommandModifiers[byte];
            stroke.virtualKey = static_cast<unsigned char>(line[++i]);
        } else if (byte != '\r') {
            stroke.kind = KeyStroke::kCharacter;
            stroke.character = byte;
        }
        plan.push_back(stroke);
    }
    return plan;
}

int KeystrokeDelayMs(const std::string& delay) {
    const long ms = std::strtol(delay.c_str(), nullptr, 10);
    return (ms <= 0 || ms > 1000) ? 45 : static_cast<int>(ms);
}

std::string DescribeKeys(const std::vector<KeyStroke>& plan, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to && i < plan.size(); ++i) {
        const KeyStroke& stroke = plan[i];
        if (stroke.kind == KeyStroke::kCommand) {
            text += "<";
            text += (stroke.modifiers & kKeyCtrl) ? "Ctrl+" : "";
            text += (stroke.modifiers & kKeyShift) ? "Shift+" : "";
            text += (stroke.modifiers & kKeyAlt) ? "Alt+" : "";
            text += HotKeyName(stroke.virtualKey, false) + ">";
        } else if (stroke.kind == KeyStroke::kCharacter) {
            if (stroke.character == '\t')
                text += "<Tab>";
            else if (stroke.character == '\n')
                text += "<Enter>";
            else if (stroke.character >= 0x20 && stroke.character != 0x7F)
                text += static_cast<char>(stroke.character);
        }
    }
    return text;
}

std::string UntypedReadingText(const std::string& line, std::size_t typed, const std::string& reason) {
    const std::vector<KeyStroke> plan = PlanKeystrokes(line);
    if (typed == 0)
        return "Reading not typed (" + reason + "): \"" + DescribeKeys(plan, 0, plan.size()) + "\"";
    return "Reading cut (" + reason + "). Typed: \"" + DescribeKeys(plan, 0, typed) + "\", not typed: \"" +
           DescribeKeys(plan, typed, plan.size()) + "\"";
}
