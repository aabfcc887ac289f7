#include "KInput.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "KGamepad.h"
#include "KPlatform.h"

SDL_Window *KInput::_hwnd = nullptr;

#define KEY(id, sc) {id, SDL_SCANCODE_##sc}
const KeyStroke KeyboardLayout[K_VK_COUNT] = {
    KEY(K_VK_LEFT, LEFT), KEY(K_VK_UP, UP), KEY(K_VK_DOWN, DOWN), KEY(K_VK_RIGHT, RIGHT),
    KEY(K_VK_SPACE, SPACE),
    KEY(K_VK_L_SHIFT, LSHIFT), KEY(K_VK_R_SHIFT, RSHIFT),
    KEY(K_VK_RETURN, RETURN),
    KEY(K_VK_R_CONTROL, RCTRL), KEY(K_VK_L_CONTROL, LCTRL),
    KEY(K_VK_F1, F1), KEY(K_VK_F2, F2), KEY(K_VK_F3, F3), KEY(K_VK_F4, F4),
    KEY(K_VK_F5, F5), KEY(K_VK_F6, F6), KEY(K_VK_F7, F7), KEY(K_VK_F8, F8),
    KEY(K_VK_F9, F9), KEY(K_VK_F10, F10), KEY(K_VK_F11, F11), KEY(K_VK_F12, F12),
    KEY(K_VK_BACK, BACKSPACE), KEY(K_VK_TAB, TAB), KEY(K_VK_ESCAPE, ESCAPE),
    KEY(K_VK_A, A), KEY(K_VK_B, B), KEY(K_VK_C, C), KEY(K_VK_D, D), KEY(K_VK_E, E),
    KEY(K_VK_F, F), KEY(K_VK_G, G), KEY(K_VK_H, H), KEY(K_VK_I, I), KEY(K_VK_J, J),
    KEY(K_VK_K, K), KEY(K_VK_L, L), KEY(K_VK_M, M), KEY(K_VK_N, N), KEY(K_VK_O, O),
    KEY(K_VK_P, P), KEY(K_VK_Q, Q), KEY(K_VK_R, R), KEY(K_VK_S, S), KEY(K_VK_T, T),
    KEY(K_VK_U, U), KEY(K_VK_V, V), KEY(K_VK_W, W), KEY(K_VK_X, X), KEY(K_VK_Y, Y),
    KEY(K_VK_Z, Z),
    KEY(K_VK_0, 0), KEY(K_VK_1, 1), KEY(K_VK_2, 2), KEY(K_VK_3, 3), KEY(K_VK_4, 4),
    KEY(K_VK_5, 5), KEY(K_VK_6, 6), KEY(K_VK_7, 7), KEY(K_VK_8, 8), KEY(K_VK_9, 9),
    KEY(K_VK_NUM0, KP_0), KEY(K_VK_NUM1, KP_1), KEY(K_VK_NUM2, KP_2), KEY(K_VK_NUM3, KP_3),
    KEY(K_VK_NUM4, KP_4), KEY(K_VK_NUM5, KP_5), KEY(K_VK_NUM6, KP_6), KEY(K_VK_NUM7, KP_7),
    KEY(K_VK_NUM8, KP_8), KEY(K_VK_NUM9, KP_9),
    KEY(K_VK_MULTIPLY, KP_MULTIPLY), KEY(K_VK_ADD, KP_PLUS), KEY(K_VK_SUBTRACT, KP_MINUS),
    KEY(K_VK_DECIMAL, KP_PERIOD), KEY(K_VK_DIVIDE, KP_DIVIDE),
    KEY(K_VK_CLEAR, CLEAR),
    KEY(K_VK_ALT, LALT),
    KEY(K_VK_L_WIN, LGUI), KEY(K_VK_R_WIN, RGUI),
    KEY(K_VK_NUMLOCK, NUMLOCKCLEAR), KEY(K_VK_SCROLL, SCROLLLOCK),
    KEY(K_VK_SEMICOLON, SEMICOLON), KEY(K_VK_EQUAL, EQUALS), KEY(K_VK_COMMA, COMMA),
    KEY(K_VK_MINUS, MINUS), KEY(K_VK_PERIOD, PERIOD), KEY(K_VK_SLASH, SLASH),
    KEY(K_VK_BACKQUOTE, GRAVE),
    KEY(K_VK_LBRACKET, LEFTBRACKET), KEY(K_VK_BACKSLASH, BACKSLASH),
    KEY(K_VK_RBRACKET, RIGHTBRACKET), KEY(K_VK_QUOTE, APOSTROPHE),
};
#undef KEY

