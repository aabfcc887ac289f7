#pragma once
#include <cstdint>

struct SDL_Window;
union SDL_Event;

// Where a windowed game sits: desktop coordinates of the client area, and the
// display. A width of 0: not known, the window opens fitted to the desktop.
// Maximized, the window opens maximized and goes back to that place when restored.
struct KWindowPlace {
    int32_t x = 0, y = 0, width = 0, height = 0, display = 0;
    bool maximized = false;
};

// The one game window of the process and its OpenGL context. The logical screen is
// drawn at the size it is shown, its aspect kept with black bars around it: windowed,
// the window opens at the largest whole scale that fits the desktop and may be
// resized; full screen, it covers the display. F11 and Alt+Enter switch between them.
class KWindow {
public:
    KWindow();    // starts the millisecond clock; no window yet
    ~KWindow();   // context, window, then isQuit() stays true
    KWindow(const KWindow &) = delete;
    KWindow &operator=(const KWindow &) = delete;

    // Opens the window and its GL context. On failure: false when video cannot start, no
    // window can be opened or the GL context cannot be attached (a message box names the
    // GL step); the game then runs on and draws nothing.
    bool createGameWindow(int16_t width, int16_t height, int16_t depth, bool windowed, const char *title);

    static void prepareDisplay();   // start the video system and load the GL driver, before a window is asked for; a failure is silent, createGameWindow reports it
    static void flipBackBuffer(bool waitForBackWindow);   // present, pump one event, pace; optionally wait for focus
    static void processEvents();                  // take at most one pending event
    static void setFocusLossCall(void (*call)()); // called as a flip starts waiting for the focus; nullptr: none
    static bool isQuit();                         // true once the player closed the window or terminate ran
    static bool isDisplayLost();                  // the display ended the game's connection (said on standard error)
    static void terminate();                      // ask the game to end (isQuit true, a quit event queued)
    static void setTitle(const char *title);      // window caption
    static void setWindowPlace(const KWindowPlace &place);   // where the next window opens when windowed
    static KWindowPlace getWindowPlace();         // where it is, or was last while windowed
    static void setFullScreen(bool fullscreen);   // switch now, as F11 does
    static bool isFullScreen();                   // full screen now, after any switch
    static bool getRectangleTexCap();             // rectangle textures available and wanted
    static void setRectangleTexCap(bool forceRectangleCap);
    static bool getAccelerationCap();             // the context is hardware accelerated

    static void setWindowIcon(const uint8_t *rgba, int width, int height);   // icon for the next window (pixels must outlive it); default: a drawn gem; a desktop that refuses it shows its own
    static SDL_Window *getWindow();               // the game window, or none
    static bool isSoftwareRenderer(const char *vendor, const char *renderer);   // GL strings of a renderer without hardware
    static bool waylandLacksSeat();               // WAYLAND_DISPLAY's compositor answers and has no seat: no input there, X11 instead

    // Instance fields, informational only.
    bool _fullscreen;
    int16_t _sourceScreenDepth;   // desktop colour depth (never changed)
    int16_t _gameScreenDepth;     // colour depth the game asked for
    int32_t _windowID;

private:
    // The window's state lives in its files (KWindow_local.h): it exists once per process.
    static void nativeFlip(bool waitForBackWindow);   // flipBackBuffer's real work, behind KPlatform's table
    friend struct KPlatform;
    static bool AttachOpenGLToWindow(int16_t depth);
    static bool presentFrame(bool onSchedule);          // draws and shows the frame unless unchanged or behind; true when it did
    static void handleEvent(const SDL_Event &event);   // quit, close, resize
    static void updateScaling(SDL_Window *window, int width, int height);   // where the logical screen lands, at what size
    static bool waitForFront();                          // true when it waited for the focus
    static void switchOnKeys();
    static void repaintIfDue();
    static void lowerRenderScale();                      // drawing fell behind: coarser for the rest of the session
    static void setQuit(bool quit);
    static void noteLostDisplay();
};
