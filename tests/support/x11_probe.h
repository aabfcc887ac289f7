#pragma once
// Shared by the window and menu tests and the benchmarks.
// What the X server itself says about the game window, independent of SDL's view.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

// Polls a condition until it holds; the deadline only bounds a hang.
inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 30000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
        if (std::chrono::steady_clock::now() > end) return false;
        else std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
}

namespace x11probe {

inline Window windowOf(SDL_Window *window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

// A connection of the test's own, like another program on the desktop.
inline Display *display() {
    static Display *d = XOpenDisplay(nullptr);
    return d;
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false;
};

inline Geometry geometryOf(Window window) {
    Geometry g;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display(), window, &attributes))
        return g;
    Window child;
    XTranslateCoordinates(display(), window, DefaultRootWindow(display()), 0, 0, &g.x, &g.y, &child);
    g.width = attributes.width, g.height = attributes.height;
    g.viewable = attributes.map_state == IsViewable;
    return g;
}

// What the window manager sends when the player clicks the close button.
inline void pressCloseButton(Window window) {
    Display *d = display();
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &event);
    XSync(d, False);
}

// What a window manager's maximize button asks for (EWMH _NET_WM_STATE, add both ways).
inline void askMaximize(Window window) {
    Display *d = display();
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;
    event.xclient.data.l[1] = long(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False));
    event.xclient.data.l[2] = long(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
    event.xclient.data.l[3] = 1;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(d, False);
}

// The window manager says the window is maximized both ways.
inline bool isMaximized(Window window) {
    Display *d = display();
    Atom type;
    int format;
    unsigned long count = 0, after;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_STATE", False), 0, 32, False, XA_ATOM, &type, &format,
                           &count, &after, &data) != Success)
        return false;
    int both = 0;
    for (unsigned long i = 0; i < count; i++) {
        const Atom state = reinterpret_cast<Atom *>(data)[i];
        both += state == XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False) ||
                state == XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    }
    XFree(data);
    return both == 2;
}

// A window manager runs on the display: it has named its check window.
inline bool windowManagerRuns() {
    Display *d = display();
    Atom type;
    int format;
    unsigned long count = 0, after;
    unsigned char *data = nullptr;
    XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False,
                       XA_WINDOW, &type, &format, &count, &after, &data);
    if (data)
        XFree(data);
    return count == 1;
}

// Runs an xdotool command line; true when it succeeded.
inline bool xdotool(const std::string &arguments) {
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

// X events reach SDL asynchronously, later on a loaded machine: the deadline only bounds a hang.
inline bool eventually(const std::function<bool()> &condition) { return waitUntil(condition); }
}  // namespace x11probe
