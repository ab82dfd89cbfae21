// The keys this program uses itself on the X server: the keys its hotkeys grab and the spare keys
// its keyboard binds to characters the layout lacks. Kept in one place so that the two never trip
// over each other: a key Pondra types is never one its hotkey takes, and the hotkey never grabs a
// spare key because it happens to give the hotkey's character for the moment.
#pragma once

#include <vector>

namespace platform {

// One grabbed key: its keycode and the exact modifier state grabbed with it.
struct OwnGrab {
    unsigned keycode;
    unsigned state;
    bool operator==(const OwnGrab&) const = default;
};

void AddOwnGrabs(const std::vector<OwnGrab>& grabs);
void RemoveOwnGrabs(const std::vector<OwnGrab>& grabs);
// Whether a hotkey of this program grabs the key with exactly the modifier state `state`.
bool IsOwnGrab(unsigned keycode, unsigned state);
// Drops the grabs of this program from `grabs`.
void EraseOwnGrabs(std::vector<OwnGrab>* grabs);

void AddSpareKey(unsigned keycode);
void RemoveSpareKey(unsigned keycode);
// Whether a keyboard of this program has bound the key to a character of its own.
bool IsSpareKey(unsigned keycode);

} // namespace platform
