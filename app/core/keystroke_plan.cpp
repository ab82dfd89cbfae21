#include "app/core/keystroke_plan.h"

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
