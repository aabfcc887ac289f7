// Switching between windowed and full screen, by the game or by F11 and Alt+Enter.
#include "KWindow.h"

#include <SDL.h>
#include <algorithm>

#include "KWindow_local.h"
#include "KInput.h"

using namespace kwindow;

namespace kwindow {

ScreenMode mode;

// Full screen: a borderless window over the whole display (so it covers the screen
// even where no window manager acts on the full-screen request), then flagged full
// screen for the ones that do. A Wayland compositor always does, and gives the window
// back its own size or state afterwards: sized by the game there, a maximized window
// would no longer match and the compositor would end the connection.
void coverDisplay(SDL_Window *window) {
    if (videoDriverIs("wayland")) {
        SDL_RestoreWindow(window);
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window), 0), &bounds) != 0)
        return;
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, bounds.x, bounds.y);
    SDL_SetWindowSize(window, bounds.w, bounds.h);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// Back where it was, maximized again if it was.
void placeWindowed(SDL_Window *window, int width, int height) {
    const Rect place = windowedPlace(width, height);
    SDL_SetWindowFullscreen(window, 0);
    if (!videoDriverIs("wayland"))
        SDL_SetWindowBordered(window, SDL_TRUE);
    if (placing.place.maximized) {
        SDL_MaximizeWindow(window);
        return;
    }
    if (videoDriverIs("wayland"))
        return;
    SDL_SetWindowSize(window, place.width, place.height);
    SDL_SetWindowPosition(window, place.x, place.y);
    if (!SDL_WINDOWPOS_ISCENTERED(place.x))
        settleAt(place.x, place.y);
}

}  // namespace kwindow

// F11 or Alt+Enter, at any moment the window has the focus: one switch a press,
// however short.
void KWindow::switchOnKeys() {
    if (KInput::takeWindowSwitch() && win.hwnd && hasFocus(win.hwnd))
        setFullScreen(!mode.fullscreen);
}

void KWindow::setFullScreen(bool fullscreen) {
    if (!win.hwnd || fullscreen == mode.fullscreen)
        return;
    rememberPlace(win.hwnd);
    if (fullscreen) {
        placing.place.maximized = (SDL_GetWindowFlags(win.hwnd) & SDL_WINDOW_MAXIMIZED) != 0;
        coverDisplay(win.hwnd);
    } else {
        placeWindowed(win.hwnd, win.windowWidth, win.windowHeight);
    }
    mode.fullscreen = fullscreen;
    updateScaling(win.hwnd, win.windowWidth, win.windowHeight);
    KFrame::showNext();
}

bool KWindow::isFullScreen() { return mode.fullscreen; }
