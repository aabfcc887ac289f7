#include "input_script.h"
#include <cstdint>

namespace {
struct Hand {
    int x = -100, y = -100;
    bool button = false;
    int releaseAfter = -1;
    int reads = 0;
    bool keys[K_VK_COUNT] = {};
    int waits[K_VK_COUNT] = {};
    bool hidden = false;
    int pointerCalls = 0;
    std::function<void()> flipHook;
};
Hand hand;
}  // namespace

namespace inputScript {
void reset() { hand = Hand{}; }
void pointAt(int x, int y) {
    hand.x = x;
    hand.y = y;
}
void setButton(bool down) {
    hand.button = down;
    hand.releaseAfter = -1;
}
void releaseButtonAfterReads(int reads) { hand.releaseAfter = reads; }
int buttonReads() { return hand.reads; }
void setKey(EKeyboardLayout key, bool down) { hand.keys[key] = down; }
int keyWaits(EKeyboardLayout key) { return hand.waits[key]; }
bool pointerHidden() { return hand.hidden; }
int pointerCalls() { return hand.pointerCalls; }
void onFlip(std::function<void()> hook) { hand.flipHook = std::move(hook); }
}  // namespace inputScript

extern "C" {
int16_t __wrap__ZN6KInput9getMouseXEv() { return static_cast<int16_t>(hand.x); }
int16_t __wrap__ZN6KInput9getMouseYEv() { return static_cast<int16_t>(hand.y); }

bool __wrap__ZN6KInput18getLeftButtonStateEv() {
    hand.reads++;
    if (hand.releaseAfter >= 0 && hand.releaseAfter-- == 0) hand.button = false;
    return hand.button;
}

bool __wrap__ZN6KInput9isPressedE15EKeyboardLayout(EKeyboardLayout key) {
    return key < K_VK_COUNT && hand.keys[key];
}

// The player lets go as soon as the game waits for it.
void __wrap__ZN6KInput17waitForKeyReleaseE15EKeyboardLayout(EKeyboardLayout key) {
    if (key >= K_VK_COUNT) return;
    hand.waits[key]++;
    hand.keys[key] = false;
}

void __wrap__ZN6KInput11showPointerEv() {
    hand.hidden = false;
    hand.pointerCalls++;
}
void __wrap__ZN6KInput11hidePointerEv() {
    hand.hidden = true;
    hand.pointerCalls++;
}

void __real__ZN7KWindow14flipBackBufferEb(bool waitForBackWindow);
void __wrap__ZN7KWindow14flipBackBufferEb(bool waitForBackWindow) {
    if (hand.flipHook) hand.flipHook();
    __real__ZN7KWindow14flipBackBufferEb(waitForBackWindow);
}
}
