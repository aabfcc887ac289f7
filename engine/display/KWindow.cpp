#include "KWindow.h"

#include "KCatalog.h"

#include <SDL.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <wayland-client.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <numeric>
#include <string>

#include "K3D.h"
#include "KFrame.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KFramePacer.h"
#include "KPlatform.h"
#include "KSound.h"

namespace {
// Tests run long games in a blink: BROLIX_NO_FRAME_WAIT=1 (read once, at start-up)
// makes every flip return at once. Frame counts, and so every rule, are unchanged.
uint32_t framePeriodMs() {
    const char *noWait = std::getenv("BROLIX_NO_FRAME_WAIT");
    return noWait && *noWait && std::strcmp(noWait, "0") != 0 ? 0 : 14;
}

enum PixelFormat { NO_FORMAT, GENERIC_FORMAT, ACCELERATED_FORMAT };

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

typedef void (*GenFn)(GLsizei, GLuint *);
typedef void (*BindFn)(GLenum, GLuint);
struct FramebufferApi {
    GenFn genFramebuffers = nullptr, genRenderbuffers = nullptr;
    void (*deleteFramebuffers)(GLsizei, const GLuint *) = nullptr;
    void (*deleteRenderbuffers)(GLsizei, const GLuint *) = nullptr;
    BindFn bindFramebuffer = nullptr, bindRenderbuffer = nullptr;
    void (*renderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei) = nullptr;
    void (*framebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint) = nullptr;
    GLenum (*checkFramebufferStatus)(GLenum) = nullptr;
    void (*blitFramebuffer)(GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLbitfield, GLenum) = nullptr;
};

const GLenum kFramebuffer = 0x8D40, kReadFramebuffer = 0x8CA8, kDrawFramebuffer = 0x8CA9;
const GLenum kRenderbuffer = 0x8D41, kColorAttachment0 = 0x8CE0, kFramebufferComplete = 0x8CD5;

const int kIconSize = 32;
const int kMinimumWidth = 320, kMinimumHeight = 240;   // a window smaller than this shows too little

// Copies a part of the back buffer to the window; Mesa's GLX offers it.
typedef void (*CopySubBufferFn)(Display *, GLXDrawable, int, int, int, int);
// On EGL (Wayland) a swap tells the compositor which part changed; the back buffer
// is undefined after a swap, so the whole picture is still drawn into it.
typedef EGLBoolean (*SwapWithDamageFn)(EGLDisplay, EGLSurface, const EGLint *, EGLint);

// Everything the one window of the process keeps, in one place.
struct WindowState {
    int16_t windowWidth = 0, windowHeight = 0;
    SDL_Window *hwnd = nullptr;
    SDL_GLContext openGLContext = nullptr;
    bool quit = false;
    uint32_t maxFrameRate = framePeriodMs();   // minimum period between two flips in ms (0: no pacing)
    KFramePacer pacer{int64_t(maxFrameRate) * 1000000};   // when frames are due, which go undrawn to catch up
    KDrawingWatch drawingWatch;          // whether drawing at the render scale keeps up
    double mostRenderScale = 0;          // once drawing fell behind: the finest scale drawn at (0: any)
    bool isAccelerated = false;
    bool use3d = false;                  // ask for a depth buffer
    bool isWaitVBLSupported = false;

    bool videoStarted = false;
    bool driverPreloaded = false;        // prepareDisplay holds one reference on the GL library
    PixelFormat pixelFormat = NO_FORMAT;
    // Set once the game window has been in front: the foreground wait applies only
    // then, so a desktop that never hands the focus over cannot freeze the start.
    bool everFocused = false;
    void (*focusLossCall)() = nullptr;
    Uint32 gameWindowID = 0;

    // Where the logical screen lands in the window, its aspect kept.
    Rect glView;                         // in drawable pixels, y upwards
    bool bars = false;                   // glView leaves part of the drawable uncovered
    bool fullscreen = false;             // now, after any switch
    KWindowPlace place;                  // the windowed place asked for, then the last one left
    bool switchKeysDown = false;         // F11 or Alt+Enter held: one switch per press

    // The logical screen is drawn into this framebuffer at the size it is shown (the
    // letterboxed drawable) and copied to the window pixel for pixel at each flip. It
    // keeps its pixels, so a frame that changed little is drawn again only where it changed.
    FramebufferApi fb;
    bool framebuffers = false;           // the driver offers framebuffer objects
    GLuint logicalFramebuffer = 0, logicalRenderbuffer = 0;
    int renderWidth = 0, renderHeight = 0;
    bool blankSurface = false;           // made anew, nothing drawn into it yet
    bool repaintDue = false;             // covered, uncovered, restored or resized since the last present
    CopySubBufferFn copySubBuffer = nullptr;
    SwapWithDamageFn swapWithDamage = nullptr;

