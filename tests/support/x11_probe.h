#pragma once
// What the X server itself says about the game window, independent of SDL's view.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

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

// "x, y wxh": a place to compare and to show.
inline std::string placeOf(const Geometry &g) {
    return std::to_string(g.x) + ", " + std::to_string(g.y) + " " + std::to_string(g.width) + "x" + std::to_string(g.height);
}

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

// A client message to a window, as a window manager or a pager sends it.
inline void sendMessage(Window to, Window about, const char *type, std::initializer_list<long> data, long mask = NoEventMask) {
    Display *d = display();
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = about;
    event.xclient.message_type = XInternAtom(d, type, False);
    event.xclient.format = 32;
    std::copy(data.begin(), data.end(), event.xclient.data.l);
    XSendEvent(d, to, False, mask, &event);
    XSync(d, False);
}

// What the window manager sends when the player clicks the close button.
inline void pressCloseButton(Window window) {
    sendMessage(window, window, "WM_PROTOCOLS", {long(XInternAtom(display(), "WM_DELETE_WINDOW", False)), CurrentTime});
}

inline Atom atom(const char *name) { return XInternAtom(display(), name, False); }

// What a window manager's maximize button asks for (EWMH _NET_WM_STATE, add both ways).
inline void askMaximize(Window window) {
    sendMessage(DefaultRootWindow(display()), window, "_NET_WM_STATE",
                {1, long(atom("_NET_WM_STATE_MAXIMIZED_VERT")), long(atom("_NET_WM_STATE_MAXIMIZED_HORZ")), 1},
                SubstructureRedirectMask | SubstructureNotifyMask);
}

// The 32-bit items of a window's property (atoms, windows), none when it has none.
inline std::vector<unsigned long> propertyOf(Window window, const char *name, Atom type) {
    Atom actual;
    int format;
    unsigned long count = 0, after;
    unsigned char *data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display(), window, atom(name), 0, 32, False, type, &actual, &format, &count, &after, &data) == Success && data)
        items.assign(reinterpret_cast<unsigned long *>(data), reinterpret_cast<unsigned long *>(data) + count);
    if (data) XFree(data);
    return items;
}

inline bool isMaximized(Window window) {
    const std::vector<unsigned long> states = propertyOf(window, "_NET_WM_STATE", XA_ATOM);
    return std::count(states.begin(), states.end(), atom("_NET_WM_STATE_MAXIMIZED_VERT")) +
               std::count(states.begin(), states.end(), atom("_NET_WM_STATE_MAXIMIZED_HORZ")) == 2;
}

// Where a window manager puts a maximized window's inside: the work area less the window's frame.
inline Geometry maximizedPlace(Window window) {
    const std::vector<unsigned long> area = propertyOf(DefaultRootWindow(display()), "_NET_WORKAREA", XA_CARDINAL);
    const std::vector<unsigned long> frame = propertyOf(window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
    Geometry g;
    if (area.size() < 4 || frame.size() != 4) return g;
    g.x = int(area[0] + frame[0]), g.y = int(area[1] + frame[2]);
    g.width = int(area[2] - frame[0] - frame[1]), g.height = int(area[3] - frame[2] - frame[3]);
    return g;
}

// A window manager runs on the display: it has named its check window.
inline bool windowManagerRuns() { return propertyOf(DefaultRootWindow(display()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).size() == 1; }

inline bool xdotool(const std::string &arguments) {
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

// X events reach SDL asynchronously, later on a loaded machine: the deadline only bounds a hang.
inline bool eventually(const std::function<bool()> &condition) { return waitUntil(condition); }
}  // namespace x11probe
