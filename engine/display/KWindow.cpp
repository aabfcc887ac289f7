#include "KWindow.h"

#include <SDL.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "K3D.h"
#include "KFrame.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KSound.h"

namespace {
// Tests run long games in a blink: BROLIX_NO_FRAME_WAIT=1 (read once, at start-up)
// makes every flip return at once. Frame counts, and so every rule, are unchanged.
uint32_t framePeriodMs() {
    const char *noWait = std::getenv("BROLIX_NO_FRAME_WAIT");
    return noWait && *noWait && std::strcmp(noWait, "0") != 0 ? 0 : 14;
}
}  // namespace

int16_t KWindow::_windowWidth = 0;
int16_t KWindow::_windowHeight = 0;
SDL_Window *KWindow::_hwnd = nullptr;
void *KWindow::_openGLContext = nullptr;
bool KWindow::_quit = false;
uint32_t KWindow::_maxFrameRate = framePeriodMs();
bool KWindow::hasRectangleText = false;
bool KWindow::isAccelerated = false;
bool KWindow::_use3d = false;
bool KWindow::_isWaitVBLSupported = false;
KFramePacer KWindow::_pacer(int64_t(KWindow::_maxFrameRate) * 1000000);

namespace {
// --- platform state that has no place in the class ---
bool videoStarted = false;
bool driverPreloaded = false;   // prepareDisplay holds one reference on the GL library
enum PixelFormat { NO_FORMAT, GENERIC_FORMAT, ACCELERATED_FORMAT };
PixelFormat pixelFormat = NO_FORMAT;

// --- full screen: where the logical screen lands in the window ---
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};
bool scaled = false;        // full screen: logical pixels are scaled to the desktop
Rect pointerView;           // in window coordinates, y downwards
Rect glView;                // in drawable pixels, y upwards
bool bars = false;          // glView leaves part of the drawable uncovered

// The logical screen is drawn into this framebuffer and blitted, scaled in full
// screen, at each flip. It keeps its pixels, so a frame that changed little is
// drawn again only where it changed.
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
FramebufferApi fb;
GLuint logicalFramebuffer = 0, logicalRenderbuffer = 0;

const GLenum kFramebuffer = 0x8D40, kReadFramebuffer = 0x8CA8, kDrawFramebuffer = 0x8CA9;
const GLenum kRenderbuffer = 0x8D41, kColorAttachment0 = 0x8CE0, kFramebufferComplete = 0x8CD5;

// --- the window icon ---
const int kIconSize = 32;
uint8_t drawnIcon[kIconSize * kIconSize * 4];
const uint8_t *iconPixels = nullptr;
int iconWidth = 0, iconHeight = 0;

