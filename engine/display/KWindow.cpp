// The game window's life: opening it with its GL context, its events (close, resize,
// focus, the wait while another window is in front), its title and icon, closing it.
// Owns the logical size.
#include "KWindow.h"

#include "KCatalog.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <wayland-client.h>
#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cerrno>

#include "KWindow_local.h"
#include "K3D.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"

using namespace kwindow;

namespace kwindow {

WindowLife win;

// A cut gem, in case no picture was given: violet, lit from the top left.
void drawDefaultIcon() {
    const float c = (kIconSize - 1) / 2.0f;
    for (int y = 0; y < kIconSize; y++) {
        for (int x = 0; x < kIconSize; x++) {
            uint8_t *p = win.drawnIcon + (y * kIconSize + x) * 4;
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
    if (!win.iconPixels) {
        drawDefaultIcon();
        win.iconPixels = win.drawnIcon;
        win.iconWidth = win.iconHeight = kIconSize;
    }
    SDL_Surface *icon =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t *>(win.iconPixels), win.iconWidth, win.iconHeight,
                                           32, win.iconWidth * 4, SDL_PIXELFORMAT_RGBA32);
    if (!icon)
        return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

// Sees every event as it arrives, however many wait in the queue. The window
// shows what it showed before only while nothing covered, resized or hid it.
int watchWindow(void *, SDL_Event *event) {
    if (event->type != SDL_WINDOWEVENT || event->window.windowID != win.gameWindowID)
        return 1;
    switch (event->window.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        win.everFocused = true;
        KFrame::showNext();
        break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
        KFrame::showNext();
        screen.repaintDue = true;
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

}  // namespace kwindow

void KWindow::setQuit(bool quit) {
    win.quit = quit;
    KInput::setWindowClosed(quit);
}

KWindow::KWindow() : _fullscreen(false), _sourceScreenDepth(0), _gameScreenDepth(0), _windowID(0) {
    setQuit(false);
    KMiscTools::initMillisecond();
    win.use3d = false;
}

KWindow::~KWindow() {
    KFrame::drop();   // its textures go with the context
    KFrame::showNext();
    KGraphic::dropSpareTexture();
    deleteLogicalScreen();
    KFrame::setSurfaceKept(false);
    if (win.openGLContext) {
        SDL_GL_MakeCurrent(win.hwnd, nullptr);
        SDL_GL_DeleteContext(win.openGLContext);
        win.openGLContext = nullptr;
    }
    if (win.hwnd) {
        SDL_DelEventWatch(watchWindow, nullptr);
        KInput::initInput(nullptr);
        KInput::setWaitService(nullptr);
        SDL_DestroyWindow(win.hwnd);
        win.hwnd = nullptr;
    }
    KInput::setPointerView({});
    if (driver.driverPreloaded) {
        SDL_GL_UnloadLibrary();
        driver.driverPreloaded = false;
    }
    if (driver.videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        driver.videoStarted = false;
    }
    setQuit(true);
}

bool KWindow::createGameWindow(int16_t width, int16_t height, int16_t depth, bool windowed, const char *title) {
    win.windowWidth = width;
    win.windowHeight = height;
    _fullscreen = !windowed;
    _gameScreenDepth = depth;
    KGraphic::setScreenSize(width, height, depth);
    KFrame::drop();
    KFrame::showNext();
    mode.fullscreen = !windowed;

    if (!startVideo(true))
        return false;
    if (isInvisibleDriver())
        return false;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0)
        _sourceScreenDepth = int16_t(SDL_BITSPERPIXEL(desktop.format));

    win.hwnd = openGameWindow(title, width, height, depth, windowed, win.use3d);
    if (videoDriverIs("wayland") && !contextWorks(win.hwnd))
        win.hwnd = openOnX11Instead(title, width, height, depth, windowed);
    if (!win.hwnd) {
        reportVideoFailure(SDL_GetCurrentVideoDriver(), _("open a window"), SDL_GetError(),
                           otherDriver(SDL_GetCurrentVideoDriver()));
        return false;
    }
    // Tests make sure which driver the window is on.
    const char *say = SDL_getenv("BROLIX_SHOW_VIDEO_DRIVER");
    if (say && *say && std::strcmp(say, "0") != 0)
        std::fprintf(stderr, "brolix: video driver %s\n", SDL_GetCurrentVideoDriver());   // not for players
    _windowID = int32_t(SDL_GetWindowID(win.hwnd));
    win.gameWindowID = SDL_GetWindowID(win.hwnd);
    win.everFocused = false;
    SDL_AddEventWatch(watchWindow, nullptr);
    applyWindowIcon(win.hwnd);

    setTitle(title);
    SDL_ShowWindow(win.hwnd);
    SDL_RaiseWindow(win.hwnd);
    SDL_SetWindowInputFocus(win.hwnd);   // a new game window comes to the front
    if (windowed)
        fitFrame(win.hwnd, width, height);
    KInput::initInput(win.hwnd);
    KInput::setWaitService(processEvents);

    bool attached = AttachOpenGLToWindow(depth);

    const char *extensions = attached ? glString(GL_EXTENSIONS) : nullptr;
    if (extensions) {
        KGraphic::rectangleTextures = std::strstr(extensions, "GL_EXT_texture_rectangle") ||
                                      std::strstr(extensions, "GL_NV_texture_rectangle");
    }
    // Swap control is a window-system extension: ask for it instead of parsing strings.
    driver.isWaitVBLSupported = attached && screen.maxFrameRate != 0 && SDL_GL_SetSwapInterval(1) == 0;

    if (attached) {
        screen.framebuffers = loadFramebufferApi();
        loadPartialPresent();
    }
    KGraphic::setScreenSize(width, height, depth);
    updateScaling(win.hwnd, width, height);
    KInput::initInput(win.hwnd);
    KMiscTools::initMiscTools();

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    flipBackBuffer(true);

    // Without a context nothing is drawn at all, let alone accelerated.
    driver.isAccelerated = attached && driver.pixelFormat == ACCELERATED_FORMAT &&
                          !isSoftwareRenderer(glString(GL_VENDOR), glString(GL_RENDERER));

    KGraphic::setDefaultWorldView();
    K3D::initK3D(width, height);
    applyViewport();
    return attached;
}

// Frozen while the player works in another window, painted again whenever it is
// uncovered; the focus coming back ends it, and so does a click into the window
// (a desktop without a window manager gives no focus on a click). The click itself
// is not the game's: it waits for the release.
bool KWindow::waitForFront() {
    if (!win.hwnd || win.quit || !win.everFocused || hasFocus(win.hwnd))
        return false;
    if (win.focusLossCall)
        win.focusLossCall();
    bool clicked = false;
    SDL_Event event;
    while (!clicked && !win.quit && !hasFocus(win.hwnd) && SDL_WaitEvent(&event)) {
        clicked = event.type == SDL_MOUSEBUTTONDOWN && event.button.windowID == win.gameWindowID;
        handleEvent(event);
        repaintIfDue();
    }
    if (!clicked)
        return true;
    KInput::forgetClick();
    SDL_RaiseWindow(win.hwnd);
    SDL_SetWindowInputFocus(win.hwnd);
    while (!win.quit && (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK)) {
        processEvents();
        SDL_Delay(1);
    }
    return true;
}

void KWindow::setFocusLossCall(void (*call)()) { win.focusLossCall = call; }

void KWindow::processEvents() {
    SDL_Event event;
    KInput::pumpEvents();
    if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1)
        handleEvent(event);
    switchOnKeys();
    keepPlace(win.hwnd);
    repaintIfDue();
}

void KWindow::handleEvent(const SDL_Event &event) {
    if (event.type == SDL_QUIT) {
        noteLostDisplay();
        setQuit(true);
    } else if (event.type == SDL_WINDOWEVENT) {
        // Closing only asks: the window stays until the KWindow is deleted.
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            setQuit(true);
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            updateScaling(win.hwnd, win.windowWidth, win.windowHeight);
        }
    }
}

// SDL ends a Wayland connection the compositor broke with a quit event, as if the
// player had closed the window; the player and the exit status hear otherwise.
void KWindow::noteLostDisplay() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!win.hwnd || !SDL_GetWindowWMInfo(win.hwnd, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return;
    const int error = wl_display_get_error(info.info.wl.display);
    if (error == 0 || win.displayLost)
        return;
    win.displayLost = true;
    std::fprintf(stderr, _("brolix: the Wayland compositor ended its connection with the game (%s); the game cannot go on\n"),
                 std::strerror(error));
}

bool KWindow::isDisplayLost() { return win.displayLost; }

bool KWindow::isQuit() { return win.quit; }

void KWindow::terminate() {
    setQuit(true);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

void KWindow::setTitle(const char *title) {
    if (win.hwnd)
        SDL_SetWindowTitle(win.hwnd, title);
}

bool KWindow::getRectangleTexCap() { return KGraphic::rectangleTextures; }

void KWindow::setRectangleTexCap(bool forceRectangleCap) { KGraphic::rectangleTextures = forceRectangleCap; }

void KWindow::setWindowIcon(const uint8_t *rgba, int width, int height) {
    win.iconPixels = rgba;
    win.iconWidth = width;
    win.iconHeight = height;
}

SDL_Window *KWindow::getWindow() { return win.hwnd; }
