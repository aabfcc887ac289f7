#pragma once
#include <cstdint>
#include <functional>

// The rules of the game: the board, its moves, points and clock, and what a frame of
// play decides from what the player did. Nothing here draws, plays or asks a device,
// so the game, the tests and a replay run the same code. What the game should make
// heard (and the waits that follow a held key or button) comes out as cues.

// ---------------------------------------------------------------- board ----

constexpr long boardColumns = 12;
constexpr long boardRows = 8;
constexpr long boardCells = boardColumns * boardRows;
constexpr long cellPitch = 42;          // pixels between neighbouring cells

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

// Game modes, numbered alike in preferences, score tables, file names and requests.
enum GameMode : int32_t {
    modeSixtySeconds = 0,               // counts down from 60
    modeFiveMinutes = 1,                // counts down from 300
    modeMillion = 2,                    // counts up until the score passes 1,000,000
    modeRelax = 3,                      // no limit; the player ends the game
};

// ------------------------------------------------- the state of one game ----
// All of it is set anew by resetGameState and startGame, and nowhere else.

extern sToken tokenTable[boardCells];   // the live board, cell (x, y) at y*12+x; selection and hints included
extern uint32_t score;                  // points of the running game
extern int32_t _unitScore;              // 1, or 100 in the million mode
extern int32_t _realScore;              // the result: points, or seconds in the million mode
extern int32_t _gameMode;               // 0 sixty seconds, 1 five minutes, 2 million, 3 relax
extern int32_t gameDifficulty;          // 0..2
extern char gameDescription[260];       // "brolix<mode>dif<difficulty>"
extern bool gameOver;                   // the game has ended
extern bool endPlay;                    // leave the game for the menu
extern bool newGameAsked;               // F1 or the new-game button ended this game: the next one starts
extern bool gamePaused;                 // the board is hidden and stands still
extern float gameOverFade;              // opacity of the game-over screen
extern bool ghighscoreProcessed;        // this game's high score has been handled
extern bool _onlineProcessed;           // this game's score went to the server
extern int32_t gameTimer;               // seconds left / taken, or time of day
extern int32_t subTimer;                // frames toward the next tick
extern uint32_t frameCount;             // frames stepped since the game started
extern uint64_t randomState;           // the board's random source, seeded by startGame
extern float zapAttack;                 // replaced-board label angle and clock; negative: no label
extern float zoomAttack;                // label zoom
extern float blendAttack;               // label alpha
extern bool oldButton;                  // left button seen down by the board
extern bool oldbt;                      // left button seen down by the buttons

// Over, left or given up for a new one: from the frame it ended on, a game changes no
// more (no exchange, no points, no clock) and its record is complete.
inline bool playEnded() { return gameOver || endPlay || newGameAsked; }

inline sToken &tokenAt(long x, long y) { return tokenTable[y * boardColumns + x]; }
long colorCount();                      // colours in play: 5 + difficulty (clamped to 0..2)

void seedRandom(uint32_t seed);         // restart the game's random source
long randomNumber();                    // next non-negative random integer
long randomMod(long n);                 // random integer 0..n-1

// How much of the running game a reset starts anew; each takes in the one before.
enum class GameReset {
    board,                              // a new board: score, timer and label go on
    game,                               // a new game in the same mode: score, result, timer, end flags
    session,                            // a game started anew (startGame): also its name, point unit and label
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
uint64_t boardDigest();                 // FNV-1a of every cell's presence, colour and mark

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

bool isMatching(long x1, long y1, long x2, long y2, long x3, long y3); // three alive, same colour

void animateField();                    // advance fades and hint pulses
void settleHints();                     // advance hint pulses alone: an ended game's board stands, its hint runs out
void fallTokens();                      // move tokens down into empty cells
void doSwapTokens();                    // advance and complete the running exchange
void advanceBoard();                    // the four above, in a frame's order: the board's own motion

bool isAPossibleMatch(long x1, long y1, long x2, long y2); // would this exchange form a line?
bool isHint(long x, long y);            // the token has a move with a neighbour
bool isThereAPossibilityLeft();         // any token has a move
bool knownWithoutLine();                // the last search saw this board, and no line of three on it
void showHint();                        // make one token with a move pulse

void doBonus(long bonusType, long x, long y); // effect of a bomb, row or column mark
void startZapAttack();                  // announce a replaced board
void clearZapAttack();                  // no label
bool stepZapAttack();                   // advance the label; true when it shows this frame

constexpr int32_t framesPerTick = 75;   // counted frames of one timer step
void resetTimer(long gameMode);         // start the timer of a mode; the game is not over
// Counts a frame when decompte and applies the mode's end rule at each tick; the relax
// mode's timer shows clock(), minutes since local midnight, asked at its ticks only.
void tickTimer(long gameMode, bool decompte, const std::function<int32_t()> &clock);

// ----------------------------------------------------------------- cues ----

enum class Cue : uint8_t {
    click, good, bomb, zap, swap, hint, nohint, zapAttack,   // a sound; good and swap only if not already playing
    buttonHeld,                         // wait until the left button is up
    pauseKeyHeld,                       // wait until P is up
    escapeKeyHeld,                      // wait until Escape is up
};
constexpr int maxCues = 256;            // more in one frame are dropped (all sounds, and the same few)
void cue(Cue c);
int takeCues(Cue *out);                 // moves the cues so far, oldest first, into out[maxCues]; returns their count

// ---------------------------------------------------------------- input ----

// What the rules read of the player in one frame.
struct FrameInput {
    int8_t cell = -1;                   // board cell under the pointer (y*12+x), or -1
    int8_t button = -1;                 // game button under the pointer (0 new game, 1 hint, 2 menu), or -1
    bool down = false;                  // left button
    bool f1 = false, p = false, escape = false;
    int16_t clock = 0;                  // minutes since local midnight
};

// The board's input, step by step; their sounds wait as cues (takeCues).
namespace rules {
void checkForMatches();                 // at rest: clear every line and award its windows
void fadeOut(long x, long y);           // start clearing a token and fire its mark
void MoveSelection();                   // exchange the two selected tokens when allowed
bool doInput(const FrameInput &in);     // board clicks, or a board without moves replaced; always false
void handleInterface(const FrameInput &in); // the action of a click on a button
}  // namespace rules

// ---------------------------------------------------------------- a game ----

// A new game of a mode: seeds the random source, deals, no button held, starts its record.
void startGame(long gameMode, int32_t difficulty, uint32_t seed);

// One frame of play; false when the game is left for the menu (endPlay). The frame that
// ends a game plays nothing after the end. Once over, a game takes only F1, the buttons
// and Escape, which ask for a new game or leave; nothing of that is recorded. worthAPlace
// answers whether the result earns a name entry; it is asked only when Escape ends a
// relax game, and its answer goes into the record.
bool stepFrame(const FrameInput &in, bool (*worthAPlace)());
