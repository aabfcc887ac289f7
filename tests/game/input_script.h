#pragma once
// The player's hand and eyes for tests: the pointer, the left button and the keys
// the game polls come from here (through KPlatform's table), a hook runs before
// every flip, and the steps of the last flipped frame are kept.
#include <functional>
#include <vector>
#include "KFrame.h"
#include "KInput.h"

namespace inputScript {
void reset();                            // installs the hand: pointer outside, button and keys up, no hook
void pointAt(int x, int y);              // logical screen pixels
void setButton(bool down);
void releaseButtonAfterReads(int reads); // the held button goes up after this many reads
int buttonReads();                       // reads of the button since reset
void setKey(EKeyboardLayout key, bool down);
int keyWaits(EKeyboardLayout key);       // waits for this key's release since reset
bool pointerHidden();                    // the system pointer as last shown or hidden
int pointerCalls();                      // shows and hides since reset
void onFlip(std::function<void()> hook); // runs before each real flip
const std::vector<KDrawStep> &lastFrame();   // what the last flipped frame drew
}
