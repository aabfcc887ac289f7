#include "input_script.h"
#include "KPlatform.h"

namespace {
struct Hand {
    int x = -100, y = -100;
    bool button = false;
    bool keys[K_VK_COUNT] = {};
    std::function<void()> flipHook;
};
Hand hand;
}  // namespace

namespace inputScript {
void reset() {
    hand = Hand{};
    KPlatform &calls = KPlatform::calls;
    calls.getMouseX = [] { return int16_t(hand.x); };
    calls.getMouseY = [] { return int16_t(hand.y); };
    calls.getLeftButtonState = [] { return hand.button; };
    calls.isPressed = [](EKeyboardLayout key) { return key < K_VK_COUNT && hand.keys[key]; };
    calls.waitForKeyRelease = [](EKeyboardLayout key) {   // the player lets go as soon as the game waits for it
        if (key < K_VK_COUNT) hand.keys[key] = false;
    };
    calls.flipBackBuffer = [](bool waitForBackWindow) {
        if (hand.flipHook) hand.flipHook();
        KPlatform::native.flipBackBuffer(waitForBackWindow);
    };
}
void pointAt(int x, int y) {
    hand.x = x;
    hand.y = y;
}
void setButton(bool down) { hand.button = down; }
void setKey(EKeyboardLayout key, bool down) { hand.keys[key] = down; }
void onFlip(std::function<void()> hook) { hand.flipHook = std::move(hook); }
}  // namespace inputScript