namespace {
KPointerView pointerView;
bool windowClosed = false;
void (*waitService)() = nullptr;

// Window pixels to logical ones; floor, so points left of or above the picture stay negative.
void windowToLogical(int *x, int *y) {
    const KPointerView &view = pointerView;
    if (view.width <= 0 || view.height <= 0)
        return;
    *x = int(std::floor(double(*x - view.x) * view.logicalWidth / view.width));
    *y = int(std::floor(double(*y - view.y) * view.logicalHeight / view.height));
}

struct PointerState {
    int x = 0, y = 0;      // window pixels
    bool leftDown = false;
};

// Asks the X server itself: SDL's own desktop-wide state is only refreshed by
// some kinds of pointer event and can lag when the pointer is outside.
bool queryX11Pointer(SDL_Window *window, PointerState *state) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return false;
    Window root, child;
    int rootX, rootY;
    unsigned int mask;
    if (!XQueryPointer(info.info.x11.display, info.info.x11.window, &root, &child, &rootX, &rootY, &state->x,
                       &state->y, &mask))
        return false;
    state->leftDown = (mask & Button1Mask) != 0;
    return true;
}

bool onWayland(SDL_Window *window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_WAYLAND;
}

// SDL's window-relative state while the pointer is over the window, else the
// server's answer (or the desktop position minus the window's). Wayland tells a
// window nothing of a pointer outside it: there it is just away, up and left of the
// window, so the game draws no pointer where it left.
PointerState pointerInWindow(SDL_Window *window) {
    PointerState state;
    KInput::pumpEvents();
    if (window && SDL_GetMouseFocus() == window) {
        state.leftDown = (SDL_GetMouseState(&state.x, &state.y) & SDL_BUTTON_LMASK) != 0;
        return state;
    }
    if (onWayland(window)) {
        state.x = state.y = -1;
        return state;
    }
    if (queryX11Pointer(window, &state))
        return state;
    int windowX = 0, windowY = 0;
    if (window)
        SDL_GetWindowPosition(window, &windowX, &windowY);
    state.leftDown = (SDL_GetGlobalMouseState(&state.x, &state.y) & SDL_BUTTON_LMASK) != 0;
    state.x -= windowX;
    state.y -= windowY;
    return state;
}

void logicalPointer(SDL_Window *window, int *x, int *y) {
    PointerState state = pointerInWindow(window);
    windowToLogical(&state.x, &state.y);
    *x = state.x;
    *y = state.y;
}

// Letters and digits are the keys that print them in the player's layout (an
// azerty "a" is the key a qwerty board calls "q"); a layout without that
// character, and every other key, keeps the physical key.
SDL_Scancode scancodeOf(EKeyboardLayout key) {
    const SDL_Scancode physical = SDL_Scancode(KeyboardLayout[key].scancode);
    SDL_Keycode printed = SDLK_UNKNOWN;
    if (key >= K_VK_A && key <= K_VK_Z)
        printed = SDLK_a + (key - K_VK_A);
    else if (key >= K_VK_0 && key <= K_VK_9)
        printed = SDLK_0 + (key - K_VK_0);
    const SDL_Scancode mapped = printed == SDLK_UNKNOWN ? SDL_SCANCODE_UNKNOWN : SDL_GetScancodeFromKey(printed);
    return mapped == SDL_SCANCODE_UNKNOWN ? physical : mapped;
}

