#pragma once
// The menu: home screen and the loop that alternates between menu and games.
#include <cstdint>

#include "KText.h"
#include "game.h"

class KGraphic;

// A screen rectangle in pixels; a point is inside when on or within its edges.
struct sBtn {
    float x1, y1, x2, y2;
};

extern sBtn sBoutons[6];        // main buttons: panels 0..4, then quit
extern sBtn sGameSelect[6];     // game-mode rows 0..3, then the two halves of the play button
extern sBtn sGameDifficult[3];  // difficulty choices 0..2
extern sBtn sHighTabs[4];       // tabs of the high-score panel, one per game mode

extern int32_t gCurrentMenu;    // open panel: index of the main button clicked last
extern bool oldBt;              // left button seen down by the previous menu frame
extern KGraphic *surf_menu;     // menu screen, lit buttons and panels; only while the menu runs
extern KGraphic *surf_credits;  // credits panel; only while the menu runs
// The menu font is highscoreText (gameover.h): loaded here once, drawn also by the score
// panel and the name entry, freed at exit.
extern KFont theFont[39];       // glyphs of the menu font, ended by a zero record
extern KGlyph theFontBeyondAscii[];   // what the catalogs' words drawn with it add, in a picture of their own

extern const char *const makersWebPage;    // opened by the credits' web link; empty: the help's index
extern const char *const makersMailLink;   // "mailto:" link of the credits, with a subject

bool isInside(const sBtn &button, int32_t mx, int32_t my);  // edges included

void doMenu();                  // runs menu frames and games until the player quits or the window closes
int32_t doUserInput();          // one frame's input and panel; 0 nothing, 1 play, 10 quit, 2..5 panel clicks
int32_t menuControls(int32_t mx, int32_t my, bool bt);   // the controls drawn as the pointer finds them, acting on a press; as doUserInput
void ScrollTheMenu();           // spin the last game frame out and the menu in (41 frames)
void loadMenuGraphics();        // menu and credits pictures of the skin; the menu font once
void freeMenuGraphics();        // menu and credits pictures; the font stays
void DisplayGameModeStuff();    // markers of the chosen mode and difficulty
void detectVolumeSlide(int32_t mx, int32_t my, bool bt);   // options panel: gem sets, volume slider, reset
void detectBubbleChange(int32_t mx, int32_t my, bool bt);  // gem-set selector; one click moves one set on

// The pointer as the menu reads it: the mouse; while keys or a pad steer, the centre of
// the focused control, pressed for one frame by Enter.
struct MenuPointer {
    int32_t x, y;
    bool down;
};
MenuPointer readMenuPointer();
void drawMenuFocus();            // the focus frame, only while keys or a pad steer
bool menuFocusBack();            // Escape with the focus in a panel: the focus goes to its main button (true)

void DoHighscoreInput(int32_t mx, int32_t my, bool bt); // menu frame of the score panel: tab under a held button, its highlight, the rows
void displayHighscores(int32_t tab);                   // the nine rows of table 0..3 in the menu font
