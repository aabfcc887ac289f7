#pragma once
#include <cstdint>

struct SDL_Window;

// The engine's key identifiers; the values are what the game relies on.
enum EKeyboardLayout : uint8_t {
    K_VK_LEFT = 0, K_VK_UP, K_VK_DOWN, K_VK_RIGHT,
    K_VK_SPACE,
    K_VK_L_SHIFT, K_VK_R_SHIFT,
    K_VK_RETURN,
    K_VK_R_CONTROL, K_VK_L_CONTROL,
    K_VK_F1, K_VK_F2, K_VK_F3, K_VK_F4, K_VK_F5, K_VK_F6,
    K_VK_F7, K_VK_F8, K_VK_F9, K_VK_F10, K_VK_F11, K_VK_F12,
    K_VK_BACK, K_VK_TAB, K_VK_ESCAPE,
    K_VK_A, K_VK_B, K_VK_C, K_VK_D, K_VK_E, K_VK_F, K_VK_G, K_VK_H, K_VK_I,
    K_VK_J, K_VK_K, K_VK_L, K_VK_M, K_VK_N, K_VK_O, K_VK_P, K_VK_Q, K_VK_R,
    K_VK_S, K_VK_T, K_VK_U, K_VK_V, K_VK_W, K_VK_X, K_VK_Y, K_VK_Z,
    K_VK_0, K_VK_1, K_VK_2, K_VK_3, K_VK_4, K_VK_5, K_VK_6, K_VK_7, K_VK_8, K_VK_9,
    K_VK_NUM0, K_VK_NUM1, K_VK_NUM2, K_VK_NUM3, K_VK_NUM4,
    K_VK_NUM5, K_VK_NUM6, K_VK_NUM7, K_VK_NUM8, K_VK_NUM9,
    K_VK_MULTIPLY, K_VK_ADD, K_VK_SUBTRACT, K_VK_DECIMAL, K_VK_DIVIDE,
    K_VK_CLEAR,
    K_VK_ALT,
    K_VK_L_WIN, K_VK_R_WIN,
    K_VK_NUMLOCK, K_VK_SCROLL,
    K_VK_SEMICOLON, K_VK_EQUAL, K_VK_COMMA, K_VK_MINUS, K_VK_PERIOD, K_VK_SLASH, K_VK_BACKQUOTE,
    K_VK_LBRACKET, K_VK_BACKSLASH, K_VK_RBRACKET, K_VK_QUOTE,
    K_VK_COUNT   // 93: not a key
};

// One key binding: the identifier (equal to its index) and the SDL scancode
// of its key on a US board. Letters and digits follow the player's layout
// instead (isPressed looks them up); every other key stays where it is.
struct KeyStroke {
    uint16_t key;
    uint16_t scancode;
};

extern const KeyStroke KeyboardLayout[K_VK_COUNT];

// Where the logical screen lies in the window, in window pixels (y downwards); an
// empty rectangle: window pixels are logical pixels.
struct KPointerView {
    int x = 0, y = 0, width = 0, height = 0;
    int logicalWidth = 0, logicalHeight = 0;
};

// Polled mouse and keyboard of the game window. Pointer positions are in
// logical screen pixels (0..639, 0..479), negative or beyond when outside.
class KInput {
public:
    static void initInput(SDL_Window *window);    // remember the window; every key reads as up
    static int16_t getMouseX();                   // pointer x in logical pixels
    static int16_t getMouseY();                   // pointer y in logical pixels, y downwards
    static bool getLeftButtonState();             // left button down now, wherever the pointer is
    static void showPointer();                    // show the system pointer over the window
    static void hidePointer();                    // hide it
    static bool isPressed(EKeyboardLayout key);   // key down now, or tapped since the last frame (letters as the layout prints them, pad buttons as their keys but for letters); past 92 never
    static bool isCommand(EKeyboardLayout key);   // isPressed, or a pad button standing for this letter: the game's actions, never typed text
    static bool isTyped(EKeyboardLayout key);     // just pressed, or held past the repeat delay at the repeat rate; ask once a frame
    static void waitForKeyRelease(EKeyboardLayout key);   // until the key is up or the window closes
    static void pumpEvents();                     // fetch window events and input state, at most once a millisecond

private:
    static int16_t nativeMouseX();                // the real calls, behind KPlatform's table
    static int16_t nativeMouseY();
    static bool nativeLeftButton();
    static void nativePointerShown(bool shown);
    static bool nativeIsPressed(EKeyboardLayout key);
    static void nativeWaitForKeyRelease(EKeyboardLayout key);
    friend struct KPlatform;

    // The window tells the input what it needs of it, so input never asks the window.
    static void setPointerView(const KPointerView &view);
    static void setWindowClosed(bool closed);   // asked to close: key waits end
    static void setWaitService(void (*service)());   // run on each turn of a key wait: the window stays painted
    static void frameDone();                    // presses kept for the frame before expire
    static bool takeWindowSwitch();             // F11 or Alt+Enter was pressed: true once a press; the game never sees those keys
    static void forgetClick();                  // the latched press was the window's, not the game's
    friend class KWindow;

    static SDL_Window *_hwnd;
};
