// Helpers of the X11 tests: a plain Xlib target window, XTest keys, event collection.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace x11test {

using Clock = std::chrono::steady_clock;

inline void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A mapped top-level window of the test's own connection that records buttons and keys.
struct Target {
    Display* display = nullptr;
    Window window = 0;
};

inline Target OpenTarget(int x, int y, int width, int height) {
    Target t;
    t.display = XOpenDisplay(nullptr);
    if (t.display == nullptr) return t;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;  // placed exactly, whatever window manager runs
    attributes.background_pixel = WhitePixel(t.display, DefaultScreen(t.display));
    attributes.event_mask = ButtonPressMask | ButtonReleaseMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask;
    t.window = XCreateWindow(t.display, DefaultRootWindow(t.display), x, y, static_cast<unsigned>(width),
                             static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    XMapRaised(t.display, t.window);
    XEvent event{};
    do XWindowEvent(t.display, t.window, StructureNotifyMask, &event);
    while (event.type != MapNotify);
    XSync(t.display, False);
    return t;
}

inline void CloseTarget(Target& t) {
    if (t.display == nullptr) return;
    XDestroyWindow(t.display, t.window);
    XCloseDisplay(t.display);
    t.display = nullptr;
}

inline void Focus(const Target& t) {
    XSetInputFocus(t.display, t.window, RevertToPointerRoot, CurrentTime);
    XSync(t.display, False);
}

// A recorded event with the time it was read.
struct Seen {
    XEvent event;
    Clock::time_point at;
};

// Reads the target's events for the given time; stop, when given, ends it early.
inline std::vector<Seen> Collect(const Target& t, int ms, const std::function<bool(const std::vector<Seen>&)>& stop = {}) {
    std::vector<Seen> seen;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        while (XPending(t.display) > 0) {
            Seen s{};
            XNextEvent(t.display, &s.event);
            s.at = Clock::now();
            seen.push_back(s);
            if (stop && stop(seen)) return seen;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return seen;
        pollfd fd{ConnectionNumber(t.display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left < 10 ? left : 10));
    }
}

inline std::vector<Seen> OfType(const std::vector<Seen>& seen, int type) {
    std::vector<Seen> out;
    for (const Seen& s : seen) {
        if (s.event.type == type) out.push_back(s);
    }
    return out;
}

// Presses or releases the key of keysym through XTest on display.
inline void Key(Display* display, KeySym keysym, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), down ? True : False, CurrentTime);
    XSync(display, False);
}

inline void MovePointer(Display* display, int x, int y) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XSync(display, False);
}

}  // namespace x11test
