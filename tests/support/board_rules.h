#pragma once
// The board rules without a window.
#include <functional>

#include "game_local.h"

// One frame of them in the game loop's order; the player's input, if any, comes where
// the game reads it: after the exchanges move, before lines are looked for.
inline void stepBoardRules(const std::function<void()> &input = nullptr) {
    animateField();
    fallTokens();
    appearTokens();
    doSwapTokens();
    if (input)
        input();
    checkForMatches();
}