    uint8_t drawnIcon[kIconSize * kIconSize * 4];
    const uint8_t *iconPixels = nullptr;   // for the next window; default: drawnIcon
    int iconWidth = 0, iconHeight = 0;
};
WindowState state;

template <typename F>
void loadProc(F &fn, const char *name) {
    fn = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

bool loadFramebufferApi() {
    FramebufferApi &fb = state.fb;
    loadProc(fb.genFramebuffers, "glGenFramebuffers");
    loadProc(fb.genRenderbuffers, "glGenRenderbuffers");
    loadProc(fb.deleteFramebuffers, "glDeleteFramebuffers");
    loadProc(fb.deleteRenderbuffers, "glDeleteRenderbuffers");
    loadProc(fb.bindFramebuffer, "glBindFramebuffer");
    loadProc(fb.bindRenderbuffer, "glBindRenderbuffer");
    loadProc(fb.renderbufferStorage, "glRenderbufferStorage");
    loadProc(fb.framebufferRenderbuffer, "glFramebufferRenderbuffer");
    loadProc(fb.checkFramebufferStatus, "glCheckFramebufferStatus");
    loadProc(fb.blitFramebuffer, "glBlitFramebuffer");
    return fb.genFramebuffers && fb.genRenderbuffers && fb.deleteFramebuffers && fb.deleteRenderbuffers &&
           fb.bindFramebuffer && fb.bindRenderbuffer && fb.renderbufferStorage &&
           fb.framebufferRenderbuffer && fb.checkFramebufferStatus && fb.blitFramebuffer;
}

void deleteLogicalScreen() {
    if (!state.logicalFramebuffer)
        return;
    state.fb.bindFramebuffer(kFramebuffer, 0);
    state.fb.deleteFramebuffers(1, &state.logicalFramebuffer);
    state.fb.deleteRenderbuffers(1, &state.logicalRenderbuffer);
    state.logicalFramebuffer = state.logicalRenderbuffer = 0;
}

// An off-screen logical screen at the size it is shown, so a part of it goes to the
// window unscaled. Without framebuffer objects the viewport scales and every frame
// is drawn whole.
void createLogicalScreen(int width, int height) {
    if (!state.framebuffers)
        return;
    state.fb.genFramebuffers(1, &state.logicalFramebuffer);
    state.fb.genRenderbuffers(1, &state.logicalRenderbuffer);
    state.fb.bindRenderbuffer(kRenderbuffer, state.logicalRenderbuffer);
    // No alpha channel, like the windowed back buffer, so blending reads alike.
    state.fb.renderbufferStorage(kRenderbuffer, GL_RGB8, width, height);
    state.fb.bindFramebuffer(kFramebuffer, state.logicalFramebuffer);
    state.fb.framebufferRenderbuffer(kFramebuffer, kColorAttachment0, kRenderbuffer, state.logicalRenderbuffer);
    if (state.fb.checkFramebufferStatus(kFramebuffer) != kFramebufferComplete)
        deleteLogicalScreen();
}

// The largest rectangle of the logical screen's aspect that fits, centred.
Rect letterbox(int outerWidth, int outerHeight, int width, int height) {
    double scale = std::min(double(outerWidth) / width, double(outerHeight) / height);
    Rect r;
    r.width = int(std::lround(width * scale));
    r.height = int(std::lround(height * scale));
    r.x = (outerWidth - r.width) / 2;
    r.y = (outerHeight - r.height) / 2;
    return r;
}

void applyViewport() {
    if (state.logicalFramebuffer)
        glViewport(0, 0, state.renderWidth, state.renderHeight);
    else
        glViewport(state.glView.x, state.glView.y, state.glView.width, state.glView.height);
}

// The logical screen drawn at the size of its place in the drawable, or coarser once
// drawing there fell behind; the old pixels are gone, so the next frame is drawn whole.
void sizeLogicalScreen(int width, int height) {
    const Rect &view = state.glView;
    const bool capped = state.mostRenderScale > 0 && view.width > width * state.mostRenderScale;
    const int drawnWidth = capped ? int(width * state.mostRenderScale) : view.width;
    const int drawnHeight = capped ? int(height * state.mostRenderScale) : view.height;
    if (state.logicalFramebuffer && state.renderWidth == drawnWidth && state.renderHeight == drawnHeight)
        return;
    deleteLogicalScreen();
    createLogicalScreen(drawnWidth, drawnHeight);
    state.renderWidth = state.logicalFramebuffer ? drawnWidth : width;
    state.renderHeight = state.logicalFramebuffer ? drawnHeight : height;
    state.blankSurface = true;
    KFrame::setSurfaceKept(state.logicalFramebuffer != 0);
    KGraphic::setRenderSize(int16_t(state.renderWidth), int16_t(state.renderHeight));
}

void loadPartialPresent() {
    state.copySubBuffer = nullptr;
    state.swapWithDamage = nullptr;
    Display *display = glXGetCurrentContext() ? glXGetCurrentDisplay() : nullptr;
    const char *extensions = display ? glXQueryExtensionsString(display, DefaultScreen(display)) : nullptr;
    if (extensions && std::strstr(extensions, "GLX_MESA_copy_sub_buffer"))
        state.copySubBuffer = reinterpret_cast<CopySubBufferFn>(SDL_GL_GetProcAddress("glXCopySubBufferMESA"));
    EGLDisplay egl = eglGetCurrentContext() != EGL_NO_CONTEXT ? eglGetCurrentDisplay() : EGL_NO_DISPLAY;
    extensions = egl != EGL_NO_DISPLAY ? eglQueryString(egl, EGL_EXTENSIONS) : nullptr;
    for (const char *name : {"KHR", "EXT"}) {
        const std::string extension = std::string("EGL_") + name + "_swap_buffers_with_damage";
        if (!state.swapWithDamage && extensions && std::strstr(extensions, extension.c_str()))
            state.swapWithDamage = reinterpret_cast<SwapWithDamageFn>(
                eglGetProcAddress((std::string("eglSwapBuffersWithDamage") + name).c_str()));
    }
}

// Drawn coarser than shown (drawing fell behind): the window shows it smoothly enlarged.
bool drawnAsShown() { return state.renderWidth == state.glView.width && state.renderHeight == state.glView.height; }

// Rendered pixels [from, to) along one side and the window pixels they fill, [shownFrom, shownTo).
struct Run {
    int from, to, shownFrom, shownTo;
};

// A run of rendered pixels widened to whole steps that fill whole window pixels (one
// pixel when drawn as shown), `margin` steps more on each side, within the surface: a
// part so cut is enlarged exactly as it is within the whole.
Run alignedRun(int from, int to, int rendered, int shown, int margin) {
    const int step = rendered / std::gcd(rendered, shown);
    const int first = std::max(0, from / step - margin) * step;
    const int last = std::min(rendered, ((to + step - 1) / step + margin) * step);
    return {first, last, int(int64_t(first) * shown / rendered), int(int64_t(last) * shown / rendered)};
}

Run across(int from, int to, int margin) { return alignedRun(from, to, state.renderWidth, state.glView.width, margin); }
Run upwards(int from, int to, int margin) { return alignedRun(from, to, state.renderHeight, state.glView.height, margin); }

// Rendered pixels to their place in the window's back buffer.
void blitShown(const Run &x, const Run &y) {
    const Rect &view = state.glView;
    state.fb.blitFramebuffer(x.from, y.from, x.to, y.to, view.x + x.shownFrom, view.y + y.shownFrom, view.x + x.shownTo,
                             view.y + y.shownTo, GL_COLOR_BUFFER_BIT, drawnAsShown() ? GL_NEAREST : GL_LINEAR);
}

void presentWhole(SDL_Window *window, const EGLint *damage = nullptr);

// Only the part of the picture that changed goes to the window. Enlarged smoothly, a
// window pixel mixes the rendered pixels around it, so one step more around the change
// is shown; the blit reaches a step further, so that its own edge stays unseen.
bool presentPart(SDL_Window *window, const KFrameArea &changed) {
    if (changed.whole || !(state.copySubBuffer || state.swapWithDamage))
        return false;
    const int left = std::max(changed.x, 0), right = std::min(changed.x + changed.width, state.renderWidth);
    const int bottom = std::max(changed.y, 0), top = std::min(changed.y + changed.height, state.renderHeight);
    if (left >= right || bottom >= top)
        return true;
    const int reach = drawnAsShown() ? 0 : 1;
    const Run x = across(left, right, reach), y = upwards(bottom, top, reach);
    const EGLint shown[4] = {state.glView.x + x.shownFrom, state.glView.y + y.shownFrom, x.shownTo - x.shownFrom,
                             y.shownTo - y.shownFrom};
    if (!state.copySubBuffer) {
        presentWhole(window, shown);
        return true;
    }
    blitShown(across(left, right, 2 * reach), upwards(bottom, top, 2 * reach));
    state.copySubBuffer(glXGetCurrentDisplay(), glXGetCurrentDrawable(), shown[0], shown[1], shown[2], shown[3]);
    return true;
}

// The whole picture, bars included, into a back buffer whose old content counts for
// nothing; a damage rectangle (x, y, width, height from the bottom left) tells an EGL
// compositor what changed. Setting the window's viewport makes the driver look at the
// drawable's size again, so a present right after a resize fills the new one.
void presentWhole(SDL_Window *window, const EGLint *damage) {
    int w, h;
    SDL_GL_GetDrawableSize(window, &w, &h);
    state.fb.bindFramebuffer(kFramebuffer, 0);
    glViewport(0, 0, w, h);
    state.fb.bindFramebuffer(kReadFramebuffer, state.logicalFramebuffer);
    glClearColor(0, 0, 0, 1);
    if (state.bars)
        glClear(GL_COLOR_BUFFER_BIT);
    blitShown(across(0, state.renderWidth, 0), upwards(0, state.renderHeight, 0));
    if (!damage || !state.swapWithDamage(eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW), damage, 1))
        SDL_GL_SwapWindow(window);
}

void presentLogicalScreen(SDL_Window *window, const KFrameArea &changed) {
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glDisable(GL_SCISSOR_TEST);

    state.fb.bindFramebuffer(kDrawFramebuffer, 0);
    state.fb.bindFramebuffer(kReadFramebuffer, state.logicalFramebuffer);
    if (!presentPart(window, changed))
        presentWhole(window);
    state.fb.bindFramebuffer(kFramebuffer, state.logicalFramebuffer);
    applyViewport();

    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
}

// A cut gem, in case no picture was given: violet, lit from the top left.
void drawDefaultIcon() {
    const float c = (kIconSize - 1) / 2.0f;
    for (int y = 0; y < kIconSize; y++) {
        for (int x = 0; x < kIconSize; x++) {
            uint8_t *p = state.drawnIcon + (y * kIconSize + x) * 4;
            float d = std::fabs(x - c) + std::fabs(y - c);
            float light = 1.0f - (x + y) / (2.0f * kIconSize);
            bool inside = d <= c;
            bool facet = d <= c * 0.45f;
            float shade = facet ? 0.35f + 0.65f * light : 0.2f + 0.6f * light;
            p[0] = uint8_t(120 + 135 * shade);
            p[1] = uint8_t(40 + 90 * shade);
            p[2] = uint8_t(160 + 95 * shade);
            p[3] = inside ? 255 : 0;
        }
    }
}

void applyWindowIcon(SDL_Window *window) {
    if (!state.iconPixels) {
        drawDefaultIcon();
        state.iconPixels = state.drawnIcon;
        state.iconWidth = state.iconHeight = kIconSize;
    }
    SDL_Surface *icon =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t *>(state.iconPixels), state.iconWidth, state.iconHeight,
                                           32, state.iconWidth * 4, SDL_PIXELFORMAT_RGBA32);
    if (!icon)
        return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

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
    state.pixelFormat = ACCELERATED_FORMAT;
    if (window)
        return window;

    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 0);
    window = SDL_CreateWindow(title, place.x, place.y, place.width, place.height, flags | SDL_WINDOW_OPENGL);
    state.pixelFormat = GENERIC_FORMAT;
    if (window)
        return window;

    state.pixelFormat = NO_FORMAT;
    return SDL_CreateWindow(title, place.x, place.y, place.width, place.height, flags);
}

