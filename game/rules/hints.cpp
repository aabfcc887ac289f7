#include <cstring>
#include <utility>
#include "rules.h"

void swapForHint(long x1, long y1, long x2, long y2) {
    std::swap(calculationTokenTable[y1 * boardColumns + x1].color,
              calculationTokenTable[y2 * boardColumns + x2].color);
}

bool isMatchingForHint(long x1, long y1, long x2, long y2, long x3, long y3) {
    return isLineOfThree(calculationTokenTable, x1, y1, x2, y2, x3, y3);
}

bool checkForPossibility() { return findWindow(isMatchingForHint); }

// Exchanges two colours on a fresh copy of the live board and looks for any line.
static bool trialExchange(long x1, long y1, long x2, long y2) {
    std::memcpy(calculationTokenTable, tokenTable, sizeof tokenTable);
    swapForHint(x1, y1, x2, y2);
    return checkForPossibility();
}

bool isAPossibleMatch(long x1, long y1, long x2, long y2) {
    if (trialExchange(x1, y1, x2, y2)) return true;
    tokenAt(x1, y1).selected = false;
    tokenAt(x2, y2).selected = false;
    return false;
}

// On the border the clamped neighbour is the token itself.
bool isHint(long x, long y) {
    return trialExchange(x, y, x > 0 ? x - 1 : 0, y)
        || trialExchange(x, y, x < boardColumns - 1 ? x + 1 : boardColumns - 1, y)
        || trialExchange(x, y, x, y > 0 ? y - 1 : 0)
        || trialExchange(x, y, x, y < boardRows - 1 ? y + 1 : boardRows - 1);
}

bool isThereAPossibilityLeft() {
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++)
            if (isHint(x, y)) return true;
    return false;
}

// Pulses the first token with a move from (firstX, firstY) on; every column
// starts again at row firstY.
static bool hintFrom(long firstX, long firstY) {
    for (long x = firstX; x < boardColumns; x++)
        for (long y = firstY; y < boardRows; y++)
            if (isHint(x, y)) {
                tokenAt(x, y).sinusSpeed = 0.1f;
                return true;
            }
    return false;
}

// The random start spreads hints over the board; the second pass finds a
// move wherever one exists.
void showHint() {
    if (gameOver) return;
    long rx = randomMod(boardColumns);
    long ry = randomMod(boardRows);
    if (!hintFrom(rx, ry)) hintFrom(0, 0);
}
