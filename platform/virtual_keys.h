// The table between the program's virtual-key codes (the codes that macros, keystroke commands and
// the hotkey setting store) and X keysyms. It lives here because only the platform layer knows the
// X keysym values; both directions use the one table.
#pragma once

namespace platform {

// The keysym of a virtual-key code, or 0 when the code has none.
unsigned long VirtualKeyToKeysym(int virtualKey);
// The virtual-key code of a keysym, or 0 when none. Letters map to their key in either case.
int KeysymToVirtualKey(unsigned long keysym);
// True for the keys a PC keyboard sends as extended keys: the cursor block, the keypad's Enter and
// "/", Num Lock, the right-hand Ctrl and Alt, the Windows and menu keys, Print and Break.
bool IsExtendedKeysym(unsigned long keysym);

} // namespace platform