// Room left for a window manager's title bar before the window exists: the frame's real
// size is known only once the window is mapped, often later than the first size check,
// and a window exactly as tall as the work area would then hang below it. Side borders
// are a pixel or two: a window as wide as the desktop keeps its scale.
constexpr int kTitleBarAllowance = 48;

// The largest whole scale whose window, frame included, fits the work area; beyond
// 3x the art is no finer and the window would leave the desktop little room.
int fittingScale(const SDL_Rect &area, int frameWidth, int frameHeight, int width, int height) {
    const int fits = std::min((area.w - frameWidth) / width, (area.h - frameHeight) / height);
    return std::max(1, std::min(fits, 3));
}

bool knownDisplay(int display) { return display >= 0 && display < SDL_GetNumVideoDisplays(); }

// The remembered place, when its display is still there and shows enough of it;
// else the fitted size, centred on the remembered display or the first.
Rect windowedPlace(int width, int height) {
    const KWindowPlace &p = state.place;
    const int display = knownDisplay(p.display) ? p.display : 0;
    SDL_Rect area = {0, 0, width, height};
    SDL_GetDisplayUsableBounds(display, &area);
    const SDL_Rect remembered = {p.x, p.y, std::min(p.width, area.w), std::min(p.height, area.h)};
    SDL_Rect seen;
    if (p.width >= kMinimumWidth && p.height >= kMinimumHeight && SDL_IntersectRect(&remembered, &area, &seen) &&
        seen.w >= kMinimumWidth / 2 && seen.h >= kMinimumHeight / 2)
        return {remembered.x, remembered.y, remembered.w, remembered.h};
    const int scale = fittingScale(area, 0, kTitleBarAllowance, width, height);
    const int centred = int(SDL_WINDOWPOS_CENTERED_DISPLAY(display));
    return {centred, centred, width * scale, height * scale};
}

