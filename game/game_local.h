#pragma once
#include "game.h"

// The rules of the game, for its own files and the tests of its rules; the menu and
// the shell see only game.h.

// ---------------------------------------------------------------- board ----

inline sToken &tokenAt(long x, long y) { return tokenTable[y * boardColumns + x]; }
// True when the screen point (mx, my) lies in cell (x, y), edges included.
bool isPointInCell(long x, long y, long mx, long my);
long colorCount();                      // colours in play: 5 + difficulty (clamped to 0..2)

void seedRandom(uint32_t seed);         // restart the game's random source
long randomNumber();                    // next non-negative random integer
long randomMod(long n);                 // random integer 0..n-1

// How much of the running game a reset starts anew; each takes in the one before.
enum class GameReset {
    board,                              // a new board: score, timer and label go on
    game,                               // a new game in the same mode: score, result, timer, end flags
    session,                            // a game of another mode: also its name, point unit and label
};
void resetGameState(GameReset scope, long gameMode);
void resetTokenTable(bool resetScore);  // a new game (resetScore) or only a new board
void dealFreshBoard();                  // every cell steady, no line of three, one free hint
void appearTokens();                    // refill empty top-row cells unless tokens move
bool removeMatches();                   // repair the first line of three; true if it did
bool isThereAnIncomingToken();          // a top-row token is still appearing
bool isThereAMovingToken();             // a token falls or is exchanged (never while one appears)
bool isThereAFadingToken();             // a token is appearing or being cleared
bool isThereAFallingToken();            // a token is between two cells

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

// ------------------------------------------------------------- matching ----

bool isMatching(long x1, long y1, long x2, long y2, long x3, long y3); // three alive, same colour
void checkForMatches();                 // at rest: clear every line and award its windows
void fadeOut(long x, long y);           // start clearing a token and fire its mark

// ------------------------------------------------------------- exchange ----

void animateField();                    // advance fades and hint pulses
void fallTokens();                      // move tokens down into empty cells
void doSwapTokens();                    // advance and complete the running exchange

// ---------------------------------------------------------------- hints ----

void swapForHint(long x1, long y1, long x2, long y2);   // exchange colours on the scratch board
bool isMatchingForHint(long x1, long y1, long x2, long y2, long x3, long y3);
bool checkForPossibility();             // the scratch board holds a line
bool isAPossibleMatch(long x1, long y1, long x2, long y2); // would this exchange form a line?
bool isHint(long x, long y);            // the token has a move with a neighbour
bool isThereAPossibilityLeft();         // any token has a move
void showHint();                        // make one token with a move pulse

// ---------------------------------------------------------------- bonus ----

void doBonus(long bonusType, long x, long y); // effect of a bomb, row or column mark
void startZapAttack();                  // announce a replaced board
void clearZapAttack();                  // no label
bool stepZapAttack();                   // advance the label; true when it shows this frame
void AnimateZapAttack();                // advance and draw the label

// ------------------------------------------------ score, timer, display ----

void resetTimer(long gameMode);         // start the timer of a mode; the game is not over
void ShowTimer(long gameMode, bool decompte); // count a frame when decompte, apply the mode's end rule at each tick, draw
void displayTokens();                   // gems, selection frames, fades and marks of every alive cell
void displayScore();                    // score digits at SCORE_AT
void displayGameMode(long gameMode);    // the mode's label from the in-game picture

// -------------------------------------------------------------- session ----

void ScrollTheGame();                   // spin the last frame out and the in-game picture in (41 frames)
void displayGameOver();                 // game-over picture or name entry, faded by gameOverFade

// ---------------------------------------------------------------- input ----

bool doInput();                         // board clicks, or a board without moves replaced; always false
void MoveSelection();                   // exchange the two selected tokens when allowed
void handleInterface();                 // lit button under the pointer, and its action on a click
