#pragma once
#include <array>
#include <cstdint>

#include "brolix_layout.h"
#include "rules.h"

// The game as the menu and the shell see it: the board's types and the globals of the
// running game (from the rules, rules.h), and the calls that run one. What the game
// adds to the rules (their sounds and drawing) is declared in game_local.h.

class KGraphic;
class KText;
struct KFont;

// ---------------------------------------------------------------- board ----

constexpr long boardLeft = layout::BOARD_X;   // screen x of column 0
constexpr long boardTop = layout::BOARD_Y;    // screen y of row 0
static_assert(boardColumns == layout::COLS && boardRows == layout::ROWS && cellPitch == layout::CELL,
              "the rules' board is the one drawn");

// ------------------------------------------------------ kept across games ----

// One button below the board; the rectangle includes both ends.
struct sHotSpot {
    int32_t x1, y1, x2, y2;
    int32_t id;                         // 0 new game, 1 hint, 2 menu or end of game
    KGraphic *surface;                  // holds the lit picture 480 pixels below; not owned
    int32_t dx, dy;                     // carried along, unused
};

extern sHotSpot hotspots[3];

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
extern KGraphic *surf_cursor;           // the board cursor's frame
extern KGraphic *surf_bomb, *surf_horiz, *surf_verti, *surf_rand, *surf_xzap; // bonus marks
extern KText *text_numbers;             // timer digits
extern KText *text_scorenumbers;        // score digits
extern KFont tableNumbers[13];          // timer glyphs of "timenmb.tga"
extern KFont scoretableNumbers[13];     // score glyphs of "numbers.tga"

// ------------------------------------------------------------ the calls ----

void doTheGame(long gameMode);          // one session: load, play frame by frame, free; back to the caller
void spinTo(void (*drawNext)());        // the last frame spins out and the frame drawNext draws spins in, 41 frames
void drawFocusRing(const layout::Rect &r); // the keys' focus round a control
bool shiftHeld();                       // either Shift key down
// Keys and pads steer until the mouse moves or clicks: then it takes over. A switch to or
// from full screen, or a window moved or resized, moves the pointer on the logical screen
// with no hand on the mouse: that is no move.
struct MouseWatch {
    bool tookOver(int16_t x, int16_t y, bool down);   // moved since the last call, or down
    int16_t x = 0, y = 0;
    bool seen = false;
    std::array<int32_t, 5> window{};   // its mode and place when the pointer was last read
    bool jumpDue = false;              // the window changed, and the pointer has not yet followed
};
void waitForButton(bool down);          // until the left button is down (true) or up (false), or the window closes
