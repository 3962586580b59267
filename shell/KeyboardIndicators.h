#pragma once
// The state of the keyboard's Caps Lock, Num Lock and Scroll Lock, for the
// status bar's indicators. Only X11 (through XKB) tells it; elsewhere the
// state is unknown.

namespace quorl {

struct KeyboardLockState {
    bool known = false;
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

KeyboardLockState QueryKeyboardLocks();

}  // namespace quorl
