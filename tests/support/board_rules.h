#pragma once
// The board rules without a window or a frame's input.
#include "rules.h"

// One frame of them in the game loop's order, with no input. Nothing is heard here,
// so the frame's cues are dropped.
inline void stepBoardRules() {
    advanceBoard();
    rules::checkForMatches();
    Cue unheard[maxCues];
    takeCues(unheard);
}
