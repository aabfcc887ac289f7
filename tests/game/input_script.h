#pragma once
// The player's hand for tests, through KPlatform's table; a hook runs before every flip.
#include <functional>
#include "KInput.h"

namespace inputScript {
void reset();                            // installs the hand: pointer outside, button and keys up, no hook
void pointAt(int x, int y);              // logical screen pixels
void setButton(bool down);
void setKey(EKeyboardLayout key, bool down);
void onFlip(std::function<void()> hook); // runs before each real flip
}
