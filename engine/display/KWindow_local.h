#pragma once
// What the files of the game window share: each part of the window's state has one
// owner file that writes it (named beside it); the others only read it.
#include "KWindow.h"

#include <SDL.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <EGL/egl.h>
#include <cstdint>

#include "KFrame.h"
#include "KFramePacer.h"

namespace kwindow {

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

const int kIconSize = 32;
const int kMinimumWidth = 320, kMinimumHeight = 240;   // a window smaller than this shows too little

// Copies a part of the back buffer to the window; Mesa's GLX offers it.
typedef void (*CopySubBufferFn)(Display *, GLXDrawable, int, int, int, int);
// On EGL (Wayland) a swap tells the compositor which part changed; the back buffer
// is undefined after a swap, so the whole picture is still drawn into it.
typedef EGLBoolean (*SwapWithDamageFn)(EGLDisplay, EGLSurface, const EGLint *, EGLint);

uint32_t framePeriodMs();

// The window itself, its context and its life (KWindow.cpp). The logical size is kept
// here and nowhere else in the window's files.
struct WindowLife {
    int16_t windowWidth = 0, windowHeight = 0;   // the logical screen
    SDL_Window *hwnd = nullptr;
    SDL_GLContext openGLContext = nullptr;
    bool quit = false;
    bool displayLost = false;            // the compositor ended the connection
    bool use3d = false;                  // ask for a depth buffer
    // Set once the game window has been in front: the foreground wait applies only
    // then, so a desktop that never hands the focus over cannot freeze the start.
    bool everFocused = false;
    void (*focusLossCall)() = nullptr;
    Uint32 gameWindowID = 0;
    uint8_t drawnIcon[kIconSize * kIconSize * 4];
    const uint8_t *iconPixels = nullptr;   // for the next window; default: drawnIcon
    int iconWidth = 0, iconHeight = 0;
};
extern WindowLife win;

// The video driver and what its GL context offers (KWindowDriver.cpp).
struct DriverState {
    bool videoStarted = false;
    bool driverPreloaded = false;        // prepareDisplay holds one reference on the GL library
    PixelFormat pixelFormat = NO_FORMAT;
    bool isAccelerated = false;
    bool isWaitVBLSupported = false;
};
extern DriverState driver;

// Where the windowed game sits (KWindowPlace.cpp).
struct Placing {
    KWindowPlace place;                  // the windowed place asked for, then the last one left
    // A window manager puts the frame, not the window, where a new or newly framed
    // window is asked to be: until this deadline (SDL ticks) the window is moved
    // back if it landed exactly one frame's width off.
    Uint32 settleUntil = 0;
    int settleX = 0, settleY = 0;
};
extern Placing placing;

// Windowed or full screen (KWindowFullScreen.cpp).
struct ScreenMode {
    bool fullscreen = false;             // now, after any switch
};
extern ScreenMode mode;

// How frames reach the window (KWindowPresent.cpp). The render size is kept here
// and nowhere else in the window's files.
struct Presentation {
    uint32_t maxFrameRate = framePeriodMs();   // minimum period between two flips in ms (0: no pacing)
    KFramePacer pacer{int64_t(maxFrameRate) * 1000000};   // when frames are due, which go undrawn to catch up
    KDrawingWatch drawingWatch;          // whether drawing at the render scale keeps up
    double mostRenderScale = 0;          // once drawing fell behind: the finest scale drawn at (0: any)

    // Where the logical screen lands in the window, its aspect kept.
    Rect glView;                         // in drawable pixels, y upwards
    bool bars = false;                   // glView leaves part of the drawable uncovered

    // The logical screen is drawn into this framebuffer at the size it is shown (the
    // letterboxed drawable) and copied to the window pixel for pixel at each flip. It
    // keeps its pixels, so a frame that changed little is drawn again only where it changed.
    FramebufferApi fb;
    bool framebuffers = false;           // the driver offers framebuffer objects
    GLuint logicalFramebuffer = 0, logicalRenderbuffer = 0;
    int renderWidth = 0, renderHeight = 0;   // the logical screen as drawn
    bool blankSurface = false;           // made anew, nothing drawn into it yet
    bool repaintDue = false;             // covered, uncovered, restored or resized since the last present
    CopySubBufferFn copySubBuffer = nullptr;
    SwapWithDamageFn swapWithDamage = nullptr;
};
extern Presentation screen;

// KWindow.cpp
void applyWindowIcon(SDL_Window *window);
int watchWindow(void *, SDL_Event *event);
bool hasFocus(SDL_Window *window);

// KWindowDriver.cpp
SDL_Window *createWindowWithPixelFormat(const char *title, const Rect &place, Uint32 flags, int16_t depth, bool use3d);
bool videoDriverIs(const char *name);
const char *otherDriver(const char *failed);
void reportVideoFailure(const char *driver, const char *step, const char *reason, const char *next);
bool startVideo(bool report);
bool contextWorks(SDL_Window *window);
SDL_Window *openOnX11Instead(const char *title, int width, int height, int16_t depth, bool windowed);
bool isInvisibleDriver();
const char *glString(GLenum name);

// KWindowPlace.cpp
Rect windowedPlace(int width, int height);
void fitFrame(SDL_Window *window, int width, int height);
void rememberPlace(SDL_Window *window);
void settleAt(int x, int y);
void keepPlace(SDL_Window *window);
SDL_Window *openGameWindow(const char *title, int width, int height, int16_t depth, bool windowed, bool use3d);

// KWindowFullScreen.cpp
void coverDisplay(SDL_Window *window);
void placeWindowed(SDL_Window *window, int width, int height);

// KWindowPresent.cpp
bool loadFramebufferApi();
void loadPartialPresent();
void deleteLogicalScreen();
void applyViewport();
void presentLogicalScreen(SDL_Window *window, const KFrameArea &changed);

}  // namespace kwindow
