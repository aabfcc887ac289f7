#pragma once
// The player's hand for tests: the pointer, the left button and the keys the
// game polls come from here (KInput is replaced at link time), and a hook runs
// before every presented frame.
#include <functional>
#include "KInput.h"

namespace inputScript {
void reset();                            // pointer outside the window, button and keys up, no hook
void pointAt(int x, int y);              // logical screen pixels
void setButton(bool down);
void releaseButtonAfterReads(int reads); // the held button goes up after this many reads
int buttonReads();                       // reads of the button since reset
void setKey(EKeyboardLayout key, bool down);
int keyWaits(EKeyboardLayout key);       // waits for this key's release since reset
bool pointerHidden();                    // the system pointer as last shown or hidden
int pointerCalls();                      // shows and hides since reset
void onFlip(std::function<void()> hook); // runs before each real flip
}