// A frame the window manager adds may not fit where the window alone did.
void fitFrame(SDL_Window *window, int width, int height) {
    int top = 0, left = 0, bottom = 0, right = 0, w, h;
    SDL_Rect area;
    if (state.place.width != 0 || SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0 ||
        SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(window), &area) != 0)
        return;
    SDL_GetWindowSize(window, &w, &h);
    const int scale = fittingScale(area, left + right, top + bottom, width, height);
    if (w > width * scale)
        SDL_SetWindowSize(window, width * scale, height * scale);
}

// Full screen: a borderless window over the whole display (so it covers the screen
// even where no window manager acts on the full-screen request), then flagged full
// screen for the ones that do.
void coverDisplay(SDL_Window *window) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window), 0), &bounds) != 0)
        return;
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, bounds.x, bounds.y);
    SDL_SetWindowSize(window, bounds.w, bounds.h);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void placeWindowed(SDL_Window *window, int width, int height) {
    const Rect place = windowedPlace(width, height);
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowSize(window, place.width, place.height);
    SDL_SetWindowPosition(window, place.x, place.y);
}

void rememberPlace(SDL_Window *window) {
    if (!window || state.fullscreen)
        return;
    KWindowPlace &p = state.place;
    SDL_GetWindowPosition(window, &p.x, &p.y);
    SDL_GetWindowSize(window, &p.width, &p.height);
    p.display = std::max(SDL_GetWindowDisplayIndex(window), 0);
}