template <typename F>
void loadProc(F &fn, const char *name) {
    fn = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

bool loadFramebufferApi() {
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
    if (!logicalFramebuffer)
        return;
    fb.bindFramebuffer(kFramebuffer, 0);
    fb.deleteFramebuffers(1, &logicalFramebuffer);
    fb.deleteRenderbuffers(1, &logicalRenderbuffer);
    logicalFramebuffer = logicalRenderbuffer = 0;
}

// An off-screen logical screen, so drawing and read-backs use logical pixels
// whatever the desktop's size. Without framebuffer objects the viewport scales
// and every frame is drawn whole.
void createLogicalScreen(int width, int height) {
    if (!loadFramebufferApi())
        return;
    fb.genFramebuffers(1, &logicalFramebuffer);
    fb.genRenderbuffers(1, &logicalRenderbuffer);
    fb.bindRenderbuffer(kRenderbuffer, logicalRenderbuffer);
    // No alpha channel, like the windowed back buffer, so blending reads alike.
    fb.renderbufferStorage(kRenderbuffer, GL_RGB8, width, height);
    fb.bindFramebuffer(kFramebuffer, logicalFramebuffer);
    fb.framebufferRenderbuffer(kFramebuffer, kColorAttachment0, kRenderbuffer, logicalRenderbuffer);
    if (fb.checkFramebufferStatus(kFramebuffer) != kFramebufferComplete)
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

void applyViewport(int width, int height) {
    if (scaled && !logicalFramebuffer)
        glViewport(glView.x, glView.y, glView.width, glView.height);
    else
        glViewport(0, 0, width, height);
}

void updateScaling(SDL_Window *window, int width, int height) {
    if (!window)
        return;
    int w, h;
    if (scaled) {
        SDL_GetWindowSize(window, &w, &h);
        pointerView = letterbox(w, h, width, height);
    }
    SDL_GL_GetDrawableSize(window, &w, &h);
    glView = letterbox(w, h, width, height);
    glView.y = h - glView.y - glView.height;   // GL counts rows from the bottom
    bars = glView.width < w || glView.height < h;
}

// Copies a part of the back buffer to the window; Mesa's GLX offers it.
typedef void (*CopySubBufferFn)(Display *, GLXDrawable, int, int, int, int);
CopySubBufferFn copySubBuffer = nullptr;

void loadCopySubBuffer() {
    copySubBuffer = nullptr;
    Display *display = glXGetCurrentDisplay();
    const char *extensions = display ? glXQueryExtensionsString(display, DefaultScreen(display)) : nullptr;
    if (extensions && std::strstr(extensions, "GLX_MESA_copy_sub_buffer"))
        copySubBuffer = reinterpret_cast<CopySubBufferFn>(SDL_GL_GetProcAddress("glXCopySubBufferMESA"));
}

// Only the part of the picture that changed goes to the window, at a whole scale
// (where the scaled pixels are exactly those of the whole picture).
bool presentPart(int width, int height, const KFrameArea &changed) {
    const int scaleX = glView.width / width, scaleY = glView.height / height;
    if (changed.whole || !copySubBuffer || glView.width % width != 0 || glView.height % height != 0)
        return false;
    const int left = std::max(changed.x, 0), right = std::min(changed.x + changed.width, width);
    const int bottom = std::max(changed.y, 0), top = std::min(changed.y + changed.height, height);
    if (left >= right || bottom >= top)
        return true;
    const int x = glView.x + left * scaleX, y = glView.y + bottom * scaleY;
    const int w = (right - left) * scaleX, h = (top - bottom) * scaleY;
    fb.blitFramebuffer(left, bottom, right, top, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    copySubBuffer(glXGetCurrentDisplay(), glXGetCurrentDrawable(), x, y, w, h);
    return true;
}

void presentLogicalScreen(SDL_Window *window, int width, int height, const KFrameArea &changed) {
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glDisable(GL_SCISSOR_TEST);

    fb.bindFramebuffer(kDrawFramebuffer, 0);
    fb.bindFramebuffer(kReadFramebuffer, logicalFramebuffer);
    if (!presentPart(width, height, changed)) {
        glClearColor(0, 0, 0, 1);
        if (bars)
            glClear(GL_COLOR_BUFFER_BIT);
        bool wholeScale = glView.width % width == 0 && glView.height % height == 0;
        fb.blitFramebuffer(0, 0, width, height, glView.x, glView.y, glView.x + glView.width,
                           glView.y + glView.height, GL_COLOR_BUFFER_BIT, wholeScale ? GL_NEAREST : GL_LINEAR);
        SDL_GL_SwapWindow(window);
    }
    fb.bindFramebuffer(kFramebuffer, logicalFramebuffer);

    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
}

// A cut gem, in case no picture was given: violet, lit from the top left.
void drawDefaultIcon() {
    const float c = (kIconSize - 1) / 2.0f;
    for (int y = 0; y < kIconSize; y++) {
        for (int x = 0; x < kIconSize; x++) {
            uint8_t *p = drawnIcon + (y * kIconSize + x) * 4;
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
    if (!iconPixels) {
        drawDefaultIcon();
        iconPixels = drawnIcon;
        iconWidth = iconHeight = kIconSize;
    }
    SDL_Surface *icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t *>(iconPixels), iconWidth,
                                                           iconHeight, 32, iconWidth * 4, SDL_PIXELFORMAT_RGBA32);
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
    pixelFormat = ACCELERATED_FORMAT;
    if (window)
        return window;

    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 0);
    window = SDL_CreateWindow(title, place.x, place.y, place.width, place.height, flags | SDL_WINDOW_OPENGL);
    pixelFormat = GENERIC_FORMAT;
    if (window)
        return window;

    pixelFormat = NO_FORMAT;
    return SDL_CreateWindow(title, place.x, place.y, place.width, place.height, flags);
}

// Windowed: the logical size, centred. Full screen: a borderless window over the
// whole primary display (so it covers the screen even where no window manager
// acts on the full-screen request), then flagged full screen for the ones that do.
SDL_Window *openGameWindow(const char *title, int width, int height, int16_t depth, bool windowed, bool use3d) {
    Rect place;
    if (windowed) {
        place.x = place.y = int(SDL_WINDOWPOS_CENTERED_DISPLAY(0));
        place.width = width;
        place.height = height;
        return createWindowWithPixelFormat(title, place, 0, depth, use3d);
    }
    SDL_Rect bounds = {0, 0, width, height};
    SDL_GetDisplayBounds(0, &bounds);
    place = {bounds.x, bounds.y, bounds.w, bounds.h};
    SDL_Window *window = createWindowWithPixelFormat(title, place, SDL_WINDOW_BORDERLESS, depth, use3d);
    if (window)
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return window;
}

// Drivers that show nothing: SDL falls back on them when there is no display,
// and a game window there could never be seen nor come to the front.
bool isInvisibleDriver() {
    const char *driver = SDL_GetCurrentVideoDriver();
    const char *asked = SDL_getenv("SDL_VIDEODRIVER");
    bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    return invisible && !(asked && std::strcmp(asked, driver) == 0);
}

// Set once the game window has been in front: the foreground wait applies only
// then, so a desktop that never hands the focus over cannot freeze the start.
bool everFocused = false;
Uint32 gameWindowID = 0;

// Sees every event as it arrives, however many wait in the queue. The window
// shows what it showed before only while nothing covered, resized or hid it.
int watchWindow(void *, SDL_Event *event) {
    if (event->type != SDL_WINDOWEVENT || event->window.windowID != gameWindowID)
        return 1;
    switch (event->window.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        everFocused = true;
        KFrame::showNext();
        break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
        KFrame::showNext();
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

KWindow::KWindow() : _fullscreen(false), _sourceScreenDepth(0), _gameScreenDepth(0), _windowID(0) {
    _quit = false;
    KMiscTools::initMillisecond();
    _use3d = false;
}

KWindow::~KWindow() {
    KFrame::drop();   // its textures go with the context
    KFrame::showNext();
    deleteLogicalScreen();
    KFrame::setSurfaceKept(false);
    if (_openGLContext) {
        SDL_GL_MakeCurrent(_hwnd, nullptr);
        SDL_GL_DeleteContext(_openGLContext);
        _openGLContext = nullptr;
    }
    if (_hwnd) {
        SDL_DelEventWatch(watchWindow, nullptr);
        KInput::initInput(nullptr);
        SDL_DestroyWindow(_hwnd);
        _hwnd = nullptr;
    }
    scaled = false;
    if (driverPreloaded) {
        SDL_GL_UnloadLibrary();
        driverPreloaded = false;
    }
    if (videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoStarted = false;
    }
    _quit = true;
}

// Loading the GL driver (a software renderer maps a whole compiler) is most of the time
// a first window takes; done here, it can overlap with something the player looks at.
void KWindow::prepareDisplay() {
    if (!videoStarted && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
        videoStarted = true;
    if (videoStarted && !driverPreloaded && !isInvisibleDriver())
        driverPreloaded = SDL_GL_LoadLibrary(nullptr) == 0;
}

bool KWindow::createGameWindow(int16_t width, int16_t height, int16_t depth, bool windowed, const char *title) {
    _windowWidth = width;
    _windowHeight = height;
    _fullscreen = !windowed;
    _gameScreenDepth = depth;
    KGraphic::setScreenSize(width, height, depth);
    KFrame::drop();
    KFrame::showNext();

    if (!videoStarted && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    videoStarted = true;
    if (isInvisibleDriver())
        return false;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0)
        _sourceScreenDepth = int16_t(SDL_BITSPERPIXEL(desktop.format));

    _hwnd = openGameWindow(title, width, height, depth, windowed, _use3d);
    if (!_hwnd)
        return false;
    _windowID = int32_t(SDL_GetWindowID(_hwnd));
    gameWindowID = SDL_GetWindowID(_hwnd);
    everFocused = false;
    SDL_AddEventWatch(watchWindow, nullptr);
    scaled = !windowed;
    applyWindowIcon(_hwnd);

    setTitle(title);
    SDL_ShowWindow(_hwnd);
    SDL_RaiseWindow(_hwnd);
    SDL_SetWindowInputFocus(_hwnd);   // a new game window comes to the front
    KInput::initInput(_hwnd);

    bool attached = AttachOpenGLToWindow(depth);

    const char *extensions = attached ? glString(GL_EXTENSIONS) : nullptr;
    if (extensions) {
        hasRectangleText = std::strstr(extensions, "GL_EXT_texture_rectangle") ||
                           std::strstr(extensions, "GL_NV_texture_rectangle");
    }
    // Swap control is a window-system extension: ask for it instead of parsing strings.
    _isWaitVBLSupported = attached && _maxFrameRate != 0 && SDL_GL_SetSwapInterval(1) == 0;

    if (attached) {
        createLogicalScreen(width, height);
        loadCopySubBuffer();
    }
    KFrame::setSurfaceKept(logicalFramebuffer != 0);
    updateScaling(_hwnd, width, height);
    KGraphic::setScreenSize(width, height, depth);
    KInput::initInput(_hwnd);
    KMiscTools::initMiscTools();

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    flipBackBuffer(true);

    // Without a context nothing is drawn at all, let alone accelerated.
    isAccelerated = attached && pixelFormat == ACCELERATED_FORMAT &&
                    !isSoftwareRenderer(glString(GL_VENDOR), glString(GL_RENDERER));

    KGraphic::setDefaultWorldView();
    K3D::initK3D(width, height);
    applyViewport(width, height);
    return attached;
}

bool KWindow::AttachOpenGLToWindow(int16_t depth) {
    (void)depth;   // the visual was chosen with the window
    if (pixelFormat == NO_FORMAT) {
        isAccelerated = false;
        KMiscTools::messageBox("Could not initialize openGL", "Please install your video drivers");
        KMiscTools::messageBox("Could not select fixel format", "OpenGl error : video drivers probably missing.");
        return false;
    }
    isAccelerated = pixelFormat == ACCELERATED_FORMAT;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    _openGLContext = SDL_GL_CreateContext(_hwnd);
    if (!_openGLContext) {
        KMiscTools::messageBox("Could not create openGL Context", "OpenGl error");
        return false;
    }
    if (SDL_GL_MakeCurrent(_hwnd, _openGLContext) != 0) {
        KMiscTools::messageBox("Could not make  openGL Context", "OpenGl error");
        return false;
    }
    return true;
}

bool KWindow::presentFrame(bool onSchedule) {
    if (!onSchedule || !_hwnd || !_openGLContext) {
        KFrame::drop();
        return false;
    }
    KFrameArea changed;
    if (!KFrame::finish(changed))
        return false;
    if (logicalFramebuffer)
        presentLogicalScreen(_hwnd, _windowWidth, _windowHeight, changed);
    else
        SDL_GL_SwapWindow(_hwnd);
    return true;
}

void KWindow::flipBackBuffer(bool waitForBackWindow) {
    const bool drew = presentFrame(_pacer.startFlip(monotonicNanoseconds()));
    const int64_t wake = _pacer.finishFlip(monotonicNanoseconds(), drew);
    KSound::pauseWhenSilent();
    if (_maxFrameRate != 0)
        sleepUntil(wake);
    processEvents();   // at the frame's time: input as fresh as it can be

    // Frozen while the player works in another window.
    bool frozen = false;
    while (waitForBackWindow && _hwnd && !_quit && everFocused && !hasFocus(_hwnd)) {
        SDL_Event event;
        if (!SDL_WaitEvent(&event))
            break;
        handleEvent(event);
        frozen = true;
    }
    if (frozen)
        _pacer.restart();
    else
        _pacer.flipDone(monotonicNanoseconds());
}

void KWindow::processEvents() {
    SDL_Event event;
    KInput::pumpEvents();
    if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1)
        handleEvent(event);
}

void KWindow::handleEvent(const SDL_Event &event) {
    if (event.type == SDL_QUIT) {
        _quit = true;
    } else if (event.type == SDL_WINDOWEVENT) {
        // Closing only asks: the window stays until the KWindow is deleted.
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            _quit = true;
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            updateScaling(_hwnd, _windowWidth, _windowHeight);
            applyViewport(_windowWidth, _windowHeight);
        }
    }
}

bool KWindow::isQuit() { return _quit; }

void KWindow::terminate() {
    _quit = true;
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

void KWindow::setTitle(const char *title) {
    if (_hwnd)
        SDL_SetWindowTitle(_hwnd, title);
}

bool KWindow::getRectangleTexCap() { return hasRectangleText; }

void KWindow::setRectangleTexCap(bool forceRectangleCap) { hasRectangleText = forceRectangleCap; }

bool KWindow::getAccelerationCap() { return isAccelerated; }

void KWindow::setWindowIcon(const uint8_t *rgba, int width, int height) {
    iconPixels = rgba;
    iconWidth = width;
    iconHeight = height;
}

void KWindow::windowToLogical(int *x, int *y) {
    if (!scaled || pointerView.width <= 0 || pointerView.height <= 0)
        return;
    // Floor, so that points left of or above the picture stay negative.
    *x = int(std::floor(double(*x - pointerView.x) * _windowWidth / pointerView.width));
    *y = int(std::floor(double(*y - pointerView.y) * _windowHeight / pointerView.height));
}

SDL_Window *KWindow::getWindow() { return _hwnd; }

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