// Kinds of event that only change the polled state: they are never queued, so
// the one-event-per-frame pump cannot fall behind. Key presses are seen by the
// filter below, which keeps them out of the queue too.
const SDL_EventType kPolledOnly[] = {
    SDL_KEYUP, SDL_TEXTEDITING, SDL_TEXTINPUT, SDL_MOUSEMOTION,
    SDL_MOUSEBUTTONUP, SDL_MOUSEWHEEL,
    SDL_FINGERDOWN, SDL_FINGERUP, SDL_FINGERMOTION,
};
// A key, pad button or mouse button pressed and let go between two frames is never
// down when the game asks: its press is kept, with the frame it came in, until a
// query takes it or the next frame has passed.
uint32_t frameNumber = 1;
uint32_t keyPressedIn[SDL_NUM_SCANCODES];
uint32_t padPressedIn[K_VK_COUNT];
uint32_t leftPressedIn = 0;

bool takePress(uint32_t &pressedIn) {
    const uint32_t frame = std::exchange(pressedIn, 0);
    return frame != 0 && frame + 1 >= frameNumber;
}

// F11 and Alt+Enter switch the window; held down, they are not the game's either
// (Enter would accept a half-typed name).
int windowSwitches = 0;
bool windowKeyHeld[SDL_NUM_SCANCODES];

bool isWindowSwitch(const SDL_KeyboardEvent &key) {
    const SDL_Scancode code = key.keysym.scancode;
    const bool enter = code == SDL_SCANCODE_RETURN || code == SDL_SCANCODE_KP_ENTER;
    return code == SDL_SCANCODE_F11 || (enter && (key.keysym.mod & KMOD_ALT));
}

// Still down since it switched the window: not a key of the game's.
bool heldForWindow(SDL_Scancode code, bool down) {
    windowKeyHeld[code] = windowKeyHeld[code] && down;
    return windowKeyHeld[code];
}

int SDLCALL latchPresses(void *, SDL_Event *event) {
    if (event->type == SDL_KEYDOWN) {
        const SDL_Scancode code = event->key.keysym.scancode;
        if (isWindowSwitch(event->key))
            windowKeyHeld[code] = true, windowSwitches += event->key.repeat ? 0 : 1;
        else if (!event->key.repeat)
            keyPressedIn[code] = frameNumber;
        return 0;
    }
    if (event->type == SDL_MOUSEBUTTONDOWN) {
        if (event->button.button == SDL_BUTTON_LEFT)
            leftPressedIn = frameNumber;
        return 1;   // queued as well: a click into a window in the back ends its wait
    }
    const EKeyboardLayout padKey = KGamepad::keyPressed(*event);
    if (padKey < K_VK_COUNT)
        padPressedIn[padKey] = frameNumber;
    return KGamepad::handleEvent(*event);
}

// Typed keys repeat as a keyboard's do, counted in queries (one a frame).
const int kRepeatDelay = 24, kRepeatEvery = 4;
uint16_t heldQueries[K_VK_COUNT];
uint32_t askedInFrame[K_VK_COUNT];
}  // namespace

void KInput::initInput(SDL_Window *window) {
    _hwnd = window;
    for (SDL_EventType type : kPolledOnly)
        SDL_EventState(type, SDL_IGNORE);
    SDL_SetEventFilter(latchPresses, nullptr);
    SDL_StopTextInput();
    SDL_ResetKeyboard();
    std::fill(std::begin(keyPressedIn), std::end(keyPressedIn), 0);
    std::fill(std::begin(windowKeyHeld), std::end(windowKeyHeld), false);
    windowSwitches = 0;
    std::fill(std::begin(padPressedIn), std::end(padPressedIn), 0);
    leftPressedIn = 0;
    if (window)
        KGamepad::start();
    else
        KGamepad::stop();
}

void KInput::frameDone() { frameNumber++; }

void KInput::forgetClick() { leftPressedIn = 0; }

bool KInput::takeWindowSwitch() {
    KInput::pumpEvents();
    if (windowSwitches == 0)
        return false;
    windowSwitches--;
    return true;
}

