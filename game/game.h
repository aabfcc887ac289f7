#pragma once
#include <cstdint>

#include "brolix_layout.h"

// The game as the menu and the shell see it: the board's types, the globals of the
// running game and the calls that run one. The rules that change them are declared in
// game_local.h, for the game's own files and the tests of its rules.

class KGraphic;
class KText;
struct KFont;

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

// Game modes, numbered alike in preferences, score tables, file names and requests.
enum GameMode : int32_t {
    modeSixtySeconds = 0,               // counts down from 60
    modeFiveMinutes = 1,                // counts down from 300
    modeMillion = 2,                    // counts up until the score passes 1,000,000
    modeRelax = 3,                      // no limit; the player ends the game
};

// ------------------------------------------------- the state of one game ----
// All of it is set anew by resetGameState (game_local.h), and nowhere else.

extern sToken tokenTable[boardCells];   // the live board, cell (x, y) at y*12+x; selection and hints included
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
extern int32_t gameTimer;               // seconds left / taken, or time of day
extern int32_t subTimer;                // frames toward the next tick
extern float zapAttack;                 // replaced-board label angle and clock; negative: no label
extern float zoomAttack;                // label zoom
extern float blendAttack;               // label alpha

// ------------------------------------------------------ kept across games ----

extern sToken calculationTokenTable[boardCells];   // scratch board of the move search

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

// The name entry of the game-over screen.
extern char buffer[32];                 // the name being typed; kept for the next entry of the run
extern int32_t bufferPosition;          // its length, 0..19
extern int32_t blinker;                 // text cursor frame counter, 71-frame cycle
extern KText *highscoreText;            // the menu font, loaded by the menu; null: the name is not drawn

// --------------------------------------------------- pictures of a session ----

extern KGraphic *surf_fond;             // in-game picture: background, lit buttons, pause panel, labels
extern KGraphic *surf_internet;         // server-wait picture
extern KGraphic *surf_gameover;         // game-over picture
extern KGraphic *surf_highscore;        // name-entry panel
extern KGraphic *surf_select;           // selection frame
extern KGraphic *surf_bomb, *surf_horiz, *surf_verti, *surf_rand, *surf_xzap; // bonus marks
extern KText *text_numbers;             // timer digits
extern KText *text_scorenumbers;        // score digits
extern KFont tableNumbers[13];          // timer glyphs of "timenmb.tga"
extern KFont scoretableNumbers[13];     // score glyphs of "numbers.tga"

// ------------------------------------------------------------ the calls ----

void doTheGame(long gameMode);          // one session: load, play frame by frame, free; back to the caller
void spinTo(KGraphic *next);            // the last frame spins out and next (if any) in, 41 frames
void waitForButton(bool down);          // until the left button is down (true) or up (false), or the window closes
