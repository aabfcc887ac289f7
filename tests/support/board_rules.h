#pragma once
// The board rules without a window or a frame's input.
#include <functional>

#include "rules.h"

// One frame of them in the game loop's order; the player's input, if any, comes where
// the game reads it: after the exchanges move, before lines are looked for. Nothing
// is heard here, so the frame's cues are dropped.
inline void stepBoardRules(const std::function<void()> &input = nullptr) {
    advanceBoard();
    if (input)
        input();
    rules::checkForMatches();
    Cue unheard[maxCues];
    takeCues(unheard);
}
