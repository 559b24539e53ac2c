#ifdef _WIN32
#error "X11 key injection in a Windows build"
#endif
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "bench/inject.h"

namespace tavrel {

void InjectKey(std::int32_t vk, bool down) {
    // Its own connection: the injecting thread is not FLTK's.
    static Display* display = XOpenDisplay(nullptr);
    const KeySym sym = vk == 17 ? XK_Control_L : static_cast<KeySym>(XK_F1 + (vk - 0x70));
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), down ? True : False, CurrentTime);
    XFlush(display);
}

}  // namespace tavrel
