// The video driver: which one (Wayland first, X11 behind it), starting it, loading the
// GL library early, the pixel format and GL context, and whether the renderer is
// hardware; the application shows its driver page when it is not.
#include "KWindow.h"

#include "KCatalog.h"

#include <SDL.h>
#include <GL/gl.h>
#include <wayland-client.h>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "KWindow_local.h"
#include "KMiscTools.h"

using namespace kwindow;

namespace kwindow {

DriverState driver;

void setColourBits(int16_t depth) {
    int red = 8, green = 8, blue = 8;
    if (depth == 16) {
        red = 5, green = 6, blue = 5;
    } else if (depth == 15) {
        red = green = blue = 5;
    } else if (depth < 15) {
        red = green = blue = 0;   // take what the desktop has
    }
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
}

// Open the window; its visual is the pixel format. First a hardware-accelerated
// double-buffered format, then any double-buffered one, then a window without GL.
SDL_Window *createWindowWithPixelFormat(const char *title, const Rect &place, Uint32 flags, int16_t depth,
                                        bool use3d) {
    flags |= SDL_WINDOW_SHOWN;
    setColourBits(depth);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, use3d ? 16 : 0);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
    SDL_Window *window =
        SDL_CreateWindow(title, place.x, place.y, place.width, place.height, flags | SDL_WINDOW_OPENGL);
    driver.pixelFormat = ACCELERATED_FORMAT;
    if (window)
        return window;

    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 0);
    window = SDL_CreateWindow(title, place.x, place.y, place.width, place.height, flags | SDL_WINDOW_OPENGL);
    driver.pixelFormat = GENERIC_FORMAT;
    if (window)
        return window;

    driver.pixelFormat = NO_FORMAT;
    return SDL_CreateWindow(title, place.x, place.y, place.width, place.height, flags);
}

bool videoDriverIs(const char *name) {
    const char *driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, name) == 0;
}

const char *otherDriver(const char *failed) {
    if (failed && std::strcmp(failed, "wayland") == 0)
        return _("try SDL_VIDEODRIVER=x11");
    if (failed && std::strcmp(failed, "x11") == 0)
        return _("try SDL_VIDEODRIVER=wayland, or check DISPLAY");
    return _("try SDL_VIDEODRIVER=x11 or SDL_VIDEODRIVER=wayland");
}

// One line on standard error, the player's way out included, where the display fails.
void reportVideoFailure(const char *driver, const char *step, const char *reason, const char *next) {
    // TRANSLATORS: the video driver's name, what it could not do ("start", "open a window"), why, and what to try.
    std::fprintf(stderr, _("brolix: the %s video driver could not %s: %s; %s\n"), driver ? driver : "SDL", step,
                 reason && *reason ? reason : _("no reason given"), next);
}

// Wayland, or X11 when the compositor has no seat or SDL cannot start there.
bool startWaylandFirst(bool report) {
    std::string waylandReason = _("the compositor offers no seat (no keyboard, no pointer)");
    if (!KWindow::waylandLacksSeat()) {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "wayland,x11", SDL_HINT_OVERRIDE);
        if ((driver.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0))
            return true;
        waylandReason = SDL_GetError();
    }
    // SDL goes on to X11 only when Wayland is not there at all, not when it fails to start.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    driver.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (driver.videoStarted)
        reportVideoFailure("wayland", _("start"), waylandReason.c_str(), _("using x11"));
    else if (report)
        std::fprintf(stderr, _("brolix: neither the wayland nor the x11 video driver could start: %s, %s; check "
                               "WAYLAND_DISPLAY and DISPLAY\n"), waylandReason.c_str(), SDL_GetError());
    return driver.videoStarted;
}

// A Wayland session gets a native window, X11 being the fallback; a driver the player
// chose (SDL_VIDEODRIVER) is left alone.
bool startVideo(bool report) {
    if (driver.videoStarted)
        return true;
    const char *chosen = SDL_getenv("SDL_VIDEODRIVER"), *wayland = SDL_getenv("WAYLAND_DISPLAY");
    if (!(chosen && *chosen) && wayland && *wayland)
        return startWaylandFirst(report);
    driver.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!driver.videoStarted && report)
        reportVideoFailure(chosen && *chosen ? chosen : nullptr, _("start"), SDL_GetError(), otherDriver(chosen));
    return driver.videoStarted;
}

// A window with a working GL context: Wayland's EGL offers the compatibility profile
// our immediate mode needs, but a compositor may still refuse it.
bool contextWorks(SDL_Window *window) {
    if (!window)
        return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    win.openGLContext = SDL_GL_CreateContext(window);
    if (win.openGLContext && SDL_GL_MakeCurrent(window, win.openGLContext) == 0 && glGetString(GL_VERSION))
        return true;
    if (win.openGLContext)
        SDL_GL_DeleteContext(win.openGLContext);
    win.openGLContext = nullptr;
    return false;
}

