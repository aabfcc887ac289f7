#pragma once
#include <algorithm>

#include "rules.h"

// Every cell a live, shown token in the pattern (x + 2y) mod 5: no line and no move.
inline void dealStill() {
    for (long i = 0; i < boardCells; i++) {
        tokenTable[i] = sToken{};
        tokenTable[i].color = int16_t((i % boardColumns + 2 * (i / boardColumns)) % 5);
        tokenTable[i].fade = 1;
        tokenTable[i].alive = true;
    }
}

// How many tokens of the board are so.
template <class Which> long tokensWhere(Which which) { return std::count_if(tokenTable, tokenTable + boardCells, which); }
