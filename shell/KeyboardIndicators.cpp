#include "shell/KeyboardIndicators.h"

#include <QGuiApplication>

#if defined(QUORL_HAVE_XKB)
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace quorl {

KeyboardLockState QueryKeyboardLocks() {
    KeyboardLockState state;
#if defined(QUORL_HAVE_XKB)
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return state;
    // By indicator name, since their bit positions differ between keymaps.
    static const Atom caps = XInternAtom(display, "Caps Lock", False);
    static const Atom num = XInternAtom(display, "Num Lock", False);
    static const Atom scroll = XInternAtom(display, "Scroll Lock", False);
    const auto lit = [display](Atom name, bool& on) {
        Bool value = False;
        if (!XkbGetNamedIndicator(display, name, nullptr, &value, nullptr, nullptr)) return false;
        on = value != False;
        return true;
    };
    state.known = lit(caps, state.caps) & lit(num, state.num) & lit(scroll, state.scroll);
#endif
    return state;
}

}  // namespace quorl