SDL_Window *openGameWindow(const char *title, int width, int height, int16_t depth, bool windowed, bool use3d) {
    const Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    Rect place = windowedPlace(width, height);
    SDL_Window *window =
        createWindowWithPixelFormat(title, place, flags | (windowed ? 0 : SDL_WINDOW_BORDERLESS), depth, use3d);
    if (!window)
        return nullptr;
    SDL_SetWindowMinimumSize(window, kMinimumWidth, kMinimumHeight);
    if (!windowed)
        coverDisplay(window);
    return window;
}

bool videoDriverIs(const char *name) {
    const char *driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, name) == 0;
}

const char *otherDriver(const char *failed) {
    if (failed && std::strcmp(failed, "wayland") == 0)
        return "try SDL_VIDEODRIVER=x11";
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
        if ((state.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0))
            return true;
        waylandReason = SDL_GetError();
    }
    // SDL goes on to X11 only when Wayland is not there at all, not when it fails to start.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    state.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (state.videoStarted)
        reportVideoFailure("wayland", _("start"), waylandReason.c_str(), _("using x11"));
    else if (report)
        std::fprintf(stderr, _("brolix: neither the wayland nor the x11 video driver could start: %s, %s; check "
                               "WAYLAND_DISPLAY and DISPLAY\n"), waylandReason.c_str(), SDL_GetError());
    return state.videoStarted;
}

// A Wayland session gets a native window, X11 being the fallback; a driver the player
// chose (SDL_VIDEODRIVER) is left alone.
bool startVideo(bool report) {
    if (state.videoStarted)
        return true;
    const char *chosen = SDL_getenv("SDL_VIDEODRIVER"), *wayland = SDL_getenv("WAYLAND_DISPLAY");
    if (!(chosen && *chosen) && wayland && *wayland)
        return startWaylandFirst(report);
    state.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!state.videoStarted && report)
        reportVideoFailure(chosen && *chosen ? chosen : nullptr, "start", SDL_GetError(), otherDriver(chosen));
    return state.videoStarted;
}

// A window with a working GL context: Wayland's EGL offers the compatibility profile
// our immediate mode needs, but a compositor may still refuse it.
bool contextWorks(SDL_Window *window) {
    if (!window)
        return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    state.openGLContext = SDL_GL_CreateContext(window);
    if (state.openGLContext && SDL_GL_MakeCurrent(window, state.openGLContext) == 0 && glGetString(GL_VERSION))
        return true;
    if (state.openGLContext)
        SDL_GL_DeleteContext(state.openGLContext);
    state.openGLContext = nullptr;
    return false;
}

// The compositor took no window or no GL context: the same window on X11, which
// a Wayland desktop mostly offers too.
SDL_Window *openOnX11Instead(const char *title, int width, int height, int16_t depth, bool windowed) {
    reportVideoFailure("wayland", state.hwnd ? "make a GL context" : "open a window", SDL_GetError(),
                       "trying x11");
    if (state.hwnd)
        SDL_DestroyWindow(state.hwnd);
    if (state.driverPreloaded)
        SDL_GL_UnloadLibrary();
    state.driverPreloaded = false;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    state.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    return state.videoStarted ? openGameWindow(title, width, height, depth, windowed, state.use3d) : nullptr;
}

// Drivers that show nothing: SDL falls back on them when there is no display,
// and a game window there could never be seen nor come to the front.
bool isInvisibleDriver() {
    const char *driver = SDL_GetCurrentVideoDriver();
    const char *asked = SDL_getenv("SDL_VIDEODRIVER");
    bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    return invisible && !(asked && std::strcmp(asked, driver) == 0);
}

