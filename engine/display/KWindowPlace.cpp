// Where the windowed game opens and sits: the largest whole scale that fits the work
// area, the remembered place (window.stt) when it still fits, and what is remembered.
#include "KWindow.h"

#include <SDL.h>
#include <algorithm>

#include "KWindow_local.h"

using namespace kwindow;

namespace kwindow {

Placing placing;

// Room left for a window manager's title bar before the window exists: the frame's real
// size is known only once the window is mapped, often later than the first size check,
// and a window exactly as tall as the work area would then hang below it. Side borders
// are a pixel or two: a window as wide as the desktop keeps its scale.
constexpr int kTitleBarAllowance = 48;

// How long a window manager may take to frame a window and say how wide the frame is.
constexpr Uint32 kSettleMs = 2000;

// The largest whole scale whose window, frame included, fits the work area; beyond
// 3x the window would leave the desktop little room (full screen draws finer).
int fittingScale(const SDL_Rect &area, int frameWidth, int frameHeight, int width, int height) {
    const int fits = std::min((area.w - frameWidth) / width, (area.h - frameHeight) / height);
    return std::max(1, std::min(fits, 3));
}

bool knownDisplay(int display) { return display >= 0 && display < SDL_GetNumVideoDisplays(); }

// The remembered place, when its display is still there and shows enough of it;
// else the fitted size, centred on the remembered display or the first.
Rect windowedPlace(int width, int height) {
    const KWindowPlace &p = placing.place;
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
    if (placing.place.width != 0 || SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0 ||
        SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(window), &area) != 0)
        return;
    SDL_GetWindowSize(window, &w, &h);
    const int scale = fittingScale(area, left + right, top + bottom, width, height);
    if (w > width * scale)
        SDL_SetWindowSize(window, width * scale, height * scale);
}

// Maximized, full screen or being placed, the window is not where it sits when windowed;
// whether it is maximized is kept through full screen, as the state to go back to.
void rememberPlace(SDL_Window *window) {
    const Uint32 away = SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN | SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (!window || mode.fullscreen || placing.settleUntil || (SDL_GetWindowFlags(window) & away))
        return;
    KWindowPlace &p = placing.place;
    p.maximized = (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) != 0;
    if (p.maximized)
        return;
    SDL_GetWindowPosition(window, &p.x, &p.y);
    SDL_GetWindowSize(window, &p.width, &p.height);
    p.display = std::max(SDL_GetWindowDisplayIndex(window), 0);
}

void settleAt(int x, int y) {
    placing.settleX = x, placing.settleY = y;
    placing.settleUntil = std::max<Uint32>(SDL_GetTicks() + kSettleMs, 1);
}

// Called at every event pump: moves a window the frame pushed off its place back
// there once its frame is known; otherwise remembers where the player put it.
void keepPlace(SDL_Window *window) {
    if (!window)
        return;
    if (!placing.settleUntil) {
        rememberPlace(window);
        return;
    }
    int x, y, top = 0, left = 0;
    SDL_GetWindowPosition(window, &x, &y);
    const bool framed = SDL_GetWindowBordersSize(window, &top, &left, nullptr, nullptr) == 0 && (top || left);
    if (framed && x == placing.settleX + left && y == placing.settleY + top)
        SDL_SetWindowPosition(window, placing.settleX, placing.settleY);
    if (SDL_TICKS_PASSED(SDL_GetTicks(), placing.settleUntil))
        placing.settleUntil = 0;
}

SDL_Window *openGameWindow(const char *title, int width, int height, int16_t depth, bool windowed, bool use3d) {
    const Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    Rect place = windowedPlace(width, height);
    const Uint32 state = windowed ? (placing.place.maximized ? SDL_WINDOW_MAXIMIZED : 0) : SDL_WINDOW_BORDERLESS;
    SDL_Window *window = createWindowWithPixelFormat(title, place, flags | state, depth, use3d);
    if (!window)
        return nullptr;
    SDL_SetWindowMinimumSize(window, kMinimumWidth, kMinimumHeight);
    if (!windowed)
        coverDisplay(window);
    else if (!SDL_WINDOWPOS_ISCENTERED(place.x) && !placing.place.maximized)
        settleAt(place.x, place.y);
    return window;
}

}  // namespace kwindow

void KWindow::setWindowPlace(const KWindowPlace &place) { placing.place = place; }

KWindowPlace KWindow::getWindowPlace() {
    rememberPlace(win.hwnd);
    return placing.place;
}
