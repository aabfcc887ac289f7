#pragma once
#include "game.h"

// Shared by the board rules only.

long randomMod(long n);                 // random integer 0..n-1

// True when cells 1, 2 and 3 of table all hold a token of one colour.
bool isLineOfThree(const sToken *table, long x1, long y1, long x2, long y2, long x3, long y3);

// Visits every window of three cells: rows first (top to bottom, left to right),
// then columns. Stops at the first window for which visit returns true.
template <class Visit>
bool findWindow(Visit visit) {
    for (long y = 0; y < boardRows; y++)
        for (long x = 0; x + 2 < boardColumns; x++)
            if (visit(x, y, x + 1, y, x + 2, y)) return true;
    for (long y = 0; y + 2 < boardRows; y++)
        for (long x = 0; x < boardColumns; x++)
            if (visit(x, y, x, y + 1, x, y + 2)) return true;
    return false;
}