// Sees every event as it arrives, however many wait in the queue. The window
// shows what it showed before only while nothing covered, resized or hid it.
int watchWindow(void *, SDL_Event *event) {
    if (event->type != SDL_WINDOWEVENT || event->window.windowID != state.gameWindowID)
        return 1;
    switch (event->window.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        state.everFocused = true;
        KFrame::showNext();
        break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
        KFrame::showNext();
        state.repaintDue = true;
        break;
    default:
        break;
    }
    return 1;
}

bool hasFocus(SDL_Window *window) {
    Uint32 flags = SDL_GetWindowFlags(window);
    return (flags & SDL_WINDOW_INPUT_FOCUS) && !(flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN));
}

int64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void sleepUntil(int64_t wake) {
    const timespec until = {time_t(wake / 1000000000), long(wake % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

void lowerCase(const char *text, char (&out)[2048]) {
    std::strncpy(out, text ? text : "", sizeof(out) - 1);
    out[sizeof(out) - 1] = '\0';
    for (char *c = out; *c; c++)
        *c = char(std::tolower(static_cast<unsigned char>(*c)));
}

const char *glString(GLenum name) { return reinterpret_cast<const char *>(glGetString(name)); }
}  // namespace

void KWindow::updateScaling(SDL_Window *window, int width, int height) {
    if (!window)
        return;
    int w, h;
    SDL_GetWindowSize(window, &w, &h);
    const Rect view = letterbox(w, h, width, height);
    KInput::setPointerView({view.x, view.y, view.width, view.height, width, height});
    SDL_GL_GetDrawableSize(window, &w, &h);
    state.glView = letterbox(w, h, width, height);
    state.glView.y = h - state.glView.y - state.glView.height;   // GL counts rows from the bottom
    state.bars = state.glView.width < w || state.glView.height < h;
    if (state.openGLContext) {
        sizeLogicalScreen(width, height);
        applyViewport();
    }
}

void KWindow::setQuit(bool quit) {
    state.quit = quit;
    KInput::setWindowClosed(quit);
}

KWindow::KWindow() : _fullscreen(false), _sourceScreenDepth(0), _gameScreenDepth(0), _windowID(0) {
    setQuit(false);
    KMiscTools::initMillisecond();
    state.use3d = false;
}

KWindow::~KWindow() {
    KFrame::drop();   // its textures go with the context
    KFrame::showNext();
    deleteLogicalScreen();
    KFrame::setSurfaceKept(false);
    if (state.openGLContext) {
        SDL_GL_MakeCurrent(state.hwnd, nullptr);
        SDL_GL_DeleteContext(state.openGLContext);
        state.openGLContext = nullptr;
    }
    if (state.hwnd) {
        SDL_DelEventWatch(watchWindow, nullptr);
        KInput::initInput(nullptr);
        KInput::setWaitService(nullptr);
        SDL_DestroyWindow(state.hwnd);
        state.hwnd = nullptr;
    }
    KInput::setPointerView({});
    if (state.driverPreloaded) {
        SDL_GL_UnloadLibrary();
        state.driverPreloaded = false;
    }
    if (state.videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        state.videoStarted = false;
    }
    setQuit(true);
}

// Loading the GL driver (a software renderer maps a whole compiler) is most of the time
// a first window takes; done here, it can overlap with something the player looks at.
void KWindow::prepareDisplay() {
    startVideo(false);
    if (state.videoStarted && !state.driverPreloaded && !isInvisibleDriver())
        state.driverPreloaded = SDL_GL_LoadLibrary(nullptr) == 0;
}

bool KWindow::createGameWindow(int16_t width, int16_t height, int16_t depth, bool windowed, const char *title) {
    state.windowWidth = width;
    state.windowHeight = height;
    _fullscreen = !windowed;
    _gameScreenDepth = depth;
    KGraphic::setScreenSize(width, height, depth);
    KFrame::drop();
    KFrame::showNext();
    state.fullscreen = !windowed;

    if (!startVideo(true))
        return false;
    if (isInvisibleDriver())
        return false;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0)
        _sourceScreenDepth = int16_t(SDL_BITSPERPIXEL(desktop.format));

    state.hwnd = openGameWindow(title, width, height, depth, windowed, state.use3d);
    if (videoDriverIs("wayland") && !contextWorks(state.hwnd))
        state.hwnd = openOnX11Instead(title, width, height, depth, windowed);
    if (!state.hwnd) {
        reportVideoFailure(SDL_GetCurrentVideoDriver(), _("open a window"), SDL_GetError(),
                           otherDriver(SDL_GetCurrentVideoDriver()));
        return false;
    }
    // Tests make sure which driver the window is on.
    const char *say = SDL_getenv("BROLIX_SHOW_VIDEO_DRIVER");
    if (say && *say && std::strcmp(say, "0") != 0)
        std::fprintf(stderr, "brolix: video driver %s\n", SDL_GetCurrentVideoDriver());   // not for players
    _windowID = int32_t(SDL_GetWindowID(state.hwnd));
    state.gameWindowID = SDL_GetWindowID(state.hwnd);
    state.everFocused = false;
    SDL_AddEventWatch(watchWindow, nullptr);
    applyWindowIcon(state.hwnd);

    setTitle(title);
    SDL_ShowWindow(state.hwnd);
    SDL_RaiseWindow(state.hwnd);
    SDL_SetWindowInputFocus(state.hwnd);   // a new game window comes to the front
    if (windowed)
        fitFrame(state.hwnd, width, height);
    KInput::initInput(state.hwnd);
    KInput::setWaitService(processEvents);

    bool attached = AttachOpenGLToWindow(depth);

    const char *extensions = attached ? glString(GL_EXTENSIONS) : nullptr;
    if (extensions) {
        KGraphic::rectangleTextures = std::strstr(extensions, "GL_EXT_texture_rectangle") ||
                                      std::strstr(extensions, "GL_NV_texture_rectangle");
    }
    // Swap control is a window-system extension: ask for it instead of parsing strings.
    state.isWaitVBLSupported = attached && state.maxFrameRate != 0 && SDL_GL_SetSwapInterval(1) == 0;

    if (attached) {
        state.framebuffers = loadFramebufferApi();
        loadPartialPresent();
    }
    KGraphic::setScreenSize(width, height, depth);
    updateScaling(state.hwnd, width, height);
    KInput::initInput(state.hwnd);
    KMiscTools::initMiscTools();

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    flipBackBuffer(true);

    // Without a context nothing is drawn at all, let alone accelerated.
    state.isAccelerated = attached && state.pixelFormat == ACCELERATED_FORMAT &&
                          !isSoftwareRenderer(glString(GL_VENDOR), glString(GL_RENDERER));

    KGraphic::setDefaultWorldView();
    K3D::initK3D(width, height);
    applyViewport();
    return attached;
}

bool KWindow::AttachOpenGLToWindow(int16_t depth) {
    (void)depth;   // the visual was chosen with the window
    if (state.pixelFormat == NO_FORMAT) {
        state.isAccelerated = false;
        KMiscTools::messageBox("Could not initialize openGL", "Please install your video drivers");
        KMiscTools::messageBox("Could not select fixel format", "OpenGl error : video drivers probably missing.");
        return false;
    }
    state.isAccelerated = state.pixelFormat == ACCELERATED_FORMAT;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    if (!state.openGLContext)
        state.openGLContext = SDL_GL_CreateContext(state.hwnd);
    if (!state.openGLContext) {
        reportVideoFailure(SDL_GetCurrentVideoDriver(), "make a GL context", SDL_GetError(),
                           otherDriver(SDL_GetCurrentVideoDriver()));
        KMiscTools::messageBox("Could not create openGL Context", "OpenGl error");
        return false;
    }
    if (SDL_GL_MakeCurrent(state.hwnd, state.openGLContext) != 0) {
        KMiscTools::messageBox("Could not make  openGL Context", "OpenGl error");
        return false;
    }
    return true;
}

bool KWindow::presentFrame(bool onSchedule) {
    if (!onSchedule || !state.hwnd || !state.openGLContext) {
        KFrame::drop();
        return false;
    }
    KFrameArea changed;
    if (!KFrame::finish(changed))
        return false;
    state.blankSurface = state.repaintDue = false;
    if (state.logicalFramebuffer)
        presentLogicalScreen(state.hwnd, changed);
    else
        SDL_GL_SwapWindow(state.hwnd);
    return true;
}

void KWindow::flipBackBuffer(bool waitForBackWindow) { KPlatform::calls.flipBackBuffer(waitForBackWindow); }

void KWindow::nativeFlip(bool waitForBackWindow) {
    KInput::frameDone();
    const int64_t started = monotonicNanoseconds();
    const bool onSchedule = state.pacer.startFlip(started);
    const bool drew = presentFrame(onSchedule);
    const int64_t finished = monotonicNanoseconds();
    if (state.renderWidth > state.windowWidth &&
        state.drawingWatch.flipped(finished, !onSchedule, drew ? finished - started : 0))
        lowerRenderScale();
    const int64_t wake = state.pacer.finishFlip(finished, drew);
    KSound::pauseWhenSilent();
    if (state.maxFrameRate != 0)
        sleepUntil(wake);
    processEvents();   // at the frame's time: input as fresh as it can be

    if (waitForBackWindow && waitForFront())
        state.pacer.restart();
    else
        state.pacer.flipDone(monotonicNanoseconds());
}

// Game time stays real time: when frames at this scale keep going undrawn, the rest of
// the session draws one whole scale coarser and the window shows it smoothly enlarged.
void KWindow::lowerRenderScale() {
    const double scale = double(state.renderWidth) / state.windowWidth;
    const double lower = std::max(1.0, std::ceil(scale - 1e-6) - 1);
    std::fprintf(stderr, _("brolix: frames drawn at %.4gx took %.0f ms, longer than the %u ms a frame has; drawing at %.4gx from now on\n"),
                 scale, state.drawingWatch.meanDrawingNs() / 1e6, unsigned(state.maxFrameRate), lower);
    state.mostRenderScale = lower;
    state.drawingWatch.restart();
    sizeLogicalScreen(state.windowWidth, state.windowHeight);
    applyViewport();
    KFrame::showNext();
}

// Frozen while the player works in another window, painted again whenever it is
// uncovered; the focus coming back ends it, and so does a click into the window
// (a desktop without a window manager gives no focus on a click). The click itself
// is not the game's: it waits for the release.
bool KWindow::waitForFront() {
    if (!state.hwnd || state.quit || !state.everFocused || hasFocus(state.hwnd))
        return false;
    if (state.focusLossCall)
        state.focusLossCall();
    bool clicked = false;
    SDL_Event event;
    while (!clicked && !state.quit && !hasFocus(state.hwnd) && SDL_WaitEvent(&event)) {
        clicked = event.type == SDL_MOUSEBUTTONDOWN && event.button.windowID == state.gameWindowID;
        handleEvent(event);
        repaintIfDue();
    }
    if (!clicked)
        return true;
    KInput::forgetClick();
    SDL_RaiseWindow(state.hwnd);
    SDL_SetWindowInputFocus(state.hwnd);
    while (!state.quit && (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK)) {
        processEvents();
        SDL_Delay(1);
    }
    return true;
}

void KWindow::setFocusLossCall(void (*call)()) { state.focusLossCall = call; }

void KWindow::processEvents() {
    SDL_Event event;
    KInput::pumpEvents();
    if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1)
        handleEvent(event);
    switchOnKeys();
    repaintIfDue();
}

