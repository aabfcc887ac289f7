#pragma once
#include <cstdint>

#include "brolix_layout.h"

// The game module: board rules and the globals of the running game.

// ---------------------------------------------------------------- board ----

constexpr long boardColumns = layout::COLS;
constexpr long boardRows = layout::ROWS;
constexpr long boardCells = boardColumns * boardRows;
constexpr long boardLeft = layout::BOARD_X;   // screen x of column 0
constexpr long boardTop = layout::BOARD_Y;    // screen y of row 0
constexpr long cellPitch = layout::CELL;      // pixels between neighbouring cells

// Bonus marks carried by a token (bonusType).
enum BonusMark : int32_t {
    bonusNone = 0,
    bonusBomb = 1,                      // clears the 3 x 3 square around it
    bonusRow = 2,                       // clears its row
    bonusColumn = 3,                    // clears its column
    bonusCross = 4,                     // clears its column and its row
    bonusBlank = 5,                     // drawn and fired like none
    bonusQuestion = 6,                  // turns into 0..4 when cleared
};

// One cell of the board.
struct sToken {
    int16_t color;                      // 0..colours-1, index into the gem pictures
    float dx, dy;                       // drawing offset while exchanged
    float fally;                        // drawing offset while falling, 0..42
    int16_t bonus;                      // zeroed on appearing, otherwise unused
    int16_t speedX, speedY;             // exchange speed, +7 / -7 / 0
    float fade;                         // 0 gone .. 1 fully shown
    float fadeSpeed;                    // +0.1 appearing, -0.025 cleared, 0 steady
    bool alive;                         // the cell holds a token
    bool selected;                      // picked by the player
    bool beingSwapped;                  // part of the running exchange
    float sinus, sinusSpeed;            // hint pulse phase and step
    int32_t bonusType;                  // a BonusMark
};

extern sToken tokenTable[boardCells];              // the live board, cell (x, y) at y*12+x
extern sToken calculationTokenTable[boardCells];   // scratch board of the move search

inline sToken &tokenAt(long x, long y) { return tokenTable[y * boardColumns + x]; }
// True when the screen point (mx, my) lies in cell (x, y), edges included.
bool isPointInCell(long x, long y, long mx, long my);
long colorCount();                      // colours in play: 5 + difficulty (clamped to 0..2)

void seedRandom(uint32_t seed);         // restart the game's random source
long randomNumber();                    // next non-negative random integer

void resetTokenTable(bool resetScore);  // fresh board without lines, one free hint
void appearTokens();                    // refill empty top-row cells unless tokens move
bool removeMatches();                   // repair the first line of three; true if it did
bool isThereAnIncomingToken();          // a top-row token is still appearing
bool isThereAMovingToken();             // a token falls or is exchanged (never while one appears)
bool isThereAFadingToken();             // a token is appearing or being cleared
bool isThereAFallingToken();            // a token is between two cells

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

extern float zapAttack;                 // label angle and clock; negative: no label
extern float zoomAttack;                // label zoom
extern float blendAttack;               // label alpha

void doBonus(long bonusType, long x, long y); // effect of a bomb, row or column mark
void startZapAttack();                  // announce a replaced board
void clearZapAttack();                  // no label
bool stepZapAttack();                   // advance the label; true when it shows this frame
void AnimateZapAttack();                // advance and draw the label

// ------------------------------------------------------------- the game ----

// Game modes, numbered alike in preferences, score tables, file names and requests.
enum GameMode : int32_t {
    modeSixtySeconds = 0,               // counts down from 60
    modeFiveMinutes = 1,                // counts down from 300
    modeMillion = 2,                    // counts up until the score passes 1,000,000
    modeRelax = 3,                      // no limit; the player ends the game
};

extern uint32_t score;                  // points of the running game
extern int32_t _unitScore;              // 1, or 100 in the million mode
extern int32_t _realScore;              // the result: points, or seconds in the million mode
extern int32_t _gameMode;               // 0 sixty seconds, 1 five minutes, 2 million, 3 relax
extern char gameDescription[260];       // "brolix<mode>dif<difficulty>"
extern bool gameOver;                   // the game has ended
extern bool endPlay;                    // leave the game for the menu
extern float gameOverFade;              // opacity of the game-over screen
extern bool ghighscoreProcessed;        // this game's high score has been handled
extern bool _onlineProcessed;           // this game's score went to the server

// ------------------------------------------------ score, timer, display ----

extern int32_t gameTimer;               // seconds left / taken, or time of day
extern int32_t subTimer;                // frames toward the next tick

void resetTimer(long gameMode);         // start the timer of a mode; the game is not over
void ShowTimer(long gameMode, bool decompte); // count a frame when decompte, apply the mode's end rule at each tick, draw
void displayTokens();                   // gems, selection frames, fades and marks of every alive cell
void displayScore();                    // score digits at SCORE_AT
void displayGameMode(long gameMode);    // the mode's label from the in-game picture

// -------------------------------------------------------------- session ----

class KGraphic;
class KText;

extern KGraphic *surf_fond;             // in-game picture: background, lit buttons, pause panel, labels
extern KGraphic *surf_gameover;         // game-over picture
extern KGraphic *surf_highscore;        // name-entry panel
extern KGraphic *surf_select;           // selection frame
extern KGraphic *surf_bomb, *surf_horiz, *surf_verti, *surf_rand, *surf_xzap; // bonus marks
extern KText *text_numbers;             // timer digits
extern KText *text_scorenumbers;        // score digits

void doTheGame(long gameMode);          // one session: load, play frame by frame, free; back to the caller
void ScrollTheGame();                   // spin the last frame out and the in-game picture in (41 frames)
void spinTo(KGraphic *next);            // the same towards any picture; none: the last frame spins out alone
void displayGameOver();                 // game-over picture or name entry, faded by gameOverFade

// ---------------------------------------------------------------- input ----

// One button below the board; the rectangle includes both ends.
struct sHotSpot {
    int32_t x1, y1, x2, y2;
    int32_t id;                         // 0 new game, 1 hint, 2 menu or end of game
    KGraphic *surface;                  // holds the lit picture 480 pixels below; not owned
    int32_t dx, dy;                     // carried along, unused
};

extern sHotSpot hotspots[3];
extern bool oldButton;                  // left button seen down by the board
extern bool oldbt;                      // left button seen down by the buttons

bool doInput();                         // board clicks, or a board without moves replaced; always false
void waitForButton(bool down);          // until the left button is down (true) or up (false), or the window closes
void MoveSelection();                   // exchange the two selected tokens when allowed
void handleInterface();                 // lit button under the pointer, and its action on a click