// The compositor took no window or no GL context: the same window on X11, which
// a Wayland desktop mostly offers too.
SDL_Window *openOnX11Instead(const char *title, int width, int height, int16_t depth, bool windowed) {
    reportVideoFailure("wayland", win.hwnd ? _("make a GL context") : _("open a window"), SDL_GetError(),
                       "trying x11");
    if (win.hwnd)
        SDL_DestroyWindow(win.hwnd);
    if (driver.driverPreloaded)
        SDL_GL_UnloadLibrary();
    driver.driverPreloaded = false;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    driver.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    return driver.videoStarted ? openGameWindow(title, width, height, depth, windowed, win.use3d) : nullptr;
}

// Drivers that show nothing: SDL falls back on them when there is no display,
// and a game window there could never be seen nor come to the front.
bool isInvisibleDriver() {
    const char *driver = SDL_GetCurrentVideoDriver();
    const char *asked = SDL_getenv("SDL_VIDEODRIVER");
    bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    return invisible && !(asked && std::strcmp(asked, driver) == 0);
}

void lowerCase(const char *text, char (&out)[2048]) {
    std::strncpy(out, text ? text : "", sizeof(out) - 1);
    out[sizeof(out) - 1] = '\0';
    for (char *c = out; *c; c++)
        *c = char(std::tolower(static_cast<unsigned char>(*c)));
}

const char *glString(GLenum name) { return reinterpret_cast<const char *>(glGetString(name)); }

}  // namespace kwindow

// Loading the GL driver (a software renderer maps a whole compiler) is most of the time
// a first window takes; done here, it can overlap with something the player looks at.
void KWindow::prepareDisplay() {
    startVideo(false);
    if (driver.videoStarted && !driver.driverPreloaded && !isInvisibleDriver())
        driver.driverPreloaded = SDL_GL_LoadLibrary(nullptr) == 0;
}

bool KWindow::AttachOpenGLToWindow(int16_t depth) {
    (void)depth;   // the visual was chosen with the window
    if (driver.pixelFormat == NO_FORMAT) {
        driver.isAccelerated = false;
        KMiscTools::messageBox("Could not initialize openGL", "Please install your video drivers");
        KMiscTools::messageBox("Could not select fixel format", "OpenGl error : video drivers probably missing.");
        return false;
    }
    driver.isAccelerated = driver.pixelFormat == ACCELERATED_FORMAT;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    if (!win.openGLContext)
        win.openGLContext = SDL_GL_CreateContext(win.hwnd);
    if (!win.openGLContext) {
        reportVideoFailure(SDL_GetCurrentVideoDriver(), "make a GL context", SDL_GetError(),
                           otherDriver(SDL_GetCurrentVideoDriver()));
        KMiscTools::messageBox("Could not create openGL Context", "OpenGl error");
        return false;
    }
    if (SDL_GL_MakeCurrent(win.hwnd, win.openGLContext) != 0) {
        KMiscTools::messageBox("Could not make  openGL Context", "OpenGl error");
        return false;
    }
    return true;
}

bool KWindow::getAccelerationCap() { return driver.isAccelerated; }

// SDL's Wayland driver takes a seat for granted as it starts and crashes on a compositor
// that offers none (a headless one), where the game could take no input anyway. A display
// that cannot be reached is left to SDL, which then goes on to X11 by itself.
bool KWindow::waylandLacksSeat() {
    const char *name = SDL_getenv("WAYLAND_DISPLAY");
    wl_display *display = name && *name ? wl_display_connect(name) : nullptr;
    if (!display)
        return false;
    bool seat = false;
    static const wl_registry_listener listener = {
        [](void *found, wl_registry *, uint32_t, const char *offered, uint32_t) {
            *static_cast<bool *>(found) |= std::strcmp(offered, wl_seat_interface.name) == 0;
        },
        [](void *, wl_registry *, uint32_t) {}};
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &seat);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered && !seat;
}

bool KWindow::isSoftwareRenderer(const char *vendor, const char *renderer) {
    static char lowVendor[2048], lowRenderer[2048];
    lowerCase(vendor, lowVendor);
    lowerCase(renderer, lowRenderer);
    if (std::strstr(lowVendor, "microsoft corporation"))
        return true;
    for (const char *software : {"gdi generic", "llvmpipe", "softpipe", "swrast"}) {
        if (std::strstr(lowRenderer, software))
            return true;
    }
    return false;
}