// F11 or Alt+Enter, at any moment the window has the focus.
void KWindow::switchOnKeys() {
    const Uint8 *keys = SDL_GetKeyboardState(nullptr);
    const bool alt = keys[SDL_SCANCODE_LALT] || keys[SDL_SCANCODE_RALT];
    const bool down = keys[SDL_SCANCODE_F11] || (alt && (keys[SDL_SCANCODE_RETURN] || keys[SDL_SCANCODE_KP_ENTER]));
    if (down && !state.switchKeysDown && state.hwnd && hasFocus(state.hwnd))
        setFullScreen(!state.fullscreen);
    state.switchKeysDown = down;
}

void KWindow::setFullScreen(bool fullscreen) {
    if (!state.hwnd || fullscreen == state.fullscreen)
        return;
    rememberPlace(state.hwnd);
    if (fullscreen)
        coverDisplay(state.hwnd);
    else
        placeWindowed(state.hwnd, state.windowWidth, state.windowHeight);
    state.fullscreen = fullscreen;
    updateScaling(state.hwnd, state.windowWidth, state.windowHeight);
    KFrame::showNext();
}

bool KWindow::isFullScreen() { return state.fullscreen; }

void KWindow::setWindowPlace(const KWindowPlace &place) { state.place = place; }

KWindowPlace KWindow::getWindowPlace() {
    rememberPlace(state.hwnd);
    return state.place;
}