bool KInput::isTyped(EKeyboardLayout key) {
    if (key >= K_VK_COUNT)
        return false;
    // Not asked in the frame before: a hold that another screen saw starts afresh.
    if (askedInFrame[key] + 1 < frameNumber)
        heldQueries[key] = 0;
    askedInFrame[key] = frameNumber;
    if (!isPressed(key)) {
        heldQueries[key] = 0;
        return false;
    }
    const int held = heldQueries[key] = uint16_t(std::min(heldQueries[key] + 1, 60000));
    return held == 1 || (held > kRepeatDelay && (held - kRepeatDelay) % kRepeatEvery == 0);
}

int16_t KInput::getMouseX() { return KPlatform::calls.getMouseX(); }
int16_t KInput::getMouseY() { return KPlatform::calls.getMouseY(); }
bool KInput::getLeftButtonState() { return KPlatform::calls.getLeftButtonState(); }
void KInput::showPointer() { KPlatform::calls.setPointerShown(true); }
void KInput::hidePointer() { KPlatform::calls.setPointerShown(false); }
bool KInput::isPressed(EKeyboardLayout key) { return KPlatform::calls.isPressed(key); }
void KInput::waitForKeyRelease(EKeyboardLayout key) { KPlatform::calls.waitForKeyRelease(key); }

int16_t KInput::nativeMouseX() {
    int x, y;
    logicalPointer(_hwnd, &x, &y);
    return int16_t(x);
}

int16_t KInput::nativeMouseY() {
    int x, y;
    logicalPointer(_hwnd, &x, &y);
    return int16_t(y);
}

bool KInput::nativeLeftButton() {
    const bool down = pointerInWindow(_hwnd).leftDown;
    return takePress(leftPressedIn) | down;
}

void KInput::nativePointerShown(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

namespace {
bool isLetter(EKeyboardLayout key) { return key >= K_VK_A && key <= K_VK_Z; }
bool padReads(EKeyboardLayout key) { return takePress(padPressedIn[key]) | KGamepad::holds(key); }
}  // namespace

// A pad's letter buttons (a hint, a new game, pause) would type in a name entry.
bool KInput::isCommand(EKeyboardLayout key) {
    if (key >= K_VK_COUNT)
        return false;
    const bool pad = isLetter(key) && padReads(key);
    return isPressed(key) | pad;
}

bool KInput::nativeIsPressed(EKeyboardLayout key) {
    if (key >= K_VK_COUNT)
        return false;
    KInput::pumpEvents();
    const Uint8 *state = SDL_GetKeyboardState(nullptr);
    const bool pad = !isLetter(key) && padReads(key);
    // Either Alt key is the one Alt identifier.
    if (key == K_VK_ALT)
        return takePress(keyPressedIn[SDL_SCANCODE_LALT]) | takePress(keyPressedIn[SDL_SCANCODE_RALT]) |
               state[SDL_SCANCODE_LALT] | state[SDL_SCANCODE_RALT] | pad;
    const SDL_Scancode scancode = scancodeOf(key);
    if (heldForWindow(scancode, state[scancode] != 0))
        return pad;
    return takePress(keyPressedIn[scancode]) | (state[scancode] != 0) | pad;
}

// Each query wants fresh input, and one pump a millisecond gives it: the dozen
// queries of a frame then cost one trip to the X server instead of a dozen.
void KInput::pumpEvents() {
    static Uint32 pumpedAt = 0;
    static bool pumped = false;
    const Uint32 now = SDL_GetTicks();
    if (pumped && now == pumpedAt)
        return;
    SDL_PumpEvents();
    KGamepad::dropMotion();
    pumpedAt = now;
    pumped = true;
}

void KInput::setPointerView(const KPointerView &view) { pointerView = view; }

void KInput::setWindowClosed(bool closed) { windowClosed = closed; }

void KInput::setWaitService(void (*service)()) { waitService = service; }

void KInput::nativeWaitForKeyRelease(EKeyboardLayout key) {
    // SDL sees a release only when it pumps, and a closed window never sends one.
    while (isCommand(key) && !windowClosed && !SDL_HasEvent(SDL_QUIT)) {
        if (waitService)
            waitService();
        SDL_Delay(1);
    }
}