// The last frame shown, again and whole, after the window was covered, restored or
// resized while the game waits; a new surface first gets that frame drawn into it.
void KWindow::repaintIfDue() {
    if (!state.repaintDue || !state.hwnd || !state.logicalFramebuffer)
        return;
    state.repaintDue = false;
    if (state.blankSurface && !KFrame::redrawShown()) {
        GLfloat colour[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(colour[0], colour[1], colour[2], colour[3]);
    }
    state.blankSurface = false;
    presentLogicalScreen(state.hwnd, KFrameArea());
}

void KWindow::handleEvent(const SDL_Event &event) {
    if (event.type == SDL_QUIT) {
        setQuit(true);
    } else if (event.type == SDL_WINDOWEVENT) {
        // Closing only asks: the window stays until the KWindow is deleted.
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            setQuit(true);
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            updateScaling(state.hwnd, state.windowWidth, state.windowHeight);
        }
    }
}

bool KWindow::isQuit() { return state.quit; }

void KWindow::terminate() {
    setQuit(true);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

void KWindow::setTitle(const char *title) {
    if (state.hwnd)
        SDL_SetWindowTitle(state.hwnd, title);
}

bool KWindow::getRectangleTexCap() { return KGraphic::rectangleTextures; }

void KWindow::setRectangleTexCap(bool forceRectangleCap) { KGraphic::rectangleTextures = forceRectangleCap; }

bool KWindow::getAccelerationCap() { return state.isAccelerated; }

void KWindow::setWindowIcon(const uint8_t *rgba, int width, int height) {
    state.iconPixels = rgba;
    state.iconWidth = width;
    state.iconHeight = height;
}

SDL_Window *KWindow::getWindow() { return state.hwnd; }

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
